#include "param_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDial>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>

#include "preview_pane.h"

namespace qova::engine {

namespace {

// A spin box over hundredths that reads and writes "2.20".
class HundredthsBox : public QSpinBox {
public:
    using QSpinBox::QSpinBox;

protected:
    QString textFromValue(int v) const override { return QString::number(v / 100.0, 'f', 2); }
    int valueFromText(const QString& text) const override { return int(std::lround(text.toDouble() * 100)); }
    QValidator::State validate(QString& text, int&) const override {
        static const QRegularExpression shape(QStringLiteral("^\\d*\\.?\\d{0,2}$"));
        if (!shape.match(text).hasMatch()) return QValidator::Invalid;
        bool ok = false;
        const double v = text.toDouble(&ok);
        if (!ok) return QValidator::Intermediate;
        const long h = std::lround(v * 100);
        return h >= minimum() && h <= maximum() ? QValidator::Acceptable : QValidator::Intermediate;
    }
};

}  // namespace

ParamDialog::ParamDialog(const QString& title, const Bitmap& picture, bool actualSize, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(title);
    auto* top = new QHBoxLayout;
    if (!picture.isNull()) {
        auto* left = new QVBoxLayout;
        preview_ = new PreviewPane(picture, actualSize, this);
        left->addWidget(preview_);
        auto* applied = new QCheckBox(QStringLiteral("ﾌﾟﾚﾋﾞｭｰ(&P)"), this);
        applied->setObjectName(QStringLiteral("ShowPreview"));
        applied->setChecked(true);
        auto* actual = new QCheckBox(QStringLiteral("等倍で表示(&Z)"), this);
        actual->setObjectName(QStringLiteral("ActualSize"));
        actual->setChecked(actualSize);
        actual->setEnabled(!preview_->pictureFits());
        actual->setToolTip(QStringLiteral("画像の一部を元の大きさで表示します。ﾄﾞﾗｯｸﾞで表示位置を移動できます。"));
        connect(applied, &QCheckBox::toggled, preview_, &PreviewPane::setApplied);
        connect(actual, &QCheckBox::toggled, preview_, &PreviewPane::setActualSize);
        auto* boxes = new QHBoxLayout;
        boxes->addWidget(applied);
        boxes->addWidget(actual);
        boxes->addStretch();
        left->addLayout(boxes);
        left->addStretch();
        top->addLayout(left);
    }
    auto* right = new QVBoxLayout;
    form_ = new QFormLayout;
    form_->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    right->addLayout(form_);
    right->addStretch();
    top->addLayout(right, 1);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    QPushButton* cancel = buttons->addButton(QStringLiteral("ｷｬﾝｾﾙ"), QDialogButtonBox::RejectRole);
    ok->setObjectName(QStringLiteral("OK"));
    cancel->setObjectName(QStringLiteral("Cancel"));
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* all = new QVBoxLayout(this);
    all->addLayout(top);
    all->addWidget(buttons);
    setMinimumWidth(preview_ ? 720 : 380);
}

void ParamDialog::addRow(const QString& label, QWidget* field) { form_->addRow(label, field); }

QSpinBox* ParamDialog::addValue(const QString& name, const QString& label, ops::ValueRange range, int start,
                                int usual, const QString& suffix, bool dial) {
    auto* box = new QSpinBox(this);
    box->setSuffix(suffix);
    if (!dial) {
        placeRow(box, new QSlider(Qt::Horizontal, this), name, label, range, start, usual);
        return box;
    }
    // An angle, counter-clockwise from the right as on paper: the dial's own
    // values start at the bottom and run clockwise, so they are mapped.
    auto* d = new QDial(this);
    d->setWrapping(true);
    d->setNotchesVisible(true);
    d->setNotchTarget(15);
    d->setFixedSize(72, 72);
    placeRow(box, d, name, label, range, start, usual);
    disconnect(d, nullptr, box, nullptr);
    disconnect(box, nullptr, d, nullptr);
    d->setRange(0, 360);
    auto toDial = [](int deg) { return ((270 - deg) % 360 + 360) % 360; };
    d->setValue(toDial(box->value()));
    connect(d, &QDial::valueChanged, box, [box, toDial](int v) {
        const int deg = toDial(v);  // the mapping is its own inverse
        if (deg != box->value() && deg >= box->minimum() && deg <= box->maximum()) box->setValue(deg);
    });
    connect(box, &QSpinBox::valueChanged, d, [d, toDial](int deg) {
        if (toDial(d->value()) != deg) d->setValue(toDial(deg));
    });
    return box;
}

QSpinBox* ParamDialog::addHundredths(const QString& name, const QString& label, ops::ValueRange range, int start,
                                     int usual) {
    auto* box = new HundredthsBox(this);
    placeRow(box, new QSlider(Qt::Horizontal, this), name, label, range, start, usual);
    return box;
}

void ParamDialog::placeRow(QSpinBox* box, QAbstractSlider* bar, const QString& name, const QString& label,
                           ops::ValueRange range, int start, int usual) {
    box->setObjectName(name);
    box->setRange(range.min, range.max);
    box->setValue(startIn(range, start, usual));
    bar->setObjectName(name + QStringLiteral("Bar"));
    if (qobject_cast<QSlider*>(bar)) bar->setMinimumWidth(200);
    bar->setRange(range.min, range.max);
    bar->setValue(box->value());
    bar->setPageStep(std::max(1, (range.max - range.min) / 10));
    // Only a real change goes back to the box: setting it rewrites its text,
    // which would spoil a number being typed ("2." becoming "2.00").
    connect(bar, &QAbstractSlider::valueChanged, box, [box](int v) {
        if (box->value() != v) box->setValue(v);
    });
    connect(box, &QSpinBox::valueChanged, bar, &QAbstractSlider::setValue);
    connect(box, &QSpinBox::valueChanged, this, &ParamDialog::refreshPreview);
    auto* field = new QWidget(this);
    auto* row = new QHBoxLayout(field);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(bar, 1);
    row->addWidget(box);
    auto* caption = new QLabel(label, this);
    caption->setBuddy(box);
    form_->addRow(caption, field);
}

QComboBox* ParamDialog::addChoice(const QString& name, const QString& label, const QList<QPair<QString, int>>& entries,
                                  int start, int usual) {
    auto* box = new QComboBox(this);
    box->setObjectName(name);
    for (const auto& [text, value] : entries) box->addItem(text, value);
    int at = box->findData(start);
    if (at < 0) at = box->findData(usual);
    box->setCurrentIndex(std::max(0, at));
    connect(box, &QComboBox::currentIndexChanged, this, &ParamDialog::refreshPreview);
    auto* caption = new QLabel(label, this);
    caption->setBuddy(box);
    form_->addRow(caption, box);
    return box;
}

void ParamDialog::startPreview() {
    if (!preview_) return;
    preview_->setOperation([this](Bitmap& b) { return previewOperation(b); });
    // The dialog opens with the result already shown.
    preview_->updateNow();
}

void ParamDialog::refreshPreview() {
    if (preview_) preview_->refresh();
}

}  // namespace qova::engine
