#include "rotate_dialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "../core/codes.h"
#include "../core/ops/geometry.h"
#include "../core/ops/ranges.h"
#include "../image_control_p.h"

namespace qova::engine {

namespace {

constexpr int kPreviewSide = 200;

QColor qcolour(uint32_t c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }

}  // namespace

RotateDialog::RotateDialog(Mode mode, const RotateChoice& start, const Bitmap& picture, QWidget* parent)
    : QDialog(parent), mode_(mode), fillColour_(start.fillColour & 0xFFFFFF) {
    const bool rotate = mode == Mode::Rotate;
    setObjectName(rotate ? "RotateDialog" : "ShearDialog");
    setWindowTitle(rotate ? "回転" : "傾き");
    const ops::ValueRange range = rotate ? ops::kRangeRotate : ops::kRangeShear;
    angle_ = new QDoubleSpinBox(this);
    angle_->setObjectName("Angle");
    angle_->setDecimals(2);
    angle_->setRange(range.min / 100.0, range.max / 100.0);
    angle_->setSingleStep(rotate ? 15 : 5);
    angle_->setSuffix(" 度");
    angle_->setValue(std::clamp(start.angle, range.min, range.max) / 100.0);
    option_ = new QCheckBox(rotate ? "画像全体が収まるように拡大(&E)" : "水平方向に傾ける(&H)", this);
    option_->setObjectName("Option");
    option_->setChecked(start.option);

    auto* form = new QFormLayout;
    form->addRow(rotate ? "角度(&A) (時計まわり):" : "角度(&A):", angle_);
    form->addRow(option_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);

    if (!picture.isNull()) {
        colour_ = new QPushButton("背景色(&B)...", this);
        colour_->setObjectName("FillColour");
        form->addRow("角の色:", colour_);
        connect(colour_, &QPushButton::clicked, this, [this] { chooseColour(); });
        // A small copy turns as fast as the user types.
        const double s = std::min(1.0, double(kPreviewSide) / std::max(picture.width(), picture.height()));
        thumb_ = picture;
        ops::resize(thumb_, std::max(1, int(std::lround(picture.width() * s))),
                    std::max(1, int(std::lround(picture.height() * s))), ops::kResizeResample);
        auto* box = new QGroupBox("ﾌﾟﾚﾋﾞｭｰ", this);
        auto* boxLayout = new QVBoxLayout(box);
        preview_ = new QLabel(box);
        preview_->setObjectName("Preview");
        preview_->setAlignment(Qt::AlignCenter);
        preview_->setMinimumSize(kPreviewSide + 90, kPreviewSide + 90);
        boxLayout->addWidget(preview_);
        layout->addWidget(box);
        connect(angle_, &QDoubleSpinBox::valueChanged, this, [this] { updatePreview(); });
        connect(option_, &QCheckBox::toggled, this, [this] { updatePreview(); });
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText("OK");
    buttons->button(QDialogButtonBox::Cancel)->setText("ｷｬﾝｾﾙ");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setFillColour(fillColour_);
    angle_->setFocus();
    angle_->selectAll();
}

RotateChoice RotateDialog::choice() const {
    RotateChoice c;
    c.angle = int(std::lround(angle_->value() * 100));
    c.option = option_->isChecked();
    c.fillColour = fillColour_;
    return c;
}

void RotateDialog::setFillColour(uint32_t colour) {
    fillColour_ = colour & 0xFFFFFF;
    if (colour_) {
        QPixmap swatch(16, 16);
        swatch.fill(qcolour(fillColour_));
        colour_->setIcon(QIcon(swatch));
    }
    updatePreview();
}

void RotateDialog::chooseColour() {
    const QColor c = QColorDialog::getColor(qcolour(fillColour_), this, "背景色");
    if (c.isValid()) setFillColour(uint32_t(c.red()) | (uint32_t(c.green()) << 8) | (uint32_t(c.blue()) << 16));
}

void RotateDialog::updatePreview() {
    if (!preview_ || thumb_.isNull()) return;
    Bitmap b = thumb_;
    const RotateChoice c = choice();
    const int16_t code = mode_ == Mode::Rotate ? ops::rotate(b, c.angle, c.option, c.fillColour)
                                               : ops::shear(b, c.angle, c.option, c.fillColour);
    if (code != kOk) return;
    preview_->setPixmap(QPixmap::fromImage(shownImage(b)));
}

}  // namespace qova::engine
