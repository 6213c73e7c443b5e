#include "browser.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

#include "app/main_window.h"
#include "app/numbers.h"
#include "app/paths.h"
#include "app/status_bar.h"
#include "app/layout.h"
#include "app/twips.h"
#include "engine/image_control.h"
#include "files/browser_widgets.h"
#include "files/form4.h"

namespace qova::files {

namespace {

constexpr const char* kStartPattern =
    "*.cmp;*.jpe;*.jpg;*.jpeg;*.jff;*.jtf;*.bmp;*.tif;*.tga;*.pcx;*.cal;*.mac;*.img;*.msp;*.wpg;*.ras;*.pct;"
    "*.pcd;*.eps;*.wmf;*.psd;*.avi";

}  // namespace

const QStringList& FileBrowser::comboEntries() {
    static const QStringList e = {"ALL", "JPG", "BMP", "TIF", "CMP", "JFF", "JTF", "TGA", "PCX", "CAL", "MAC",
                                  "IMG", "MSP", "WPG", "RAS", "PCT", "PCD", "EPS", "WMF", "PSD", "AVI", "*.*"};
    return e;
}

QString FileBrowser::startPattern() { return QString::fromLatin1(kStartPattern); }

QString FileBrowser::comboPattern(const QString& entry) {
    if (entry == "ALL") return startPattern();
    if (entry == "JPG") return "*.jpg;*.jpeg;*.jpe";
    if (entry == "*.*") return "*.*";
    if (comboEntries().contains(entry)) return "*." + entry.toLower();
    return QString();
}

bool FileBrowser::acceptedExtension(const QString& fileName) {
    static const QStringList ok = {".JPG", ".BMP", "JPEG", ".GIF", ".TIF", ".JFF", ".CMP", ".JTF",
                                   ".TGA", ".PCX", ".CAL", ".MAC", ".MSP", ".IMG", ".WPG", ".RAS",
                                   ".PCT", ".PCD", ".EPS", ".WMF", ".AVI", ".PSD", ".JPE"};
    return ok.contains(fileName.right(4).toUpper());
}

QString FileBrowser::driveForKey(int k) {
    if (k < 96 || k > 105) return QString();
    return k == 96 ? QStringLiteral("J:") : QString(QChar('A' + (k - 97))) + ":";
}

FileBrowser::FileBrowser(app::Form1& form) : f_(form) {
    drive_ = qobject_cast<DriveList*>(f_.Drive1);
    dir_ = qobject_cast<DirList*>(f_.Dir1);
    combo_ = qobject_cast<QComboBox*>(f_.Combo1);
    file_ = qobject_cast<FileList*>(f_.File1);
    Q_ASSERT(drive_ && dir_ && combo_ && file_);

    combo_->addItems(comboEntries());
    combo_->setCurrentText("ALL");
    file_->setPattern(startPattern());
    try {
        dir_->setPath(QDir::currentPath());
    } catch (const std::exception&) {
        dir_->setPath(QDir::rootPath());
    }
    file_->setPath(dir_->path());
    const QString letter = drive_->driveOf(dir_->path());
    if (!letter.isEmpty()) {
        drive_->blockSignals(true);
        drive_->setDrive(letter);
        drive_->blockSignals(false);
    }

    QObject::connect(drive_, &DriveList::driveChanged, &f_, [this] { Drive1_Change(); });
    QObject::connect(dir_, &DirList::changed, &f_, [this] { Dir1_Change(); });
    QObject::connect(combo_, &QComboBox::activated, &f_, [this] { Combo1_Click(); });
    QObject::connect(file_, &FileList::clicked, &f_, [this] { File1_Click(); });
    QObject::connect(file_, &FileList::keyDown, &f_, [this](int k, int s) { File1_KeyDown(k, s); });
    QObject::connect(file_, &FileList::keyUp, &f_, [this](int k, int s) { File1_KeyUp(k, s); });
    QObject::connect(dir_, &DirList::keyDown, &f_, [this](int k, int s) { Dir1_KeyDown(k, s); });
    QObject::connect(drive_, &DriveList::keyDown, &f_, [this](int k, int s) { Drive1_KeyDown(k, s); });
}

void FileBrowser::Drive1_Change() {
    const QString root = drive_->rootOf(drive_->drive());
    try {
        dir_->setPath(root);
    } catch (const std::exception&) {
        // Not ready: the list goes back to the drive of the directory shown.
        drive_->blockSignals(true);
        try {
            drive_->setDrive(drive_->driveOf(dir_->path()));
        } catch (const std::exception&) {
        }
        drive_->blockSignals(false);
    }
}

void FileBrowser::Dir1_Change() { file_->setPath(dir_->path()); }

void FileBrowser::Combo1_Click() {
    const QString p = comboPattern(combo_->currentText());
    if (!p.isEmpty()) file_->setPattern(p);
}

void FileBrowser::File1_Click() {
    if (f_.fListKey) return;
    const QString name = file_->fileName();
    if (name.isEmpty() || !acceptedExtension(name)) return;
    try {
        f_.Img1->hide();
        app::setHeightTwips(f_.Img1, app::heightTwips(&f_) - app::kImgHeightMargin);
        app::setWidthTwips(f_.Img1, app::widthTwips(&f_) - app::kImgWidthMarginLoad);
        const QString path = app::joinPath(dir_->path(), name);
        f_.sFilePath = path;
        f_.sFileName = name;
        f_.WaitCursorOn();
        f_.Img1->setPreLoad(true);
        f_.fImage = 0;
        f_.Img1->load(path, 0, 0, -1);
        f_.UpdateImageInfo();
    } catch (const std::exception&) {
    }
    f_.Img1->show();
    file_->setFocus();
    f_.WaitCursorOff();
    readAheadNeighbours();
}

void FileBrowser::readAheadNeighbours() {
    // The next files first: walking down is the common direction.
    QStringList paths;
    const int i = file_->listIndex();
    for (int j : {i + 1, i + 2, i - 1}) {
        const QString n = file_->entry(j);
        if (j >= 0 && !n.isEmpty() && acceptedExtension(n)) paths << app::joinPath(dir_->path(), n);
    }
    f_.Img1->readAhead(paths);
}

bool FileBrowser::DriveKey(int k, QWidget* focusAfter) {
    const QString letter = driveForKey(k);
    if (letter.isEmpty()) return false;
    try {
        drive_->setDrive(letter);  // moves Dir1 and File1 through the change events
        drive_->refresh();
        dir_->refresh();
        file_->setPath(dir_->path());
        (focusAfter ? focusAfter : static_cast<QWidget*>(dir_))->setFocus();
    } catch (const std::exception&) {
        // A missing or unready drive ends the key silently.
    }
    return true;
}

void FileBrowser::Drive1_KeyDown(int k, int) {
    if (k == 27) f_.ClearOrQuit();
    DriveKey(k, dir_);
}

void FileBrowser::Dir1_KeyDown(int k, int s) {
    if (k == 27) f_.ClearOrQuit();
    if (s != 0) return;
    if (k == 13 || k == 32) {
        try {
            dir_->setPath(dir_->entryPath(dir_->listIndex()));
            dir_->refresh();
            file_->setPath(dir_->path());
            if (k == 13) file_->setFocus();
        } catch (const std::exception&) {
        }
        return;
    }
    if ((k == 220 || k == 222) && f_.fImage) {
        viewKey(k == 220 ? 3 : 0);
        return;
    }
    DriveKey(k, dir_);
}

void FileBrowser::viewKey(int mode) {
    f_.Img1->setViewMode(mode);
    f_.Img1->repaint();
}

void FileBrowser::zoomStep(int delta) {
    f_.ZoomStep(delta);
    file_->setFocus();
}

void FileBrowser::File1_KeyDown(int k, int s) {
    if (k == 27) f_.ClearOrQuit();
    if (k == 18) return;  // Alt alone
    if (s != 0) {
        f_.fListKey = 1;
        if (k == 46) deleteShownFile();
        else if (k == 45) copyShownFile();
        return;
    }
    f_.fListKey = 0;
    switch (k) {
    case 32: File1_Click(); break;
    case 13: case 8: dir_->setFocus(); break;
    case 45: if (f_.fImage) zoomStep(+10); break;
    case 46: if (f_.fImage) zoomStep(-10); break;
    case 220: case 222:
        if (f_.fImage) {
            viewKey(k == 220 ? 3 : 0);
            file_->setFocus();
        }
        break;
    default: DriveKey(k, file_); break;
    }
}

void FileBrowser::File1_KeyUp(int, int s) {
    if (s == 0 && f_.fListKey) {
        f_.fListKey = 0;
        File1_Click();
    }
}

void FileBrowser::deleteShownFile() {
    // With nothing shown there is no file to delete (the path would name the folder).
    if (f_.sFilePath.isEmpty() || !QFileInfo(f_.sFilePath).isFile()) {
        if (!f_.sFilePath.isEmpty()) f_.ui().msgBox(QStringLiteral("ファイルを削除できません。"), app::OkOnly);
        return;
    }
    f_.StatusBar1->setPanelText(3, app::numberText(file_->listIndex()));
    const int i = file_->listIndex();
    f_.Img1->setImageSource(QString());
    if (!QFile::remove(f_.sFilePath)) {
        f_.ui().msgBox(QStringLiteral("ファイルを削除できません。"), app::OkOnly);
        return;
    }
    file_->setPath(dir_->path());
    file_->refresh();
    if (i > 0) file_->setListIndex(i - 1);
}

void FileBrowser::copyShownFile() {
    if (f_.sFilePath.isEmpty() || !QFileInfo(f_.sFilePath).isFile()) return;
    const QString target = app::joinPath(f_.sDestDir, f_.sFileName);
    QFile probe(target);
    if (!probe.open(QIODevice::ReadOnly)) {
        if (!QFile::copy(f_.sFilePath, target)) f_.ui().msgBox(QStringLiteral("ファイルをコピーできません。"), app::OkOnly);
        return;
    }
    probe.close();
    Form4 preview(&f_);
    f_.WaitCursorOn();
    preview.show();
    preview.showPreview(target);
    f_.WaitCursorOff();
    const auto answer = f_.ui().msgBox(QStringLiteral("同名のファイルがあります。コピーしますか？"),
                                       app::YesNo | app::Critical | app::DefaultButton2, QStringLiteral("ファイルコピー"));
    preview.Img1->setImageSource(QString());
    preview.hide();
    f_.fListKey = 0;
    if (answer == app::MsgYes) {
        // Copy over the target: to a temporary beside it, then into place, so
        // a failed copy leaves the old file whole.
        const QString tmp = target + ".qova-copy";
        QFile::remove(tmp);
        const bool ok = QFile::copy(f_.sFilePath, tmp) &&
                        std::rename(QFile::encodeName(tmp).constData(), QFile::encodeName(target).constData()) == 0;
        if (!ok) {
            QFile::remove(tmp);
            f_.ui().msgBox(QStringLiteral("ファイルをコピーできません。"), app::OkOnly);
        }
    }
}

}  // namespace qova::files
