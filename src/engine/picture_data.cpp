#include "picture_data.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

#include <new>

#include "core/codes.h"
#include "core/document.h"
#include "core/formats/formats.h"

namespace qova::engine {

// The engine's encoders write files: the bytes pass through a private
// temporary file (a few milliseconds for a photo, next to an encode of tens).
// Decoding reads the bytes where they are.

int16_t encodePicture(const ImageDocument& doc, int format, int bpp, int quality, QByteArray& out) {
    if (doc.isEmpty()) return kErrBadHandle;
    QTemporaryFile tmp(QDir::tempPath() + QStringLiteral("/qova-picture-XXXXXX"));
    if (!tmp.open()) return kErrWrite;
    tmp.close();
    SaveRequest req;
    req.path = QFile::encodeName(tmp.fileName()).toStdString();
    req.format = format;
    req.bpp = bpp;
    req.quality = quality;
    const int16_t code = doc.save(req);
    if (code != kOk) return code;
    // The save renamed a new file over the temporary one: read it by name.
    QFile written(tmp.fileName());
    if (!written.open(QIODevice::ReadOnly)) return kErrRead;
    try {
        QByteArray bytes = written.readAll();
        if (bytes.isEmpty()) return kErrRead;
        out = std::move(bytes);
    } catch (const std::bad_alloc&) {
        return kErrNoMemory;
    }
    return kOk;
}

int16_t decodePicture(const QByteArray& bytes, Document& out) {
    if (bytes.isEmpty()) return kErrRead;
    LoadRequest req;
    // Whatever a database holds, showing a record never starts an outside
    // program (a PostScript picture would).
    req.runPrograms = false;
    return loadBytes(ByteSpan{reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())}, req, out);
}

}  // namespace qova::engine
