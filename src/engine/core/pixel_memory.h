// Large pixel buffers freed lately are kept for reuse by bitmaps whose
// creator writes every byte (bounded; see bitmap.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

namespace qova::engine {
class Bitmap;
}

namespace qova::engine::pixel_memory {

// An uninitialised bitmap like Bitmap::create, for a caller that writes every
// byte of it before anyone reads it: it may get a freed bitmap's memory,
// already faulted in, instead of a mapping fresh from the kernel.
Bitmap createForRewrite(int width, int height, int bpp, bool grey = false, int16_t* code = nullptr);

// What the kept buffers hold now, and a way to hand them back to the system.
size_t keptBytes();
void releaseKept();

}  // namespace qova::engine::pixel_memory
