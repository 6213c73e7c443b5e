#include "database/dir_select.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "database/database.h"
#include "shell/file_lists.h"
#include "shell/file_types.h"
#include "shell/numbers.h"
#include "shell/trap.h"
#include "shell/twips.h"

namespace qova::database {

namespace {

// Twips to a pixel rectangle.
QRect twipsRect(double left, double top, double width, double height) {
    using shell::twipsToPixels;
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height));
}

}  // namespace

const QStringList& DirSelect::fileTypes() {
    static const QStringList types = {"ALL", "JPG", "BMP", "TIF", "CMP", "JFF", "JTF", "TGA", "PCX", "CAL", "MAC",
                                      "IMG", "MSP", "WPG", "RAS", "PCT", "PCD", "EPS", "WMF", "PSD", "AVI", "*.*"};
    return types;
}

QString DirSelect::typePattern(const QString& type) {
    if (type == QLatin1String("ALL")) return shell::startPattern();
    if (type == QLatin1String("JPG")) return QStringLiteral("*.jpg;*.jpeg;*.jpe");
    if (type == QLatin1String("*.*")) return QStringLiteral("*.*");
    if (fileTypes().contains(type)) return QStringLiteral("*.") + type.toLower();
    return QString();
}

DirSelect::DirSelect(ImportState& state, const QString& startDir, std::function<void(DirSelect&)> import,
                     QWidget* parent)
    : QDialog(parent), state_(state), import_(std::move(import)) {
    setObjectName(QStringLiteral("DirSelect"));
    setWindowTitle(QStringLiteral("ディレクトリの選択"));
    setFixedSize(shell::twipsToPixels(5040), shell::twipsToPixels(3720));

    Drive1 = new shell::DriveList(this);
    Dir1 = new shell::DirList(this);
    File1 = new shell::FileList(this);
    Combo1 = new QComboBox(this);
    Combo1->setEditable(true);
    Combo1->addItems(fileTypes());
    Text1 = new QLineEdit(this);
    Text2 = new QLineEdit(this);
    for (QLineEdit* t : {Text1, Text2}) {
        t->setReadOnly(true);
        t->setAlignment(Qt::AlignRight);
    }
    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command2 = new QPushButton(QStringLiteral("Abort"), this);
    // The one control that must answer while an import keeps the program busy.
    Command2->setProperty("answersWhileBusy", true);
    auto* countLabel = new QLabel(QStringLiteral("ファイル数"), this);
    auto* progressLabel = new QLabel(QStringLiteral("処理中"), this);

    const std::pair<QObject*, const char*> names[] = {
        {Drive1, "Drive1"}, {Dir1, "Dir1"},         {File1, "File1"},       {Combo1, "Combo1"},
        {Text1, "Text1"},   {Text2, "Text2"},       {Command1, "Command1"}, {Command2, "Command2"}};
    for (const auto& [o, name] : names) o->setObjectName(QLatin1String(name));

    Drive1->setGeometry(twipsRect(120, 120, 2280, 330));
    Dir1->setGeometry(twipsRect(120, 510, 2280, 2490));
    File1->setGeometry(twipsRect(2520, 120, 2400, 2880));
    Combo1->setGeometry(twipsRect(120, 3120, 1200, 330));
    countLabel->setGeometry(twipsRect(1400, 3060, 1200, 240));
    Text1->setGeometry(twipsRect(1400, 3300, 1200, 300));
    progressLabel->setGeometry(twipsRect(2700, 3060, 1200, 240));
    Text2->setGeometry(twipsRect(2700, 3300, 1200, 300));
    Command1->setGeometry(twipsRect(4200, 3120, 616, 375));

    using shell::connectTrapped;
    connectTrapped(Drive1, &shell::DriveList::driveChanged, this, [this] { Drive1_Change(); });
    connectTrapped(Dir1, &shell::DirList::changed, this, [this] { Dir1_Change(); });
    connectTrapped(Combo1, &QComboBox::activated, this, [this](int) { Combo1_Click(); });
    connectTrapped(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connectTrapped(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });

    Form_Load(startDir);
}

DirSelect::~DirSelect() { Form_Unload(); }

void DirSelect::Form_Load(const QString& startDir) {
    state_.directory.clear();
    File1->setPattern(shell::startPattern());
    Command2->setGeometry(twipsRect(4200, 3120, 616, 375));
    Command2->hide();
    if (!state_.savedDrive.isEmpty()) {
        try {
            Drive1->blockSignals(true);
            Drive1->setDrive(state_.savedDrive);
        } catch (const std::exception&) {
        }
        Drive1->blockSignals(false);
    }
    // The directory last imported from, else where the user was browsing.
    const QString dir = state_.savedDirectory.isEmpty() ? startDir : state_.savedDirectory;
    try {
        Dir1->setPath(dir);
    } catch (const std::exception&) {
        try {
            Dir1->setPath(startDir);
        } catch (const std::exception&) {
        }
    }
    File1->setPath(Dir1->path());
    Command1->setEnabled(true);
    if (!state_.savedFileType.isEmpty()) Combo1->setEditText(state_.savedFileType);
    else Combo1->setCurrentIndex(0);
    Combo1_Click();
}

void DirSelect::Combo1_Click() {
    const QString p = typePattern(Combo1->currentText());
    if (!p.isEmpty()) File1->setPattern(p);
    Text1->setText(shell::numberText(File1->listCount()));
}

void DirSelect::Dir1_Change() {
    Command1->setEnabled(true);
    File1->setPath(Dir1->path());
    Text1->setText(shell::numberText(File1->listCount()));
}

void DirSelect::Drive1_Change() {
    try {
        Dir1->setPath(Drive1->rootOf(Drive1->drive()));
    } catch (const std::exception&) {
        Drive1->blockSignals(true);
        try {
            Drive1->setDrive(Drive1->driveOf(Dir1->path()));
        } catch (const std::exception&) {
        }
        Drive1->blockSignals(false);
    }
}

void DirSelect::Command1_Click() {
    Command1->setEnabled(false);
    Command2->show();
    // Abort takes OK's place and its focus, so Enter or Space stops the import.
    Command2->setFocus();
    Command2->repaint();
    state_.running = true;
    state_.directory = Dir1->path();
    import_(*this);
}

void DirSelect::Command2_Click() { state_.running = false; }

void DirSelect::setImporting(bool on) {
    for (QWidget* w : {static_cast<QWidget*>(Drive1), static_cast<QWidget*>(Dir1), static_cast<QWidget*>(File1),
                       static_cast<QWidget*>(Combo1)})
        w->setEnabled(!on);
}

void DirSelect::done(int result) {
    // A running import stops after the file being read.
    state_.running = false;
    QDialog::done(result);
}

void DirSelect::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    state_.running = false;
    state_.directory.clear();
    state_.savedDrive = Drive1->drive();
    state_.savedDirectory = Dir1->path();
    state_.savedFileType = Combo1->currentText();
}

}  // namespace qova::database
