#include "open_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "../core/codes.h"
#include "../core/formats/formats.h"
#include "../image_control.h"
#include "../native_path.h"
#include "file_pane.h"

namespace qova::engine {

OpenDialog::OpenDialog(const QList<QPair<QString, QStringList>>& filters, const QString& startPath, int page,
                       int loadOption, QWidget* parent)
    : QDialog(parent), filters_(filters) {
    setObjectName("OpenDialog");
    pane_ = new FilePane(this);
    types_ = new QComboBox(this);
    types_->setObjectName("FileTypes");
    for (const auto& f : filters_) types_->addItem(f.first + " (" + f.second.join(';') + ")");
    if (filters_.isEmpty()) {
        filters_.append(qMakePair(QStringLiteral("すべてのﾌｧｲﾙ"), QStringList{"*.*"}));
        types_->addItem("すべてのﾌｧｲﾙ (*.*)");
    }
    name_ = new QLineEdit(this);
    name_->setObjectName("FileName");
    preview_ = new ImageControl(this);
    preview_->setObjectName("Preview");
    preview_->setMinimumSize(220, 180);
    preview_->setViewMode(ImageControl::ViewFit);
    info_ = new QLabel(this);
    info_->setObjectName("FileInfo");
    info_->setWordWrap(true);
    page_ = new QSpinBox(this);
    page_->setObjectName("Page");
    page_->setRange(1, 1);
    page_->setValue(page + 1);
    reduce_ = new QCheckBox("大きな写真は画面の大きさに縮小して読み込む", this);
    reduce_->setObjectName("ReduceLarge");
    reduce_->setChecked(loadOption & 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Open | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Open)->setText("開く(&O)");
    buttons->button(QDialogButtonBox::Cancel)->setText("ｷｬﾝｾﾙ");

    auto* form = new QFormLayout;
    form->addRow("ﾌｧｲﾙ名:", name_);
    form->addRow("ﾌｧｲﾙの種類:", types_);
    auto* right = new QVBoxLayout;
    right->addWidget(preview_, 1);
    right->addWidget(info_);
    auto* pageRow = new QHBoxLayout;
    pageRow->addWidget(new QLabel("ﾍﾟｰｼﾞ:", this));
    pageRow->addWidget(page_);
    pageRow->addStretch();
    right->addLayout(pageRow);
    auto* top = new QHBoxLayout;
    top->addWidget(pane_, 3);
    top->addLayout(right, 2);
    auto* v = new QVBoxLayout(this);
    v->addLayout(top, 1);
    v->addLayout(form);
    v->addWidget(reduce_);
    v->addWidget(buttons);
    resize(760, 480);

    connect(types_, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (i >= 0 && i < filters_.size()) pane_->setPatterns(filters_[i].second);
    });
    connect(pane_, &FilePane::fileSelected, this, &OpenDialog::selectFile);
    connect(pane_, &FilePane::fileActivated, this, [this](const QString& p) {
        selectFile(p);
        accept();
    });
    connect(name_, &QLineEdit::textEdited, this, [this] { nameTyped(); });
    connect(buttons, &QDialogButtonBox::accepted, this, &OpenDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    pane_->setPatterns(filters_.front().second);
    const QFileInfo start(startPath);
    if (!startPath.isEmpty() && start.isFile()) {
        pane_->setDirectory(start.absolutePath());
        selectFile(start.absoluteFilePath());
        page_->setValue(page + 1);
    } else {
        pane_->setDirectory(startPath.isEmpty() || !start.isDir() ? QDir::currentPath() : startPath);
    }
}

void OpenDialog::selectFile(const QString& path) {
    const QFileInfo fi(path);
    if (fi.isAbsolute() && QDir(fi.absolutePath()) != QDir(pane_->directory())) pane_->setDirectory(fi.absolutePath());
    name_->setText(fi.fileName());
    showFile(path);
}

void OpenDialog::nameTyped() {
    // A typed name is another file: it starts at its first page.
    page_->setValue(1);
    const QString p = filePath();
    if (!p.isEmpty() && QFileInfo(p).isFile()) showFile(p);
    else {
        preview_->setImageSource("");
        info_->clear();
        page_->setRange(1, 1);
        page_->setEnabled(false);
    }
}

void OpenDialog::showFile(const QString& path) {
    LoadInfo info;
    const int16_t code = probeFile(nativePath(path), info);
    if (code != kOk) {
        preview_->setImageSource("");
        info_->setText("ﾌﾟﾚﾋﾞｭｰできません (" + QString::number(code) + ")");
        page_->setRange(1, 1);
        page_->setEnabled(false);
        return;
    }
    info_->setText(QString("%1 × %2, %3 ﾋﾞｯﾄ, %4 ﾍﾟｰｼﾞ, %5 Byte")
                       .arg(info.width).arg(info.height).arg(info.bpp).arg(info.pageCount).arg(info.sizeBytes));
    page_->setRange(1, std::max(1, info.pageCount));
    page_->setEnabled(info.pageCount > 1);
    preview_->setLoadOption(1);
    if (preview_->load(path, 0, 0, 1) == kOk) preview_->setViewMode(ImageControl::ViewFit);
    else preview_->setImageSource("");
}

QString OpenDialog::filePath() const {
    // The name as typed, blanks and all; only a name of blanks alone is none.
    const QString n = name_->text();
    if (n.trimmed().isEmpty()) return QString();
    if (QFileInfo(n).isAbsolute()) return n;
    return QDir(pane_->directory()).filePath(n);
}

int OpenDialog::page() const { return page_->value() - 1; }
int OpenDialog::loadOption() const { return reduce_->isChecked() ? 1 : 0; }

void OpenDialog::accept() {
    const QString p = filePath();
    if (p.isEmpty()) return;
    if (QFileInfo(p).isDir()) {
        pane_->setDirectory(p);
        name_->clear();
        return;
    }
    QDialog::accept();
}

}  // namespace qova::engine
