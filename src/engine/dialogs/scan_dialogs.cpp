#include "scan_dialogs.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>

namespace qova::engine {

QString deviceLabel(const scan::Device& d) {
    QString label = QString::fromStdString(d.vendor).trimmed();
    const QString model = QString::fromStdString(d.model).trimmed();
    if (!model.isEmpty()) label = label.isEmpty() ? model : label + QLatin1Char(' ') + model;
    return label.isEmpty() ? QString::fromStdString(d.name) : label;
}

QString modeLabel(const QString& mode) {
    static const std::pair<const char*, const char*> known[] = {
        {"Color", "ｶﾗｰ"},          {"Gray", "ｸﾞﾚｰｽｹｰﾙ"},          {"Lineart", "白黒 (2値)"},
        {"Halftone", "ﾊｰﾌﾄｰﾝ"},    {"Binary", "白黒 (2値)"},        {"Color Lineart", "ｶﾗｰ (2値)"},
        {"Color Halftone", "ｶﾗｰ ﾊｰﾌﾄｰﾝ"}};
    for (const auto& [sane, words] : known)
        if (mode.compare(QLatin1String(sane), Qt::CaseInsensitive) == 0) return QString::fromUtf8(words);
    return mode;
}

namespace {

QDialogButtonBox* okCancel(QDialog* d, const QString& ok) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, d);
    buttons->button(QDialogButtonBox::Ok)->setText(ok);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("ｷｬﾝｾﾙ"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, d, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, d, &QDialog::reject);
    return buttons;
}

}  // namespace

ScanSourceDialog::ScanSourceDialog(const std::vector<scan::Device>& devices, const QString& current, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("ScanSourceDialog"));
    setWindowTitle(QStringLiteral("入力機器の選択"));
    auto* layout = new QVBoxLayout(this);
    auto* caption = new QLabel(QStringLiteral("機器(&D):"), this);
    layout->addWidget(caption);
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("List1"));
    caption->setBuddy(list_);
    for (const scan::Device& d : devices) {
        auto* item = new QListWidgetItem(deviceLabel(d) + QStringLiteral("  (") + QString::fromStdString(d.name) +
                                         QLatin1Char(')'), list_);
        item->setData(Qt::UserRole, QString::fromStdString(d.name));
    }
    layout->addWidget(list_);
    auto* buttons = okCancel(this, QStringLiteral("選択(&S)"));
    layout->addWidget(buttons);
    if (!choose(current) && list_->count() > 0) list_->setCurrentRow(0);
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    resize(420, 260);
}

QString ScanSourceDialog::chosen() const {
    const QListWidgetItem* item = list_->currentItem();
    return item ? item->data(Qt::UserRole).toString() : QString();
}

bool ScanSourceDialog::choose(const QString& name) {
    for (int i = 0; i < list_->count(); ++i)
        if (list_->item(i)->data(Qt::UserRole).toString() == name) {
            list_->setCurrentRow(i);
            return true;
        }
    return false;
}

