// Placeholders until the hand-written readers land.
#include "../codes.h"
#include "codec.h"

namespace qova::engine {
int16_t decodePsd(ByteSpan, const DecodeOptions&, Document&) { return kErrSubtype; }
int16_t decodeMsp(ByteSpan, const DecodeOptions&, Document&) { return kErrSubtype; }
int16_t decodeGemImg(ByteSpan, const DecodeOptions&, Document&) { return kErrSubtype; }
int16_t encodeMsp(const Bitmap&, const std::string&, const EncodeOptions&) { return kErrBadFormat; }
int16_t encodeGemImg(const Bitmap&, const std::string&, const EncodeOptions&) { return kErrBadFormat; }
}  // namespace qova::engine
