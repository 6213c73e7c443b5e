#include "animation/toolbox.h"

#include <QHBoxLayout>
#include <QPushButton>

#include "engine/image_control.h"

namespace qova::animation {

Form6::Form6(engine::ImageControl* img, QWidget* parent) : QWidget(parent, Qt::Tool), img_(img) {
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("Form6"));
    static const char* const captions[7] = {"先頭", "前", "次", "最後", "再生", "１回", "設定"};
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 4, 4, 4);
    row->setSpacing(2);
    for (int i = 0; i < 7; ++i) {
        buttons_[i] = new QPushButton(QString::fromUtf8(captions[i]), this);
        buttons_[i]->setObjectName(QStringLiteral("Command%1").arg(i + 1));
        row->addWidget(buttons_[i]);
    }
}

QPushButton* Form6::Command(int n) const { return (n >= 1 && n <= 7) ? buttons_[n - 1] : nullptr; }

void Form6::setPageButtons(shell::PageSteps steps) {
    buttons_[0]->setEnabled(steps.back);
    buttons_[1]->setEnabled(steps.back);
    buttons_[2]->setEnabled(steps.forward);
    buttons_[3]->setEnabled(steps.forward);
}

void Form6::setLoopCaption(bool loop) { buttons_[5]->setText(loop ? QStringLiteral("連続") : QStringLiteral("１回")); }

void Form6::CheckViewMenu() {
    setPageButtons(shell::pageSteps(img_->bitmapListIndex(), img_->bitmapListCount()));
    if (isVisible()) repaint();
}

}  // namespace qova::animation
