#include "files/browser.h"

#include <fcntl.h>
#include <unistd.h>

#include <QComboBox>
#include <QDir>

#include <filesystem>

#include "engine/core/codes.h"
#include "engine/core/formats/write_file.h"
#include "engine/image_control.h"
#include "engine/native_path.h"
#include "files/form4.h"
#include "shell/context.h"
#include "shell/file_lists.h"
#include "shell/file_types.h"
#include "shell/layout.h"
#include "shell/long_command.h"
#include "shell/numbers.h"
#include "shell/paths.h"
#include "shell/status_bar.h"
#include "shell/trap.h"
#include "shell/twips.h"
#include "shell/zoom.h"
#include "shell/ui_services.h"

namespace qova::files {

using shell::connectTrapped;

const QStringList& FileBrowser::comboEntries() {
    static const QStringList e = {"ALL", "JPG", "BMP", "TIF", "CMP", "JFF", "JTF", "TGA", "PCX", "CAL", "MAC",
                                  "IMG", "MSP", "WPG", "RAS", "PCT", "PCD", "EPS", "WMF", "PSD", "AVI", "*.*"};
    return e;
}

QString FileBrowser::startPattern() { return shell::startPattern(); }

QString FileBrowser::comboPattern(const QString& entry) {
    if (entry == "ALL") return startPattern();
    if (entry == "JPG") return "*.jpg;*.jpeg;*.jpe";
    if (entry == "*.*") return "*.*";
    if (comboEntries().contains(entry)) return "*." + entry.toLower();
    return QString();
}

bool FileBrowser::acceptedExtension(const QString& fileName) { return shell::loadsOnClick(fileName); }

QString FileBrowser::driveForKey(int k) {
    if (k < 96 || k > 105) return QString();
    return k == 96 ? QStringLiteral("J:") : QString(QChar('A' + (k - 97))) + ":";
}

const shell::Controls& FileBrowser::c() const { return ctx_.controls(); }
shell::WindowState& FileBrowser::s() const { return ctx_.state(); }
shell::DriveList* FileBrowser::drive() const { return c().Drive1; }
shell::DirList* FileBrowser::dir() const { return c().Dir1; }
QComboBox* FileBrowser::combo() const { return c().Combo1; }
shell::FileList* FileBrowser::file() const { return c().File1; }

FileBrowser::FileBrowser(shell::ShellContext& ctx) : ctx_(ctx) {
    combo()->addItems(comboEntries());
    combo()->setCurrentText("ALL");
    file()->setPattern(startPattern());
    try {
        dir()->setPath(QDir::currentPath());
    } catch (const std::exception&) {
        dir()->setPath(QDir::rootPath());
    }
    file()->setPath(dir()->path());
    const QString letter = drive()->driveOf(dir()->path());
    if (!letter.isEmpty()) {
        drive()->blockSignals(true);
        drive()->setDrive(letter);
        drive()->blockSignals(false);
    }

    QObject* owner = ctx_.mainWindow();
    connectTrapped(drive(), &shell::DriveList::driveChanged, owner, [this] { Drive1_Change(); });
    connectTrapped(dir(), &shell::DirList::changed, owner, [this] { Dir1_Change(); });
    connectTrapped(combo(), &QComboBox::activated, owner, [this](int) { Combo1_Click(); });
    connectTrapped(file(), &shell::FileList::clicked, owner, [this] { File1_Click(); });
    connectTrapped(file(), &shell::FileList::keyDown, owner, [this](int k, int s) { File1_KeyDown(k, s); });
    connectTrapped(file(), &shell::FileList::keyUp, owner, [this](int k, int s) { File1_KeyUp(k, s); });
    connectTrapped(dir(), &shell::DirList::keyDown, owner, [this](int k, int s) { Dir1_KeyDown(k, s); });
    connectTrapped(drive(), &shell::DriveList::keyDown, owner, [this](int k, int s) { Drive1_KeyDown(k, s); });
    // A picture much larger than the view shows reduced while the whole of
    // it decodes; the view is hidden during a load (see File1_Click).
    engine::ImageControl* img = c().Img1;
    img->setPreviewShown([img] {
        img->show();
        img->repaint();
        // Onto the screen now; the user's input still waits for the load.
        shell::processEventsDuringCommand();
    });
    ctx_.services().browser = this;
}

void FileBrowser::Drive1_Change() {
    const QString root = drive()->rootOf(drive()->drive());
    try {
        dir()->setPath(root);
    } catch (const std::exception&) {
        // Not ready: the list goes back to the drive of the directory shown.
        drive()->blockSignals(true);
        try {
            drive()->setDrive(drive()->driveOf(dir()->path()));
        } catch (const std::exception&) {
        }
        drive()->blockSignals(false);
    }
}

void FileBrowser::Dir1_Change() { file()->setPath(dir()->path()); }

void FileBrowser::Combo1_Click() {
    const QString p = comboPattern(combo()->currentText());
    if (!p.isEmpty()) file()->setPattern(p);
}

void FileBrowser::File1_Click() {
    if (s().fListKey) return;
    const QString name = file()->fileName();
    if (name.isEmpty() || !acceptedExtension(name)) return;
    engine::ImageControl* img = c().Img1;
    QWidget* window = ctx_.mainWindow();
    try {
        img->hide();
        shell::setHeightTwips(img, shell::heightTwips(window) - shell::kImgHeightMargin);
        shell::setWidthTwips(img, shell::widthTwips(window) - shell::kImgWidthMarginLoad);
        const QString path = shell::joinPath(dir()->path(), name);
        s().sFilePath = path;
        s().sFileName = name;
        ctx_.WaitCursorOn();
        img->setPreLoad(true);
        s().fImage = 0;
        img->load(path, 0, 0, -1);
        // A file that did not load leaves an empty view empty: no image to
        // report, zoom or process (the Open and start-up paths do the same).
        if (!img->isEmpty()) ctx_.UpdateImageInfo();
    } catch (const std::exception&) {
    }
    img->show();
    file()->setFocus();
    ctx_.WaitCursorOff();
    readAheadNeighbours();
}

void FileBrowser::readAheadNeighbours() {
    // The next two files in the direction of the walk (down unless the
    // last step went up). The one just left is not decoded again: the
    // document hands it to the read-ahead as it was loaded, so turning back
    // costs no decode either.
    QStringList paths;
    const int i = file()->listIndex();
    const int step = i < lastIndex_ ? -1 : 1;
    lastIndex_ = i;
    for (int j : {i + step, i + 2 * step}) {
        const QString n = file()->entry(j);
        if (j >= 0 && !n.isEmpty() && acceptedExtension(n)) paths << shell::joinPath(dir()->path(), n);
    }
    // The size the picture info step will fit each picture to (the control
    // keeps its size from one click to the next), so that the reduced copy
    // the view paints is made in the background too. A guess that misses
    // costs only that the view reduces the picture itself.
    engine::ImageControl* img = c().Img1;
    const QSize control = img->maximumViewportSize();
    const float wLimit = float(shell::widthTwips(img) / 15.05), hLimit = float(shell::heightTwips(img) / 15.05);
    c().Img1->readAhead(paths, [control, wLimit, hLimit](QSize picture) {
        if (float(picture.width()) <= wLimit && float(picture.height()) <= hLimit) return QSize();
        const auto fit = shell::fitByZoom(control.width(), control.height(), picture.width(), picture.height());
        return fit ? QSize(fit->width, fit->height) : QSize();
    });
}

bool FileBrowser::DriveKey(int k, QWidget* focusAfter) {
    const QString letter = driveForKey(k);
    if (letter.isEmpty()) return false;
    try {
        drive()->setDrive(letter);  // moves Dir1 and File1 through the change events
        drive()->refresh();
        dir()->refresh();
        file()->setPath(dir()->path());
        (focusAfter ? focusAfter : static_cast<QWidget*>(dir()))->setFocus();
    } catch (const std::exception&) {
        // A missing or unready drive ends the key silently.
    }
    return true;
}

void FileBrowser::Drive1_KeyDown(int k, int) {
    if (k == 27) ctx_.ClearOrQuit();
    DriveKey(k, dir());
}

void FileBrowser::Dir1_KeyDown(int k, int s) {
    if (k == 27) ctx_.ClearOrQuit();
    if (s != 0) return;
    if (k == 13 || k == 32) {
        try {
            dir()->setPath(dir()->entryPath(dir()->listIndex()));
            dir()->refresh();
            file()->setPath(dir()->path());
            if (k == 13) file()->setFocus();
        } catch (const std::exception&) {
        }
        return;
    }
    if ((k == 220 || k == 222) && this->s().fImage) {
        viewKey(k == 220 ? 3 : 0);
        return;
    }
    DriveKey(k, dir());
}

void FileBrowser::viewKey(int mode) {
    c().Img1->setViewMode(mode);
    c().Img1->repaint();
}

void FileBrowser::zoomStep(int delta) {
    if (c().Img1->isEmpty()) return;
    ctx_.ZoomStep(delta);
    file()->setFocus();
}

void FileBrowser::File1_KeyDown(int k, int s) {
    if (k == 27) ctx_.ClearOrQuit();
    if (k == 18) return;  // Alt alone
    shell::WindowState& st = this->s();
    if (s != 0) {
        st.fListKey = 1;
        if (k == 46) deleteShownFile();
        else if (k == 45) copyKey();
        return;
    }
    st.fListKey = 0;
    switch (k) {
    case 32: File1_Click(); break;
    case 13: case 8: dir()->setFocus(); break;
    case 45: if (st.fImage) zoomStep(+10); break;
    case 46: if (st.fImage) zoomStep(-10); break;
    case 220: case 222:
        if (st.fImage) {
            viewKey(k == 220 ? 3 : 0);
            file()->setFocus();
        }
        break;
    default: DriveKey(k, file()); break;
    }
}

void FileBrowser::File1_KeyUp(int, int s) {
    if (s == 0 && this->s().fListKey) {
        this->s().fListKey = 0;
        File1_Click();
    }
}

void FileBrowser::setPanelVisible(bool visible) {
    for (QWidget* w : {static_cast<QWidget*>(dir()), static_cast<QWidget*>(drive()), static_cast<QWidget*>(file()),
                       static_cast<QWidget*>(combo())})
        w->setVisible(visible);
    s().fBrowserHidden = visible ? 0 : 1;
}

bool FileBrowser::showsListFile() const {
    // The picture on screen must be the one loaded from sFilePath: after
    // Close, an Open from elsewhere, a conversion, a capture or a database
    // picture, sFilePath names a file the user is not looking at.
    const QString& path = s().sFilePath;
    return !path.isEmpty() && !c().Img1->isEmpty() && c().Img1->imageSource() == path;
}

void FileBrowser::emptyView() {
    c().Img1->setImageSource(QString());
    // As after Close: no image, so no zoom keys and no image menus.
    s().fImage = 0;
    ctx_.MenuItemsEnable(false);
}

void FileBrowser::deleteShownFile() {
    if (!showsListFile()) return;
    const QString path = s().sFilePath;
    c().StatusBar1->setPanelText(3, shell::numberText(file()->listIndex()));
    const int i = file()->listIndex();
    emptyView();
    // By the name's own bytes (a Shift-JIS name is no UTF-8).
    std::error_code ec;
    const std::filesystem::path native(engine::nativePath(path));
    if (!std::filesystem::is_regular_file(native, ec) || !std::filesystem::remove(native, ec)) {
        ctx_.ui().msgBox(QStringLiteral("ファイルを削除できません。"), shell::OkOnly);
        return;
    }
    file()->setPath(dir()->path());
    file()->refresh();
    if (i > 0) file()->setListIndex(i - 1);
}

bool FileBrowser::copyShownFile(const QString& name) {
    if (!showsListFile()) return false;
    const QString target = shell::joinPath(s().sDestDir, name);
    // Written beside the target and renamed over it only when whole, so a
    // failed copy leaves a file already there as it was.
    if (engine::copyFileReplacing(engine::nativePath(s().sFilePath), engine::nativePath(target)) == engine::kOk)
        return true;
    ctx_.ui().msgBox(QStringLiteral("ファイルをコピーできません。"), shell::OkOnly);
    return false;
}

void FileBrowser::copyKey() {
    if (!showsListFile()) return;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(std::filesystem::path(engine::nativePath(s().sFilePath)), ec)) {
        // The file shown has gone from the disk since: say so.
        ctx_.ui().msgBox(QStringLiteral("ファイルをコピーできません。"), shell::OkOnly);
        return;
    }
    const QString target = shell::joinPath(s().sDestDir, s().sFileName);
    const int probe = ::open(engine::nativePath(target).c_str(), O_RDONLY);
    if (probe < 0) {
        copyShownFile(s().sFileName);
        return;
    }
    ::close(probe);
    Form4 preview(ctx_.mainWindow());
    ctx_.WaitCursorOn();
    preview.placeBesideQuestion(ctx_.mainWindow());
    preview.show();
    preview.showPreview(target);
    ctx_.WaitCursorOff();
    const auto answer = ctx_.ui().msgBox(QStringLiteral("同名のファイルがあります。コピーしますか？"),
                                         shell::YesNo | shell::Critical | shell::DefaultButton2,
                                         QStringLiteral("ファイルコピー"));
    preview.Img1->setImageSource(QString());
    preview.hide();
    s().fListKey = 0;
    if (answer == shell::MsgYes) copyShownFile(s().sFileName);
}

}  // namespace qova::files
