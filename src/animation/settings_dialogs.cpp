#include "animation/settings_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <cmath>

#include "engine/core/animation.h"
#include "engine/image_control.h"
#include "shell/numbers.h"
#include "shell/trap.h"
#include "shell/ui_services.h"

namespace qova::animation {

namespace {

ModalHook& hook() {
    static ModalHook h;
    return h;
}

// Left = (screen width − dialog width) / 2, top likewise.
void centreOnScreen(QDialog* d) {
    d->adjustSize();
    const QScreen* s = d->screen() ? d->screen() : QGuiApplication::primaryScreen();
    if (!s) return;
    const QRect g = s->geometry();
    d->move(g.left() + (g.width() - d->width()) / 2, g.top() + (g.height() - d->height()) / 2);
}

NumberBox* numberBox(CtrlFlag& flag, const char* name, QWidget* parent) {
    auto* b = new NumberBox(flag, parent);
    b->setObjectName(QLatin1String(name));
    b->setMaximumWidth(90);
    return b;
}

QLabel* label(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    if (buddy) l->setBuddy(buddy);
    return l;
}

// The value of a box as the checks read it (its leading number), and
// whether it is empty.
double valueOf(const QLineEdit* box) { return shell::readNumber(box->text()); }

// Within [lo, hi] and a 16-bit integer once rounded.
bool inRange16(const QLineEdit* box, double lo, double hi) {
    if (box->text().trimmed().isEmpty()) return false;
    const double v = valueOf(box);
    return shell::fitsInt16(v) && v >= lo && v <= hi;
}

// The colour a box's "&H" text names, resolved for painting.
uint32_t shownColour(uint32_t colour, const engine::ImageControl* img) {
    return engine::colourOfRgb(engine::resolveColour(colour, img->document().animation.palette));
}

}  // namespace

void setModalHook(ModalHook h) { hook() = std::move(h); }

void runModal(QDialog& d) {
    if (hook()) hook()(d);
    else d.exec();
}

void paintColourBox(QLineEdit* box, uint32_t colour) {
    const QColor back(int(colour & 255), int((colour >> 8) & 255), int((colour >> 16) & 255));
    const uint32_t inverse = colour ^ 0xFFFFFF;
    const QColor text(int(inverse & 255), int((inverse >> 8) & 255), int((inverse >> 16) & 255));
    QPalette p = box->palette();
    p.setColor(QPalette::Base, back);
    p.setColor(QPalette::Text, text);
    box->setPalette(p);
}

// --- ScreenSet ---

ScreenSet::ScreenSet(engine::ImageControl* img, shell::UiServices& ui, QWidget* parent)
    : QDialog(parent), img_(img), ui_(ui) {
    setObjectName(QStringLiteral("ScreenSet"));
    setWindowTitle(QStringLiteral("画面の設定"));
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    cmdBackColor = new QPushButton(QStringLiteral("..."), this);
    cmdBackColor->setObjectName(QStringLiteral("cmdBackColor"));
    cmdBackColor->setMaximumWidth(32);
    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    for (int n : {1, 2, 3, 4, 5, 6, 7, 8, 16, 24, 32}) Combo1->addItem(QString::number(n), n);
    Text3 = numberBox(flag_, "Text3", this);
    Text4 = numberBox(flag_, "Text4", this);
    auto* grid = new QGridLayout;
    grid->addWidget(label(QStringLiteral("背景色(&B) :"), Text1, this), 0, 0);
    grid->addWidget(Text1, 0, 1);
    grid->addWidget(cmdBackColor, 0, 2);
    grid->addWidget(label(QStringLiteral("ﾋﾞｯﾄ階調(&P) :"), Combo1, this), 1, 0);
    grid->addWidget(Combo1, 1, 1);
    grid->addWidget(label(QStringLiteral("幅(&W) :"), Text3, this), 2, 0);
    grid->addWidget(Text3, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("ﾋﾟｸｾﾙ"), this), 2, 2);
    grid->addWidget(label(QStringLiteral("高さ(&H) :"), Text4, this), 3, 0);
    grid->addWidget(Text4, 3, 1);
    grid->addWidget(new QLabel(QStringLiteral("ﾋﾟｸｾﾙ"), this), 3, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    const char* captions[2] = {"OK", "ｷｬﾝｾﾙ"};
    for (int i = 0; i < 2; ++i) {
        cmdOkCancel[i] = new QPushButton(QString::fromUtf8(captions[i]), this);
        cmdOkCancel[i]->setObjectName(QStringLiteral("cmdOkCancel(%1)").arg(i));
        buttons->addWidget(cmdOkCancel[i]);
        shell::connectTrapped(cmdOkCancel[i], &QPushButton::clicked, this, [this, i] { cmdOkCancel_Click(i); });
    }
    cmdOkCancel[0]->setDefault(true);
    auto* v = new QVBoxLayout(this);
    v->addLayout(grid);
    v->addLayout(buttons);
    shell::connectTrapped(cmdBackColor, &QPushButton::clicked, this, [this] { cmdBackColor_Click(); });
    Form_Load();
}

void ScreenSet::Form_Load() {
    const uint32_t back = img_->animationBackColor();
    Text1->setText(shell::hexColourText(back));
    paintColourBox(Text1, shownColour(back, img_));
    Text3->setText(shell::numberText(img_->animationWidth()));
    Text4->setText(shell::numberText(img_->animationHeight()));
    Combo1->setCurrentIndex(Combo1->findData(int(img_->animationBits())));
    centreOnScreen(this);
}

void ScreenSet::cmdBackColor_Click() {
    uint32_t colour = 0;
    shell::readHexColour(Text1->text(), colour);
    if (!ui_.chooseColour(colour)) return;
    Text1->setText(shell::hexColourText(colour, true));
    paintColourBox(Text1, colour);
}

bool ScreenSet::ValidateSettings() {
    if (!inRange16(Text3, 0, 2048)) {
        Text3->setFocus();
        return false;
    }
    if (!inRange16(Text4, 0, 1536)) {
        Text4->setFocus();
        return false;
    }
    // The colour box takes typing too; text that is no "&H" number is refused there.
    uint32_t colour = 0;
    if (!shell::readHexColour(Text1->text(), colour)) {
        Text1->setFocus();
        return false;
    }
    return true;
}

void ScreenSet::cmdOkCancel_Click(int index) {
    if (index == 0) {
        if (!ValidateSettings()) return;
        uint32_t colour = 0;
        shell::readHexColour(Text1->text(), colour);
        img_->setAnimationBackColor(colour);
        img_->setAnimationWidth(shell::toInt16(valueOf(Text3)));
        img_->setAnimationHeight(shell::toInt16(valueOf(Text4)));
        // No depth chosen (the engine's matched no item): the engine's stays.
        if (Combo1->currentIndex() >= 0) img_->setAnimationBits(Combo1->currentData().toInt());
        accept();
        return;
    }
    reject();
}

// --- FrameSet ---

FrameSet::FrameSet(engine::ImageControl* img, shell::UiServices& ui, QWidget* parent)
    : QDialog(parent), img_(img), ui_(ui) {
    setObjectName(QStringLiteral("FrameSet"));
    setWindowTitle(QStringLiteral("ﾌﾚｰﾑの設定"));
    Text2 = numberBox(flag_, "Text2", this);
    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->addItems({QStringLiteral("無処理"), QStringLiteral("ﾋﾞｯﾄﾏｯﾌﾟをそのまま"), QStringLiteral("背景色を元戻す"),
                      QStringLiteral("前ｲﾒｰｼﾞを元戻す")});
    Text3 = numberBox(flag_, "Text3", this);
    Text4 = numberBox(flag_, "Text4", this);
    Check2 = new QCheckBox(QStringLiteral("透明色(&T) :"), this);
    Check2->setObjectName(QStringLiteral("Check2"));
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    cmdColor = new QPushButton(QStringLiteral("..."), this);
    cmdColor->setObjectName(QStringLiteral("cmdColor"));
    cmdColor->setMaximumWidth(32);

    auto* grid = new QGridLayout;
    grid->addWidget(label(QStringLiteral("再生遅延(&D) :"), Text2, this), 0, 0);
    grid->addWidget(Text2, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("ﾐﾘ秒"), this), 0, 2);
    grid->addWidget(label(QStringLiteral("再生方式(&D) :"), Combo1, this), 1, 0);
    grid->addWidget(Combo1, 1, 1, 1, 2);
    auto* frame1 = new QGroupBox(QStringLiteral("ﾋﾞｯﾄﾏｯﾌﾟ位置"), this);
    frame1->setObjectName(QStringLiteral("Frame1"));
    auto* pos = new QGridLayout(frame1);
    pos->addWidget(label(QStringLiteral("左端(&L) :"), Text3, frame1), 0, 0);
    pos->addWidget(Text3, 0, 1);
    pos->addWidget(new QLabel(QStringLiteral("ﾋﾟｸｾﾙ"), frame1), 0, 2);
    pos->addWidget(label(QStringLiteral("上端(&T) :"), Text4, frame1), 1, 0);
    pos->addWidget(Text4, 1, 1);
    pos->addWidget(new QLabel(QStringLiteral("ﾋﾟｸｾﾙ"), frame1), 1, 2);
    auto* colourRow = new QHBoxLayout;
    colourRow->addWidget(Check2);
    colourRow->addWidget(Text1, 1);
    colourRow->addWidget(cmdColor);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    const char* captions[2] = {"OK", "ｷｬﾝｾﾙ"};
    for (int i = 0; i < 2; ++i) {
        cmdOKCancel[i] = new QPushButton(QString::fromUtf8(captions[i]), this);
        cmdOKCancel[i]->setObjectName(QStringLiteral("cmdOKCancel(%1)").arg(i));
        buttons->addWidget(cmdOKCancel[i]);
        shell::connectTrapped(cmdOKCancel[i], &QPushButton::clicked, this, [this, i] { cmdOKCancel_Click(i); });
    }
    cmdOKCancel[0]->setDefault(true);
    auto* v = new QVBoxLayout(this);
    v->addLayout(grid);
    v->addWidget(frame1);
    v->addLayout(colourRow);
    v->addLayout(buttons);
    shell::connectTrapped(Check2, &QCheckBox::clicked, this, [this] { Check2_Click(); });
    shell::connectTrapped(cmdColor, &QPushButton::clicked, this, [this] { cmdColor_Click(); });
    Form_Load();
}

