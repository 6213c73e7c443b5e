// Inside the engine control: what its view keeps about the region and the
// floater (image_control_regions.cpp). The region and the floater
// themselves belong to the document; this is how they are shown.
#pragma once

#include <QImage>
#include <QPainterPath>
#include <QPointF>
#include <QPolygonF>
#include <QRectF>

#include <cstdint>

#include "core/bitmap.h"

class QTimer;

namespace qova::engine {

struct RegionView {
    int trackingShape = 0;   // 104
    int frameStyle = 0;      // 105
    bool floaterVisible = false;
    QRectF floaterRect;      // viewport pixels

    // A tracking drag in progress (viewport pixels).
    bool tracking = false;
    int trackShape = 0;
    QPointF trackStart;
    QPointF trackEnd;
    QPolygonF trackPoints;   // freehand
    QRectF trackShown;       // what the rubber band covered at the last paint request

    // The region's outline in bitmap pixels, made for one region revision.
    QPainterPath outline;
    uint64_t outlineRevision = ~uint64_t(0);
    QRect outlineShown;      // viewport rectangle last asked to repaint for it

    // The floater as painted: premultiplied, transparent outside its shape,
    // at the display size; made again when the floater or the size changes.
    QImage floaterImage;
    Bitmap floaterSource;
    QSize floaterImageSize;

    QTimer* ants = nullptr;
    int antsOffset = 0;
    uint64_t pictureId = 0;
};

}  // namespace qova::engine
