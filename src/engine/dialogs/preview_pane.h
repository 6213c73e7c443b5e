// The live preview of the parameter dialogs: the picture the dialog was
// given, with the dialog's operation applied to a small copy of it, so the
// result follows each change of a value at once even on a very large photo.
//
// Two ways of looking: the whole picture reduced to the pane (exact for
// operations on one pixel at a time), or a part of it at its own size
// ("等倍"), which is what neighbourhood filters, noise and halftone dots
// look like in the result; that part is moved by dragging.
#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>

#include <cstdint>
#include <functional>

#include "engine/core/bitmap.h"

namespace qova::engine {

class PreviewPane : public QWidget {
    Q_OBJECT
public:
    using Operation = std::function<int16_t(Bitmap&)>;
    // The pane's size in pixels.
    static constexpr int kWidth = 360;
    static constexpr int kHeight = 270;

    // `picture` may be empty: the pane then shows nothing.
    PreviewPane(const Bitmap& picture, bool actualSize, QWidget* parent = nullptr);

    // The operation the preview shows; refresh() after its values changed.
    void setOperation(Operation op);
    // Asks for a new preview; several requests before the event loop runs
    // again make one computation, so a dragged slider never queues work.
    void refresh();
    // Computes the preview now (tests and benchmarks).
    void updateNow();
    bool pending() const { return pending_; }

    // Shows the picture as it is (off) or with the operation (on).
    void setApplied(bool on);
    bool applied() const { return applied_; }
    // Whole picture reduced (false) or a part at its own size (true). Has no
    // effect when the whole picture fits the pane.
    void setActualSize(bool on);
    bool actualSize() const { return actualSize_; }
    bool pictureFits() const;
    // Moves the part shown at its own size by (dx, dy) picture pixels.
    void pan(int dx, int dy);

    // The copy the operation runs on, and what the pane shows now.
    const Bitmap& sample() const { return sample_; }
    const QImage& shown() const { return shown_; }
    // The operation's code at the last update (0 before any).
    int16_t lastCode() const { return lastCode_; }

    QSize sizeHint() const override { return QSize(kWidth + 2, kHeight + 2); }

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;

private:
    void makeSample();
    void updateCursor();

    Bitmap picture_;
    Bitmap sample_;        // reduced copy, or the part with a margin around it
    QRect inner_;          // the part of sample_ the pane shows
    QImage shown_;
    Operation op_;
    QPoint centre_;        // centre of the part shown at its own size, picture pixels
    QPoint dragFrom_;
    bool actualSize_ = false;
    bool applied_ = true;
    bool pending_ = false;
    int16_t lastCode_ = 0;
};

}  // namespace qova::engine
