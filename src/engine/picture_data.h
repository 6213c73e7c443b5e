// Pictures kept as bytes instead of files: the value of a database field
// the picture control is bound to. Encoding and decoding go through the
// engine's own save and load, so a stored picture is exactly the file the
// save would have written.
#pragma once

#include <QByteArray>

#include <cstdint>

namespace qova::engine {

class ImageDocument;
struct Document;

// The page shown of `doc` encoded as `format` at `bpp` bits with the quality
// factor `quality`. Returns the engine code; `out` is filled only on kOk.
int16_t encodePicture(const ImageDocument& doc, int format, int bpp, int quality, QByteArray& out);

// Decodes bytes made by encodePicture (or any image file's bytes): every
// page, each at its own depth. On failure `out` is left as it was. Safe to
// call from a worker thread.
int16_t decodePicture(const QByteArray& bytes, Document& out);

}  // namespace qova::engine
