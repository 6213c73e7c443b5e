// A bitmap store that is never shown: the program's hidden engine controls
// (saved background, scratch, undo, backups) are documents without a view.
// It is a QObject only so that it carries the control's name ("Img4") like
// every other control of the window.
#pragma once

#include <QObject>
#include <QString>

#include "core/document.h"

namespace qova::engine {

class ImageStore : public QObject, public ImageDocument {
    Q_OBJECT
public:
    explicit ImageStore(const QString& name, QObject* parent = nullptr) : QObject(parent) { setObjectName(name); }

    using ImageDocument::load;
    using ImageDocument::setImageSource;
    int16_t load(const QString& path, int bpp, int page, int pageCount) {
        return ImageDocument::load(path.toStdString(), bpp, page, pageCount);
    }
    void setImageSource(const QString& path) { ImageDocument::setImageSource(path.toStdString()); }
};

}  // namespace qova::engine
