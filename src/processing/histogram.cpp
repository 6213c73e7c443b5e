#include "processing/histogram.h"

#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

#include <cmath>

#include "engine/image_control.h"
#include "shell/context.h"
#include "shell/numbers.h"
#include "shell/trap.h"

namespace qova::processing {

HistogramPlot::HistogramPlot(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TheHist"));
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
}

void HistogramPlot::setScale(double left, double top, double width, double height) {
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    update();
}

QPointF HistogramPlot::toWidget(double x, double y) const {
    return QPointF((x - left_) * width() / width_, (y - top_) * height() / height_);
}

void HistogramPlot::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(QPen(palette().color(QPalette::Mid), 1));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    // One bar per level, as wide as a level is, so the bars touch.
    QPen bar(Qt::black);
    bar.setWidthF(std::ceil(std::max(1.0, width() / width_)));
    bar.setCapStyle(Qt::FlatCap);
    p.setPen(bar);
    for (const Line& l : lines_)
        if (l.y1 != l.y2 || l.x1 != l.x2) p.drawLine(toWidget(l.x1, l.y1), toWidget(l.x2, l.y2));
}

Histogram::Histogram(shell::ShellContext& ctx) : QDialog(ctx.mainWindow()), ctx_(ctx) {
    setObjectName(QStringLiteral("Histogram"));
    setWindowTitle(QStringLiteral("ﾋｽﾄｸﾞﾗﾑ"));

    plotArea_ = new QWidget(this);
    plotArea_->setFixedSize(610, 250);
    TheHist = new HistogramPlot(plotArea_);
    TheHist->setGeometry(70, 8, 530, 212);
    YMax = new QLabel(plotArea_);
    YMax->setObjectName(QStringLiteral("YMax"));
    YMaxDiv2 = new QLabel(plotArea_);
    YMaxDiv2->setObjectName(QStringLiteral("YMaxDiv2"));
    yZero_ = new QLabel(QStringLiteral("0"), plotArea_);
    for (QLabel* l : {YMax, YMaxDiv2, yZero_}) l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    const char* marks[] = {"0", "128", "255"};
    for (int i = 0; i < 3; ++i) {
        xMarks_[i] = new QLabel(QString::fromLatin1(marks[i]), plotArea_);
        xMarks_[i]->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    }

    auto* frame = new QGroupBox(QStringLiteral("ﾁｬﾝﾈﾙ"), this);
    auto* channels = new QVBoxLayout(frame);
    const char* captions[] = {"RGB(&M)", "赤ﾁｬﾝﾈﾙ(&R)", "緑ﾁｬﾝﾈﾙ(&G)", "青ﾁｬﾝﾈﾙ(&B)"};
    for (int i = 0; i < 4; ++i) {
        Channel[i] = new QRadioButton(QString::fromUtf8(captions[i]), frame);
        Channel[i]->setObjectName(QStringLiteral("Channel(%1)").arg(i));
        channels->addWidget(Channel[i]);
        shell::connectTrapped(Channel[i], &QRadioButton::clicked, this, [this, i] { Channel_Click(i); });
    }
    Channel[0]->setChecked(true);

    auto* filterLabel = new QLabel(QStringLiteral("対象ｲﾒｰｼﾞ :"), this);
    FilterBox = new QComboBox(this);
    FilterBox->setObjectName(QStringLiteral("FilterBox"));
    filterLabel->setBuddy(FilterBox);
    OK = new QPushButton(QStringLiteral("OK"), this);
    OK->setObjectName(QStringLiteral("OK"));
    OK->setDefault(true);
    shell::connectTrapped(OK, &QPushButton::clicked, this, [this] { OK_Click(); });

    auto* side = new QVBoxLayout;
    side->addWidget(frame);
    side->addWidget(filterLabel);
    side->addWidget(FilterBox);
    side->addStretch();
    side->addWidget(OK);
    auto* all = new QHBoxLayout(this);
    all->addWidget(plotArea_);
    all->addLayout(side);

    Form_Load();
    shell::connectTrapped(FilterBox, &QComboBox::activated, this, [this] { FilterBox_Click(); });
}

void Histogram::Form_Load() {
    TheHist->setScale(-5, 0, 270, 100);
    placeAxisLabels();
    FilterBox->addItem(QString());
    adjustSize();
    if (const QScreen* s = QGuiApplication::primaryScreen()) {
        const QRect r = s->geometry();
        move(r.x() + (r.width() - width()) / 2, r.y() + (r.height() - height()) / 2);
    }
    FilterBox->setCurrentIndex(0);
    shell::trapped([this] { FilterBox_Click(); });
}

void Histogram::placeAxisLabels() {
    const QPoint at = TheHist->pos();
    auto yLabel = [&](QLabel* l, double y) {
        const int py = at.y() + int(TheHist->toWidget(0, y).y());
        l->setGeometry(0, py - 9, at.x() - 6, 18);
    };
    yLabel(YMax, 2);
    yLabel(YMaxDiv2, 50);
    yLabel(yZero_, 98);
    const int levels[] = {0, 128, 255};
    for (int i = 0; i < 3; ++i) {
        const int px = at.x() + int(TheHist->toWidget(levels[i], 0).x());
        xMarks_[i]->setGeometry(px - 20, at.y() + TheHist->height() + 2, 40, 18);
    }
}

void Histogram::FilterBox_Click() {
    for (int i = 0; i < 4; ++i) {
        if (Channel[i]->isChecked()) {
            draw(i);
            break;
        }
    }
    raise();
    activateWindow();
}

void Histogram::Channel_Click(int index) { draw(index); }

void Histogram::OK_Click() { accept(); }

void Histogram::draw(int c) {
    try {
        engine::ImageControl& img = *ctx_.controls().Img1;
        img.computeHistogram(int16_t(c));
        std::array<int32_t, 256> counts{};
        int32_t maximum = 0;
        for (int i = 0; i < 256; ++i) {
            counts[size_t(i)] = img.histogramCount(int16_t(i));
            if (counts[size_t(i)] > maximum) maximum = counts[size_t(i)];
        }
        // No pixels counted: nothing to scale by, the bars stay as they were.
        if (maximum == 0) return;
        maximum_ = maximum;
        TheHist->setScaleHeight(100);
        const double h = TheHist->scaleHeight();
        for (int i = 0; i < 256; ++i) {
            HistogramPlot::Line& l = TheHist->lines()[size_t(i)];
            l.x1 = i;
            l.x2 = l.x1;
            l.y1 = h - 2;
            l.y2 = l.y1 - (h - 4) * double(counts[size_t(i)]) / double(maximum);
        }
        TheHist->update();
        YMax->setText(shell::numberText(maximum));
        YMaxDiv2->setText(shell::numberText(double(maximum) / 2));
    } catch (...) {
        // No picture to count (or the engine failed): the drawing ends here.
    }
}

}  // namespace qova::processing
