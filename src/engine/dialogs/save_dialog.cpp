#include "save_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "../core/formats/format_table.h"
#include "file_pane.h"

namespace qova::engine {

SaveDialog::SaveDialog(const SaveChoice& start, QWidget* parent) : QDialog(parent), picture_(start.picture) {
    setObjectName("SaveDialog");
    pane_ = new FilePane(this);
    name_ = new QLineEdit(this);
    name_->setObjectName("FileName");
    format_ = new QComboBox(this);
    format_->setObjectName("Format");
    for (const FormatInfo& f : formatTable())
        if (!f.writeBpp.empty()) format_->addItem(QString::fromUtf8(f.name) + " (*." + f.extension + ")", int(f.code));
    bits_ = new QComboBox(this);
    bits_->setObjectName("Bits");
    quality_ = new QSpinBox(this);
    quality_->setObjectName("Quality");
    quality_->setRange(1, 100);
    quality_->setValue(start.quality >= 1 && start.quality <= 100 ? start.quality : 85);
    quality_->setToolTip("1 (小さい) ～ 100 (高画質)");
    option_ = new QComboBox(this);
    option_->setObjectName("SaveOption");
    option_->addItem("ﾌｧｲﾙを置き換える", 0);
    option_->addItem("既存のﾌｧｲﾙにﾍﾟｰｼﾞを追加する", 1);
    option_->setCurrentIndex(start.saveOption == 1 ? 1 : 0);

    stamp_ = new QCheckBox("ｽﾀﾝﾌﾟ（縮小画像）を保存する", this);
    stamp_->setObjectName("Stamp");
    stamp_->setChecked(start.stamp);
    stampW_ = new QSpinBox(this);
    stampW_->setObjectName("StampWidth");
    stampW_->setRange(8, 1024);
    stampW_->setValue(start.stampWidth);
    stampH_ = new QSpinBox(this);
    stampH_->setObjectName("StampHeight");
    stampH_->setRange(8, 1024);
    stampH_->setValue(start.stampHeight);
    stampBits_ = new QComboBox(this);
    stampBits_->setObjectName("StampBits");
    stampBits_->addItem("24", 24);
    stampBits_->addItem("8", 8);
    stampBits_->setCurrentIndex(start.stampBits == 8 ? 1 : 0);

    auto* form = new QFormLayout;
    form->addRow("ﾌｧｲﾙ名:", name_);
    form->addRow("ﾌｧｲﾙ形式:", format_);
    form->addRow("ﾋﾞｯﾄ/ﾋﾟｸｾﾙ:", bits_);
    form->addRow("品質 (Q):", quality_);
    form->addRow("保存方法:", option_);
    auto* stampBox = new QGroupBox(this);
    auto* sf = new QFormLayout(stampBox);
    sf->addRow(stamp_);
    auto* size = new QHBoxLayout;
    size->addWidget(stampW_);
    size->addWidget(new QLabel("×", this));
    size->addWidget(stampH_);
    sf->addRow("大きさ:", size);
    sf->addRow("ﾋﾞｯﾄ/ﾋﾟｸｾﾙ:", stampBits_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Save)->setText("保存(&S)");
    buttons->button(QDialogButtonBox::Cancel)->setText("ｷｬﾝｾﾙ");
    auto* right = new QVBoxLayout;
    right->addLayout(form);
    right->addWidget(stampBox);
    right->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(pane_, 3);
    top->addLayout(right, 2);
    auto* v = new QVBoxLayout(this);
    v->addLayout(top, 1);
    v->addWidget(buttons);
    resize(820, 460);

    confirmOverwrite = [this](const QString& path) {
        return QMessageBox::question(this, windowTitle(),
                                     "'" + QFileInfo(path).fileName() + "' は既に存在します。\n置き換えますか？",
                                     QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
    };
    connect(format_, &QComboBox::currentIndexChanged, this, &SaveDialog::formatChanged);
    connect(stamp_, &QCheckBox::toggled, this, [this] { formatChanged(); });
    connect(pane_, &FilePane::fileSelected, this, [this](const QString& p) {
        name_->setText(QFileInfo(p).fileName());
        followName();
    });
    connect(pane_, &FilePane::fileActivated, this, [this](const QString& p) {
        name_->setText(QFileInfo(p).fileName());
        accept();
    });
    connect(name_, &QLineEdit::textEdited, this, [this] { followName(); });
    connect(buttons, &QDialogButtonBox::accepted, this, &SaveDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    const int fi = format_->findData(start.format);
    format_->setCurrentIndex(fi >= 0 ? fi : 0);
    // Bits start from the picture, never from the last save's choice.
    formatChanged();
    const QFileInfo sp(start.path);
    if (!start.path.isEmpty() && (sp.isDir() || sp.absoluteDir().exists())) {
        pane_->setDirectory(sp.isDir() ? sp.absoluteFilePath() : sp.absolutePath());
        // A start name of another type (the source of a conversion) takes
        // the format's extension, so OK never writes one type under another's name.
        if (!sp.isDir()) {
            name_->setText(sp.fileName());
            followFormat();
        }
    } else {
        pane_->setDirectory(QDir::currentPath());
    }
}

void SaveDialog::formatChanged() {
    const FormatInfo* f = findFormat(format_->currentData().toInt());
    if (!f) return;
    // Each format starts at the picture's own depth where it writes it,
    // else at its richest colour: fewer colours are always the user's pick.
    bits_->clear();
    for (int b : f->writeBpp)
        bits_->addItem(writesGrey(*f, b) ? QString("%1 (ｸﾞﾚｰ)").arg(b) : QString::number(b), b);
    const int i = bits_->findData(startDepth(*f, picture_));
    bits_->setCurrentIndex(i >= 0 ? i : bits_->count() - 1);
    quality_->setEnabled(f->quality);
    stamp_->setEnabled(f->stamp);
    stampW_->setEnabled(f->stamp && stamp_->isChecked());
    stampH_->setEnabled(f->stamp && stamp_->isChecked());
    stampBits_->setEnabled(f->stamp && stamp_->isChecked());
    const bool pages = QString(f->extension) == "tif";
    option_->setEnabled(pages);
    if (!pages) option_->setCurrentIndex(0);
    followFormat();
}

void SaveDialog::followFormat() {
    const FormatInfo* f = findFormat(format_->currentData().toInt());
    if (!f) return;
    // Follow the format with the name's extension (any of the format's own).
    const QString n = name_->text();
    if (n.isEmpty()) return;
    const QFileInfo fi(n);
    if (!hasExtension(*f, fi.suffix().toStdString()))
        name_->setText(fi.completeBaseName() + "." + QString::fromUtf8(f->extension));
}

void SaveDialog::followName() {
    const QString suffix = QFileInfo(name_->text()).suffix();
    const FormatInfo* now = findFormat(format_->currentData().toInt());
    if (suffix.isEmpty() || (now && hasExtension(*now, suffix.toStdString()))) return;
    const FormatInfo* named = writerForExtension(suffix.toStdString());
    if (!named) return;  // an extension no writer knows keeps the chosen format
    const int i = format_->findData(int(named->code));
    if (i >= 0) format_->setCurrentIndex(i);
}

SaveChoice SaveDialog::choice() const {
    SaveChoice c;
    // The name as typed, blanks and all; only a name of blanks alone is none.
    const QString n = name_->text();
    c.path = n.trimmed().isEmpty() ? QString() : (QFileInfo(n).isAbsolute() ? n : QDir(pane_->directory()).filePath(n));
    c.format = format_->currentData().toInt();
    c.bits = bits_->currentData().toInt();
    const FormatInfo* f = findFormat(c.format);
    c.quality = f && f->quality ? quality_->value() : 0;
    c.saveOption = option_->currentData().toInt();
    c.stamp = stamp_->isEnabled() && stamp_->isChecked();
    c.stampWidth = stampW_->value();
    c.stampHeight = stampH_->value();
    c.stampBits = stampBits_->currentData().toInt();
    return c;
}

void SaveDialog::accept() {
    followName();
    const SaveChoice c = choice();
    if (c.path.isEmpty()) return;
    const QFileInfo fi(c.path);
    if (fi.isDir()) {
        pane_->setDirectory(c.path);
        name_->clear();
        return;
    }
    // Adding pages keeps the old file; a stamp save has no such option and
    // replaces it, so it asks like a plain replace.
    const bool replaces = c.saveOption == 0 || c.stamp;
    if (fi.exists() && replaces && confirmOverwrite && !confirmOverwrite(c.path)) return;
    QDialog::accept();
}

}  // namespace qova::engine
