#include "animation/create_ani.h"

#include <QDir>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "engine/image_control.h"
#include "engine/image_store.h"
#include "shell/context.h"
#include "shell/error_texts.h"
#include "shell/file_lists.h"
#include "shell/paths.h"
#include "shell/trap.h"
#include "shell/ui_services.h"

namespace qova::animation {

using shell::connectTrapped;

QString CreateAni::filePattern() {
    return QStringLiteral(
        "*.cmp;*.jpg;*.jpeg;*.jff;*.jtf;*.bmp;*.tif;*.tga;*.pcx;*.cal;*.mac;*.img;*.msp;*.wpg;*.ras;*.pct;*.pcd;*.eps;"
        "*.wmf;*.psd");
}

CreateAni::CreateAni(shell::ShellContext& ctx, const QString& startDir, QWidget* parent)
    : QDialog(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("CreateAni"));
    setWindowTitle(QStringLiteral("ｱﾆﾒｰｼｮﾝの作成"));
    Drive1 = new shell::DriveList(this);
    Dir1 = new shell::DirList(this);
    File1 = new shell::FileList(this);
    List2 = new QListWidget(this);
    Label1 = new QLabel(QStringLiteral("ｿｰｽ画像(&S) :"), this);
    Label1->setBuddy(File1);
    Label2 = new QLabel(QStringLiteral("ｱﾆﾒｰｼｮﾝﾘｽﾄ(&A) :"), this);
    Label2->setBuddy(List2);
    Command1 = new QPushButton(QStringLiteral("->"), this);
    Command2 = new QPushButton(QStringLiteral("<-"), this);
    Command3 = new QPushButton(QStringLiteral("OK"), this);
    Command4 = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    const std::pair<QWidget*, const char*> names[] = {
        {Drive1, "Drive1"},     {Dir1, "Dir1"},         {File1, "File1"},       {List2, "List2"},
        {Label1, "Label1"},     {Label2, "Label2"},     {Command1, "Command1"}, {Command2, "Command2"},
        {Command3, "Command3"}, {Command4, "Command4"}};
    for (const auto& [w, name] : names) w->setObjectName(QLatin1String(name));

    auto* browser = new QVBoxLayout;
    browser->addWidget(Drive1);
    browser->addWidget(Dir1, 1);
    browser->addWidget(Label1);
    browser->addWidget(File1, 1);
    auto* middle = new QVBoxLayout;
    middle->addStretch();
    middle->addWidget(Command1);
    middle->addWidget(Command2);
    middle->addStretch();
    auto* list = new QVBoxLayout;
    list->addWidget(Label2);
    list->addWidget(List2, 1);
    auto* top = new QHBoxLayout;
    top->addLayout(browser, 1);
    top->addLayout(middle);
    top->addLayout(list, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command3);
    buttons->addWidget(Command4);
    auto* v = new QVBoxLayout(this);
    v->addLayout(top, 1);
    v->addLayout(buttons);
    resize(640, 420);

    connectTrapped(Drive1, &shell::DriveList::driveChanged, this, [this] { Drive1_Change(); });
    connectTrapped(Dir1, &shell::DirList::changed, this, [this] { Dir1_Change(); });
    connectTrapped(File1, &shell::FileList::clicked, this, [this] { File1_Click(); });
    connectTrapped(File1, &QListWidget::itemDoubleClicked, this, [this] { Command1_Click(); });
    connectTrapped(List2, &QListWidget::itemDoubleClicked, this, [this] { Command2_Click(); });
    connectTrapped(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connectTrapped(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connectTrapped(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
    connectTrapped(Command4, &QPushButton::clicked, this, [this] { reject(); });
    Form_Load(startDir);
}

void CreateAni::Form_Load(const QString& startDir) {
    Command1->setEnabled(false);
    Command2->setEnabled(false);
    Command3->setEnabled(false);
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (s) {
        const QRect g = s->geometry();
        move(g.left() + (g.width() - width()) / 2, g.top() + (g.height() - height()) / 2);
    }
    File1->setPattern(filePattern());
    try {
        Dir1->setPath(startDir);
    } catch (const std::exception&) {
        Dir1->setPath(QDir::rootPath());
    }
    File1->setPath(Dir1->path());
    const QString letter = Drive1->driveOf(Dir1->path());
    if (!letter.isEmpty()) {
        const QSignalBlocker quiet(Drive1);
        try {
            Drive1->setDrive(letter);
        } catch (const std::exception&) {
        }
    }
}

void CreateAni::Drive1_Change() {
    try {
        Dir1->setPath(Drive1->rootOf(Drive1->drive()));
    } catch (const std::exception&) {
        // A drive that is not ready: back to the drive of the directory shown.
        const QSignalBlocker quiet(Drive1);
        try {
            Drive1->setDrive(Drive1->driveOf(Dir1->path()));
        } catch (const std::exception&) {
        }
    }
    Command1->setEnabled(false);
}

void CreateAni::Dir1_Change() {
    File1->setPath(Dir1->path());
    Command1->setEnabled(false);
}

void CreateAni::File1_Click() {
    if (!File1->fileName().isEmpty()) Command1->setEnabled(true);
}

void CreateAni::Command1_Click() {
    const QString name = File1->fileName();
    if (name.isEmpty()) return;
    // A drive root is joined without a second separator.
    List2->addItem(shell::joinPath(File1->path(), name));
    Command2->setEnabled(true);
    Command3->setEnabled(true);
}

void CreateAni::Command2_Click() {
    // Nothing selected (as right after adding): nothing to remove.
    const QList<QListWidgetItem*> selected = List2->selectedItems();
    if (selected.isEmpty()) return;
    delete List2->takeItem(List2->row(selected.first()));
    // A list box has no selection after a removal: the last item takes it
    // (not whichever neighbour the view would pick).
    List2->clearSelection();
    if (List2->count() > 0) {
        List2->setCurrentRow(List2->count() - 1);
        List2->item(List2->count() - 1)->setSelected(true);
    }
    if (List2->count() == 0) {
        Command2->setEnabled(false);
        Command3->setEnabled(false);
    }
}

void CreateAni::Command3_Click() {
    engine::ImageControl* img = ctx_.controls().Img1;
    engine::ImageStore* loader = ctx_.controls().Img2;
    built_ = 0;
    ctx_.WaitCursorOn();
    try {
        img->setBitmapHandle(0);
        for (int i = 0; i < List2->count(); ++i) {
            const QString path = List2->item(i)->text();
            // Each listed file gives its first page.
            const int16_t code = loader->load(path, 0, 0, 1);
            if (code != 0) {
                // The frames loaded so far stay; the rest of the list is not built.
                ctx_.WaitCursorOff();
                ctx_.ui().msgBox(shell::engineErrorMessage(
                                     QStringLiteral("ﾌｧｲﾙ '") + path + QStringLiteral("' でｴﾗｰが発生しました。 "), code),
                                 shell::OkOnly, QStringLiteral("ｴﾗｰ: ﾌｧｲﾙの読み込み"));
                break;
            }
            img->insertBitmapListItem(-1, loader->bitmapHandle());
            ++built_;
        }
    } catch (...) {
        ctx_.WaitCursorOff();
        accept();
        img->repaint();
        throw;
    }
    ctx_.WaitCursorOff();
    accept();
    img->repaint();
}

}  // namespace qova::animation
