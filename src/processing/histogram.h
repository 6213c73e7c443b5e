// The Histogram dialog: the intensity histogram of the picture shown in
// Img1 as 256 vertical bars (levels 0 to 255), for the whole colour image or
// its red, green or blue channel, with the largest count and its half beside
// the vertical axis. The engine counts; the dialog scales and draws. It
// changes nothing in the picture.
#pragma once

#include <QDialog>
#include <QWidget>

#include <array>
#include <cstdint>

class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace qova::shell {
class ShellContext;
}

namespace qova::processing {

// The drawing area, in the user scale the bars are given in: x from -5
// over a width of 270, y from 0 downwards over a height of 100.
class HistogramPlot : public QWidget {
    Q_OBJECT
public:
    struct Line {
        double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    };
    explicit HistogramPlot(QWidget* parent = nullptr);
    void setScale(double left, double top, double width, double height);
    double scaleHeight() const { return height_; }
    void setScaleHeight(double h) { height_ = h; }
    // The bar of level i (TheLine(i)).
    std::array<Line, 256>& lines() { return lines_; }
    const std::array<Line, 256>& lines() const { return lines_; }
    // Where a point of the user scale lands in the widget.
    QPointF toWidget(double x, double y) const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    double left_ = 0, top_ = 0, width_ = 1, height_ = 1;
    std::array<Line, 256> lines_{};
};

class Histogram : public QDialog {
    Q_OBJECT
public:
    // Loads the form: scale, the filter box's one empty entry, centred on
    // the screen, and the histogram of the whole colour image drawn.
    explicit Histogram(shell::ShellContext& ctx);

    void FilterBox_Click();
    void Channel_Click(int index);
    void OK_Click();

    // The largest count of the last drawing.
    int32_t maximum() const { return maximum_; }

    QRadioButton* Channel[4] = {};
    QComboBox* FilterBox = nullptr;
    HistogramPlot* TheHist = nullptr;
    QLabel* YMax = nullptr;
    QLabel* YMaxDiv2 = nullptr;
    QPushButton* OK = nullptr;

private:
    void Form_Load();
    // Draws channel c; any error ends the drawing and the bars stay as they were.
    void draw(int c);
    void placeAxisLabels();

    shell::ShellContext& ctx_;
    int32_t maximum_ = 0;
    QWidget* plotArea_ = nullptr;
    QLabel* yZero_ = nullptr;
    QLabel* xMarks_[3] = {};
};

}  // namespace qova::processing