ScanSettingsDialog::ScanSettingsDialog(const scan::Options& options, const scan::Settings& start,
                                       const QString& device, QWidget* parent)
    : QDialog(parent), options_(options) {
    setObjectName(QStringLiteral("ScanSettingsDialog"));
    setWindowTitle(QStringLiteral("ｽｷｬﾝ - ") + device);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    layout->addLayout(form);

    if (!options.modes.empty()) {
        mode_ = new QComboBox(this);
        mode_->setObjectName(QStringLiteral("Mode"));
        for (const std::string& m : options.modes) {
            const QString name = QString::fromStdString(m);
            mode_->addItem(modeLabel(name), name);
        }
        form->addRow(QStringLiteral("読み取りﾓｰﾄﾞ(&M):"), mode_);
    }
    const scan::NumberChoice& res = options.resolution;
    if (res.present) {
        if (!res.values.empty()) {
            resolutionList_ = new QComboBox(this);
            resolutionList_->setObjectName(QStringLiteral("Resolution"));
            for (double v : res.values) resolutionList_->addItem(QString::number(v) + QStringLiteral(" dpi"), v);
            form->addRow(QStringLiteral("解像度(&R):"), resolutionList_);
        } else {
            resolutionRange_ = new QSpinBox(this);
            resolutionRange_->setObjectName(QStringLiteral("Resolution"));
            resolutionRange_->setRange(int(std::ceil(res.min)), int(std::floor(res.max)));
            resolutionRange_->setSingleStep(res.step >= 1 ? int(res.step) : 1);
            resolutionRange_->setSuffix(QStringLiteral(" dpi"));
            form->addRow(QStringLiteral("解像度(&R):"), resolutionRange_);
        }
    }
    if (options.hasArea()) {
        auto* box = new QGroupBox(options.areaInPixels ? QStringLiteral("読み取り範囲 (ﾋﾟｸｾﾙ)")
                                                       : QStringLiteral("読み取り範囲 (mm)"), this);
        auto* grid = new QGridLayout(box);
        const scan::NumberChoice* sides[4] = {&options.left, &options.top, &options.right, &options.bottom};
        const char* names[4] = {"AreaLeft", "AreaTop", "AreaRight", "AreaBottom"};
        const char* captions[4] = {"左(&L):", "上(&T):", "右(&I):", "下(&B):"};
        for (int i = 0; i < 4; ++i) {
            area_[i] = new QDoubleSpinBox(box);
            area_[i]->setObjectName(QLatin1String(names[i]));
            const scan::NumberChoice& c = *sides[i];
            const double lo = c.values.empty() ? c.min : *std::min_element(c.values.begin(), c.values.end());
            const double hi = c.values.empty() ? c.max : *std::max_element(c.values.begin(), c.values.end());
            area_[i]->setDecimals(options.areaInPixels ? 0 : 1);
            area_[i]->setRange(lo, hi);
            if (c.step > 0) area_[i]->setSingleStep(c.step);
            auto* label = new QLabel(QString::fromUtf8(captions[i]), box);
            label->setBuddy(area_[i]);
            grid->addWidget(label, i / 2, (i % 2) * 2);
            grid->addWidget(area_[i], i / 2, (i % 2) * 2 + 1);
        }
        auto* whole = new QPushButton(QStringLiteral("全体(&W)"), box);
        whole->setObjectName(QStringLiteral("WholeArea"));
        grid->addWidget(whole, 2, 3);
        connect(whole, &QPushButton::clicked, this, [this] {
            area_[0]->setValue(area_[0]->minimum());
            area_[1]->setValue(area_[1]->minimum());
            area_[2]->setValue(area_[2]->maximum());
            area_[3]->setValue(area_[3]->maximum());
        });
        layout->addWidget(box);
    }
    if (!mode_ && !res.present && !options.hasArea())
        layout->addWidget(new QLabel(QStringLiteral("この機器には設定できる項目がありません。"), this));
    layout->addWidget(okCancel(this, QStringLiteral("ｽｷｬﾝ(&S)")));

    setMode(QString::fromStdString(start.mode.empty() ? options.mode : start.mode));
    setResolution(start.resolution > 0 ? start.resolution : res.value);
    if (options.hasArea()) {
        const bool haveArea = start.right > start.left && start.bottom > start.top;
        if (haveArea) setArea(start.left, start.top, start.right, start.bottom);
        else setArea(options.left.value, options.top.value, options.right.value, options.bottom.value);
    }
}

void ScanSettingsDialog::setMode(const QString& mode) {
    if (!mode_) return;
    const int i = mode_->findData(mode);
    if (i >= 0) mode_->setCurrentIndex(i);
}

void ScanSettingsDialog::setResolution(double dpi) {
    const double v = options_.resolution.clamp(dpi);
    if (resolutionList_) resolutionList_->setCurrentIndex(std::max(0, resolutionList_->findData(v)));
    if (resolutionRange_) resolutionRange_->setValue(int(std::lround(v)));
}

void ScanSettingsDialog::setArea(double left, double top, double right, double bottom) {
    if (!area_[0]) return;
    area_[0]->setValue(options_.left.clamp(left));
    area_[1]->setValue(options_.top.clamp(top));
    area_[2]->setValue(options_.right.clamp(right));
    area_[3]->setValue(options_.bottom.clamp(bottom));
}

void ScanSettingsDialog::accept() {
    if (area_[0] && (area_[2]->value() <= area_[0]->value() || area_[3]->value() <= area_[1]->value())) {
        QMessageBox::warning(this, windowTitle(), QStringLiteral("読み取り範囲の右と下は、左と上より大きくしてください。"));
        area_[2]->setFocus();
        return;
    }
    QDialog::accept();
}

scan::Settings ScanSettingsDialog::settings() const {
    scan::Settings s;
    if (mode_) s.mode = mode_->currentData().toString().toStdString();
    if (resolutionList_) s.resolution = resolutionList_->currentData().toDouble();
    if (resolutionRange_) s.resolution = resolutionRange_->value();
    if (area_[0]) {
        s.left = area_[0]->value();
        s.top = area_[1]->value();
        s.right = area_[2]->value();
        s.bottom = area_[3]->value();
    }
    return s;
}

}  // namespace qova::engine
