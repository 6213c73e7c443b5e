#include "files/form2.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <exception>

#include "shell/file_lists.h"
#include "shell/trap.h"
#include "shell/ui_services.h"

namespace qova::files {

Form2::Form2(shell::UiServices& ui, std::function<void()> pathChange, QWidget* parent)
    : QDialog(parent), ui_(ui), pathChange_(std::move(pathChange)) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("保存先"));
    Label1 = new QLabel(QStringLiteral("保存先ディレクトリ"), this);
    Text1 = new QLineEdit(this);
    Drive1 = new DriveList(this);
    Dir1 = new DirList(this);
    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command2 = new QPushButton(QStringLiteral("CANCEL"), this);
    const std::pair<QWidget*, const char*> names[] = {{Label1, "Label1"}, {Text1, "Text1"},      {Drive1, "Drive1"},
                                                      {Dir1, "Dir1"},     {Command1, "Command1"}, {Command2, "Command2"}};
    for (const auto& [w, name] : names) w->setObjectName(QLatin1String(name));
    Label1->setBuddy(Text1);
    Command1->setDefault(true);

    auto* grid = new QGridLayout(this);
    grid->addWidget(Label1, 0, 0, 1, 2);
    grid->addWidget(Text1, 1, 0, 1, 2);
    grid->addWidget(Drive1, 2, 0);
    grid->addWidget(Dir1, 3, 0, 2, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    buttons->addStretch();
    grid->addLayout(buttons, 2, 1, 3, 1);
    grid->setRowStretch(4, 1);
    resize(420, 340);

    // The tree starts in the current directory, the drive list on its drive.
    try {
        Dir1->setPath(QDir::currentPath());
    } catch (const std::exception&) {
        Dir1->setPath(QDir::rootPath());
    }
    {
        const QSignalBlocker block(Drive1);
        try {
            Drive1->setDrive(Drive1->driveOf(Dir1->path()));
        } catch (const std::exception&) {
        }
    }

    shell::connectTrapped(Drive1, &DriveList::driveChanged, this, [this] { Drive1_Change(); });
    shell::connectTrapped(Dir1, &DirList::changed, this, [this] { Dir1_Change(); });
    shell::connectTrapped(Command1, &QPushButton::clicked, this, [this](bool) { Command1_Click(); });
    shell::connectTrapped(Command2, &QPushButton::clicked, this, [this](bool) { Command2_Click(); });
}

void Form2::Drive1_Change() {
    try {
        Dir1->setPath(Drive1->rootOf(Drive1->drive()));
    } catch (const std::exception&) {
        // Not ready: back to the drive of the directory shown (quietly, so
        // the tree is not sent to that drive's root).
        const QSignalBlocker block(Drive1);
        try {
            Drive1->setDrive(Drive1->driveOf(Dir1->path()));
        } catch (const std::exception&) {
        }
    }
}

void Form2::Dir1_Change() { Text1->setText(Dir1->path()); }

void Form2::Command1_Click() {
    const QString path = Text1->text();
    // The path exactly as typed: no wildcards, no expansion.
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (!native.isEmpty() && ::stat(native.constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            pathChange_();
            accept();
        } else {
            ui_.msgBox(QStringLiteral("同名のファイルが有ります"), shell::Critical);
        }
        return;
    }
    // This question has an empty title (not the program's name).
    if (ui_.msgBox(QStringLiteral("ホルダを作成しますか。"), shell::YesNo | shell::Question | shell::DefaultButton2,
                   QStringLiteral("")) !=
        shell::MsgYes)
        return;
    // One level only, like the classic MkDir.
    if (native.isEmpty() || ::mkdir(native.constData(), 0777) != 0) {
        ui_.msgBox(QStringLiteral("ホルダが作成できません"), shell::Critical);
        return;
    }
    pathChange_();
    accept();
}

void Form2::Command2_Click() { reject(); }

}  // namespace qova::files