void FrameSet::Form_Load() {
    Check2->setChecked(img_->frameTransparent());
    cmdColor->setEnabled(Check2->isChecked());
    const uint32_t colour = img_->frameTransparentColour();
    Text1->setText(shell::hexColourText(colour));
    paintColourBox(Text1, colour);
    Text2->setText(shell::numberText(img_->frameDelay()));
    Text3->setText(shell::numberText(img_->frameLeft()));
    Text4->setText(shell::numberText(img_->frameTop()));
    Combo1->setCurrentIndex(img_->frameDisposal());
    centreOnScreen(this);
}

void FrameSet::Check2_Click() { cmdColor->setEnabled(Check2->isChecked()); }

void FrameSet::cmdColor_Click() {
    uint32_t colour = 0;
    shell::readHexColour(Text1->text(), colour);
    if (!ui_.chooseColour(colour)) return;
    Text1->setText(shell::hexColourText(colour, true));
    paintColourBox(Text1, colour);
}

bool FrameSet::ValidateSettings() {
    // Each box must read exactly as its own number does: no leading zeros,
    // no sign, nothing empty.
    for (const QLineEdit* box : {static_cast<QLineEdit*>(Text2), static_cast<QLineEdit*>(Text3),
                                 static_cast<QLineEdit*>(Text4)})
        if (box->text() != shell::numberText(valueOf(box))) return false;
    if (!inRange16(Text2, 0, 5000)) {
        Text2->setFocus();
        return false;
    }
    // The frame must fit into the largest canvas.
    if (!inRange16(Text3, 0, 2048 - img_->bitmapWidth())) {
        Text3->setFocus();
        return false;
    }
    if (!inRange16(Text4, 0, 1536 - img_->bitmapHeight())) {
        Text4->setFocus();
        return false;
    }
    uint32_t colour = 0;
    if (!shell::readHexColour(Text1->text(), colour)) {
        Text1->setFocus();
        return false;
    }
    return true;
}

void FrameSet::cmdOKCancel_Click(int index) {
    if (index == 0) {
        if (!ValidateSettings()) return;
        uint32_t colour = 0;
        shell::readHexColour(Text1->text(), colour);
        img_->setFrameTransparent(Check2->isChecked());
        img_->setFrameTransparentColour(colour);
        img_->setFrameDelay(int32_t(shell::roundHalfEven(valueOf(Text2))));
        img_->setFrameLeft(shell::toInt16(valueOf(Text3)));
        img_->setFrameTop(shell::toInt16(valueOf(Text4)));
        img_->setFrameDisposal(int16_t(Combo1->currentIndex()));
        accept();
        return;
    }
    reject();
}

}  // namespace qova::animation
