// Runs of pixels at memory speed where the processor has byte permutes
// (AVX-512 VBMI: a 256-entry table is four registers, and 64 colour pixels
// split into planes in nine instructions), one pixel at a time elsewhere.
// Internal to ops/.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qova::engine::ops {

// d[i] = lut[s[i]] for n bytes. With keepEveryFourth, bytes 3, 7, 11, ... of
// the run (alpha of 32-bit pixels starting at s) are copied unchanged.
// s and d may be the same.
void lutBytes(const uint8_t* s, uint8_t* d, size_t n, const uint8_t* lut, bool keepEveryFourth = false);

// Luminance (luma() of bitmap.h, exactly) of n pixels of 24 bits.
void lumaRun24(const uint8_t* s, int n, uint8_t* out);

// Saturation scaled by k/256 about each pixel's luminance (as the saturation
// operation): the first pixels of a 24-bit run, 64 at a time; returns how
// many it did (0 where the processor cannot), the caller does the rest.
int saturationRun24(const uint8_t* s, uint8_t* d, int n, int k);

// Intensity detection: 255 in all three channels where the luminance lies in
// [low, high], else 0, for the first pixels of a 24-bit run, 64 at a time;
// returns how many it did.
int detectRun24(const uint8_t* s, uint8_t* d, int n, int low, int high);

// Box reduction by 2^k (k 1..3) of 24-bit rows: rows[0..2^k) are the source
// rows of one output row; each output pixel's channel is the rounded mean
// (sum + 2^(2k-1)) >> 2k of its 2^k × 2^k source pixels, written as planes.
// Works the first source pixels of the n, 64 at a time, and returns how many
// (0 where the processor cannot); output pixel j goes to out*[j].
int boxRow24(const uint8_t* const* rows, int k, int n, uint8_t* outB, uint8_t* outG, uint8_t* outR);

// The hue rotation of the hue operation (shiftUnits in 1/256 of a sixth of
// the colour circle, 0..1535): the first pixels of a 24-bit run, 64 at a
// time; returns how many it did (0 where the processor cannot).
int hueRun24(const uint8_t* s, uint8_t* d, int n, int shiftUnits);

// Noise offsets in −span..span (span 1..255) of n pixels starting at x0 of
// a row whose key mixes the seed and the row: uniform to within 1/65536, from
// one 32-bit hash of (x / 2, key) for each pair of pixels.
void noiseRun(uint32_t key, int span, int x0, int n, int16_t* out);

// noiseRun and addOffsetsRun24 at once, without the offsets going through
// memory: the first pixels of a 24-bit run starting at pixel x0, 64 at a
// time; returns how many it did (0 where it cannot).
int noiseAddRun24(uint32_t key, int span, int x0, const uint8_t* s, uint8_t* d, int n);

// d = s + offset of each pixel on all three channels, clamped to 0..255, for
// the first pixels of a 24-bit run, 64 at a time; returns how many it did.
int addOffsetsRun24(const uint8_t* s, uint8_t* d, const int16_t* offsets, int n);

// n pixels of 24 bits in reverse order: d's first is s's last. s and d
// must not overlap.
void mirrorRun24(const uint8_t* s, uint8_t* d, int n);

// Whether split64/join64 run on this processor (else callers keep their own
// way of reading pixels).
bool havePlanes64();
// 64 pixels of 24 bits (192 bytes) into their blue, green and red planes, and
// back.
void split64(const uint8_t* s, uint8_t* b, uint8_t* g, uint8_t* r);
void join64(const uint8_t* b, const uint8_t* g, const uint8_t* r, uint8_t* d);

}  // namespace qova::engine::ops
