#include "animation/toolbox.h"

#include <QHBoxLayout>
#include <QPushButton>

#include "engine/image_control.h"
#include "shell/trap.h"

namespace qova::animation {

Form6::Form6(engine::ImageControl* img, std::function<void()> frameSettings, QWidget* parent)
    : QWidget(parent, Qt::Tool), img_(img), frameSettings_(std::move(frameSettings)) {
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("Form6"));
    static const char* const captions[7] = {"先頭", "前", "次", "最後", "再生", "１回", "設定"};
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 4, 4, 4);
    row->setSpacing(2);
    for (int i = 0; i < 7; ++i) {
        buttons_[i] = new QPushButton(QString::fromUtf8(captions[i]), this);
        buttons_[i]->setObjectName(QStringLiteral("Command%1").arg(i + 1));
        // Room for the longer caption of each pair ("停止", "連続").
        buttons_[i]->setMinimumWidth(buttons_[i]->fontMetrics().horizontalAdvance(QStringLiteral("停止")) + 16);
        row->addWidget(buttons_[i]);
    }
    using shell::connectTrapped;
    connectTrapped(buttons_[0], &QPushButton::clicked, this, [this] { turnTo(0); });
    connectTrapped(buttons_[1], &QPushButton::clicked, this, [this] { turnTo(img_->bitmapListIndex() - 1); });
    connectTrapped(buttons_[2], &QPushButton::clicked, this, [this] { turnTo(img_->bitmapListIndex() + 1); });
    connectTrapped(buttons_[3], &QPushButton::clicked, this, [this] { turnTo(img_->bitmapListCount() - 1); });
    connectTrapped(buttons_[4], &QPushButton::clicked, this, [this] { Command5_Click(); });
    connectTrapped(buttons_[5], &QPushButton::clicked, this, [this] { Command6_Click(); });
    connectTrapped(buttons_[6], &QPushButton::clicked, this, [this] { Command7_Click(); });
}

QPushButton* Form6::Command(int n) const { return (n >= 1 && n <= 7) ? buttons_[n - 1] : nullptr; }

void Form6::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    // Form_Load.
    shell::trapped([this] { CheckViewMenu(); });
}

// Command1–Command4: the frame, a repaint, the buttons.
void Form6::turnTo(int index) {
    img_->setBitmapListIndex(index);
    img_->repaint();
    CheckViewMenu();
}

void Form6::Command5_Click() {
    img_->setAnimationPlaying(!img_->animationPlaying());
    CheckViewMenu();
}

void Form6::Command6_Click() {
    img_->setAnimationLoop(!img_->animationLoop());
    setLoopCaption(img_->animationLoop());
    CheckViewMenu();
}

void Form6::Command7_Click() {
    if (img_->animationPlaying()) return;
    if (frameSettings_) frameSettings_();
    CheckViewMenu();
}

void Form6::setPageButtons(shell::PageSteps steps) {
    buttons_[0]->setEnabled(steps.back);
    buttons_[1]->setEnabled(steps.back);
    buttons_[2]->setEnabled(steps.forward);
    buttons_[3]->setEnabled(steps.forward);
}

void Form6::setLoopCaption(bool loop) { buttons_[5]->setText(loop ? QStringLiteral("連続") : QStringLiteral("１回")); }

void Form6::CheckViewMenu() {
    setPageButtons(shell::PageSteps{});
    setPageButtons(shell::pageSteps(img_->bitmapListIndex(), img_->bitmapListCount()));
    buttons_[4]->setText(img_->animationPlaying() ? QStringLiteral("停止") : QStringLiteral("再生"));
    if (isVisible()) repaint();
}

}  // namespace qova::animation
