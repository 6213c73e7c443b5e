#include "files/form4.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QScreen>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "engine/image_control.h"
#include "shell/trap.h"

namespace qova::files {

int16_t& CopyResult::confirmed() {
    static int16_t v = 0;
    return v;
}

QString& CopyResult::name() {
    static QString v;
    return v;
}

Form4::Form4(QWidget* parent) : QDialog(parent) {
    setObjectName("Form4");
    setWindowTitle("同名のファイルがあります。コピーしますか？");
    Text1 = new QLineEdit(this);
    Text1->setObjectName("Text1");
    Img1 = new engine::ImageControl(this);
    Img1->setObjectName("Img1");
    Img1->setMinimumSize(320, 240);
    Img1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Img1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Command1 = new QPushButton("OK", this);
    Command1->setObjectName("Command1");
    auto* row = new QHBoxLayout;
    row->addWidget(Text1, 1);
    row->addWidget(Command1);
    auto* v = new QVBoxLayout(this);
    v->addWidget(Img1, 1);
    v->addLayout(row);
    shell::connectTrapped(Command1, &QPushButton::clicked, this, [this](bool) { Command1_Click(); });
    CopyResult::confirmed() = 0;
    CopyResult::name().clear();
}

Form4::~Form4() = default;

void Form4::Command1_Click() {
    CopyResult::confirmed() = -1;
    CopyResult::name() = Text1->text();
    Img1->setImageSource("");
    accept();
}

void Form4::placeBesideQuestion(QWidget* owner) {
    // A question box is at most about this wide, centred on its owner.
    constexpr int kHalfQuestion = 240;
    const QWidget* top = owner ? owner->window() : nullptr;
    const QScreen* screen = top && top->screen() ? top->screen() : QGuiApplication::primaryScreen();
    const QRect avail = screen ? screen->availableGeometry() : QRect(0, 0, 1920, 1080);
    const QPoint centre = top ? top->frameGeometry().center() : avail.center();
    const QSize size = frameGeometry().size().expandedTo(sizeHint());
    int x = centre.x() - kHalfQuestion - size.width();
    // No room on the left: the right side.
    if (x < avail.left()) x = centre.x() + kHalfQuestion;
    const int y = std::clamp(centre.y() - size.height() / 2, avail.top(), std::max(avail.top(), avail.bottom() - size.height()));
    move(x, y);
}

void Form4::showPreview(const QString& path) {
    Img1->setPreLoad(true);
    if (Img1->load(path, 0, 0, -1) != 0) return;
    // Fit by the display rectangles, keeping proportions (single precision as the rule says).
    float W = float(std::lround(Img1->controlWidthPx())), H = float(std::lround(Img1->controlHeightPx()));
    const float bw = float(Img1->bitmapWidth()), bh = float(Img1->bitmapHeight());
    if (bw < bh * W / H) W = std::nearbyint(bw * H / bh);
    else H = std::nearbyint(bh * W / bw);
    Img1->setDisplayRect(0, 0, W, H);
    Img1->setDisplayClipRect(0, 0, W, H);
}

}  // namespace qova::files
