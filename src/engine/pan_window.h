// The engine's pan window: a small window showing the whole picture of a
// control with a frame around the part the control shows; dragging the
// frame scrolls the control.
#pragma once

#include <QImage>
#include <QWidget>

namespace qova::engine {

class ImageControl;

class PanWindow : public QWidget {
    Q_OBJECT
public:
    explicit PanWindow(ImageControl* control);
    // Re-reads the picture (after a load or an edit) or just the frame.
    void pictureChanged();
    void viewChanged();
    // The picture's place inside the window (for tests).
    QRectF pictureRect() const;
    QRectF frameRect() const;

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;

private:
    void moveFrameTo(QPointF windowPos);
    ImageControl* control_;
    QImage picture_;
    bool pictureValid_ = false;
    bool dragging_ = false;
    QPointF grab_;  // where inside the frame the drag started
};

}  // namespace qova::engine
