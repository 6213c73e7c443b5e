#include "pixel_runs.h"

#include "../bitmap.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define QOVA_LUT_VBMI 1
#endif

namespace qova::engine::ops {

namespace {

// The noise hash: a multiply-xorshift mix of x · kNoiseX ^ key.
constexpr uint32_t kNoiseX = 0x85EBCA6BU, kMix1 = 0x7feb352dU, kMix2 = 0x846ca68bU;
inline uint32_t noiseHash(uint32_t x, uint32_t key) {
    uint32_t v = (x * kNoiseX) ^ key;
    v ^= v >> 16; v *= kMix1; v ^= v >> 15; v *= kMix2; v ^= v >> 16;
    return v;
}

void lutPlain(const uint8_t* s, uint8_t* d, size_t n, const uint8_t* lut, bool keep) {
    if (!keep) {
        for (size_t i = 0; i < n; ++i) d[i] = lut[s[i]];
        return;
    }
    for (size_t i = 0; i < n; ++i) d[i] = (i & 3) == 3 ? s[i] : lut[s[i]];
}

#ifdef QOVA_LUT_VBMI
#define QOVA_VBMI __attribute__((target("avx512f,avx512bw,avx512vbmi")))
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"  // the vector helpers are never called across builds
// GCC 12 takes the intrinsics' undefined-register starts for uninitialised reads.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

struct Table {
    __m512i t0, t1, t2, t3;
    __mmask64 alpha;
};

// Two two-register permutes look the low seven bits up in the lower and upper
// halves of the table; the top bit picks between them.
QOVA_VBMI inline __attribute__((always_inline)) __m512i look(const Table& t, __m512i v) {
    const __m512i lo = _mm512_permutex2var_epi8(t.t0, v, t.t1);
    const __m512i hi = _mm512_permutex2var_epi8(t.t2, v, t.t3);
    const __m512i r = _mm512_mask_blend_epi8(_mm512_movepi8_mask(v), lo, hi);
    return _mm512_mask_blend_epi8(t.alpha, r, v);
}

QOVA_VBMI void lutVbmi(const uint8_t* s, uint8_t* d, size_t n, const uint8_t* lut, bool keep) {
    Table t;
    t.t0 = _mm512_loadu_si512(lut);
    t.t1 = _mm512_loadu_si512(lut + 64);
    t.t2 = _mm512_loadu_si512(lut + 128);
    t.t3 = _mm512_loadu_si512(lut + 192);
    t.alpha = keep ? 0x8888888888888888ull : 0;
    size_t i = 0;
    for (; i + 128 <= n; i += 128) {
        const __m512i a = _mm512_loadu_si512(s + i), b = _mm512_loadu_si512(s + i + 64);
        _mm512_storeu_si512(d + i, look(t, a));
        _mm512_storeu_si512(d + i + 64, look(t, b));
    }
    for (; i + 64 <= n; i += 64) _mm512_storeu_si512(d + i, look(t, _mm512_loadu_si512(s + i)));
    if (i < n) {
        const __mmask64 m = (~0ull) >> (64 - (n - i));
        _mm512_mask_storeu_epi8(d + i, m, look(t, _mm512_maskz_loadu_epi8(m, s + i)));
    }
}
// Index vectors of the plane split and join, built once.
struct PlaneIndex {
    alignas(64) uint8_t fromAB[3][64];  // plane c: bytes 3j + c of the first 128
    alignas(64) uint8_t fromC[3][64];   // and of the last 64
    uint64_t inC[3];                    // lanes j taking from the last 64
    alignas(64) uint8_t joinBG[3][64];  // output register o: byte i from plane b or g
    alignas(64) uint8_t joinR[3][64];   // or from plane r
    uint64_t isR[3];
    alignas(64) uint8_t mirrorAB[3][64];  // output register o of 64 pixels in reverse order:
    alignas(64) uint8_t mirrorC[3][64];   // bytes from the first 128 or the last 64
    uint64_t mirrorInC[3];
    PlaneIndex() {
        for (int o = 0; o < 3; ++o) {
            mirrorInC[o] = 0;
            for (int i = 0; i < 64; ++i) {
                const int k = 64 * o + i, j = k / 3, c = k % 3, from = 3 * (63 - j) + c;
                mirrorAB[o][i] = uint8_t(from & 127);
                mirrorC[o][i] = uint8_t((from - 128) & 63);
                if (from >= 128) mirrorInC[o] |= 1ull << i;
            }
        }
        for (int c = 0; c < 3; ++c) {
            inC[c] = 0;
            for (int j = 0; j < 64; ++j) {
                const int k = 3 * j + c;
                fromAB[c][j] = uint8_t(k & 127);
                fromC[c][j] = uint8_t((k - 128) & 63);
                if (k >= 128) inC[c] |= 1ull << j;
            }
        }
        for (int o = 0; o < 3; ++o) {
            isR[o] = 0;
            for (int i = 0; i < 64; ++i) {
                const int k = 64 * o + i, j = k / 3, c = k % 3;
                joinBG[o][i] = uint8_t(c == 1 ? 64 + j : j);
                joinR[o][i] = uint8_t(j);
                if (c == 2) isR[o] |= 1ull << i;
            }
        }
    }
};

const PlaneIndex& planeIndex() {
    static const PlaneIndex p;
    return p;
}

// Written out plane by plane: as a loop over the planes GCC keeps the loop and
// takes the registers through memory.
QOVA_VBMI inline __attribute__((always_inline)) __m512i planeOf(const PlaneIndex& p, int c, __m512i a0, __m512i a1,
                                                                __m512i a2) {
    const __m512i ab = _mm512_permutex2var_epi8(a0, _mm512_load_si512(p.fromAB[c]), a1);
    const __m512i cc = _mm512_permutexvar_epi8(_mm512_load_si512(p.fromC[c]), a2);
    return _mm512_mask_blend_epi8(p.inC[c], ab, cc);
}

QOVA_VBMI inline __attribute__((always_inline)) void splitRegs(const uint8_t* s, __m512i& b, __m512i& g, __m512i& r) {
    const PlaneIndex& p = planeIndex();
    const __m512i a0 = _mm512_loadu_si512(s), a1 = _mm512_loadu_si512(s + 64), a2 = _mm512_loadu_si512(s + 128);
    b = planeOf(p, 0, a0, a1, a2);
    g = planeOf(p, 1, a0, a1, a2);
    r = planeOf(p, 2, a0, a1, a2);
}

QOVA_VBMI inline __attribute__((always_inline)) __m512i joinedPart(const PlaneIndex& p, int o, __m512i b, __m512i g,
                                                                   __m512i r) {
    const __m512i bg = _mm512_permutex2var_epi8(b, _mm512_load_si512(p.joinBG[o]), g);
    const __m512i rr = _mm512_permutexvar_epi8(_mm512_load_si512(p.joinR[o]), r);
    return _mm512_mask_blend_epi8(p.isR[o], bg, rr);
}

// The three planes of 64 pixels back into 192 bytes of pixels.
QOVA_VBMI inline __attribute__((always_inline)) void joinRegs(__m512i b, __m512i g, __m512i r, uint8_t* d) {
    const PlaneIndex& p = planeIndex();
    _mm512_storeu_si512(d, joinedPart(p, 0, b, g, r));
    _mm512_storeu_si512(d + 64, joinedPart(p, 1, b, g, r));
    _mm512_storeu_si512(d + 128, joinedPart(p, 2, b, g, r));
}

QOVA_VBMI void split64Vbmi(const uint8_t* s, uint8_t* b, uint8_t* g, uint8_t* r) {
    __m512i vb, vg, vr;
    splitRegs(s, vb, vg, vr);
    _mm512_storeu_si512(b, vb);
    _mm512_storeu_si512(g, vg);
    _mm512_storeu_si512(r, vr);
}

QOVA_VBMI void join64Vbmi(const uint8_t* b, const uint8_t* g, const uint8_t* r, uint8_t* d) {
    joinRegs(_mm512_loadu_si512(b), _mm512_loadu_si512(g), _mm512_loadu_si512(r), d);
}

// (77 r + 150 g + 29 b + 128) >> 8 of 32 pixels in 16-bit lanes; the sum
// stays below 65536.
QOVA_VBMI inline __attribute__((always_inline)) __m512i lumaHalf(__m256i b, __m256i g, __m256i r) {
    const __m512i sum = _mm512_add_epi16(
        _mm512_add_epi16(_mm512_mullo_epi16(_mm512_cvtepu8_epi16(r), _mm512_set1_epi16(kLumaR)),
                         _mm512_mullo_epi16(_mm512_cvtepu8_epi16(g), _mm512_set1_epi16(kLumaG))),
        _mm512_add_epi16(_mm512_mullo_epi16(_mm512_cvtepu8_epi16(b), _mm512_set1_epi16(kLumaB)),
                         _mm512_set1_epi16(128)));
    return _mm512_srli_epi16(sum, 8);
}

QOVA_VBMI int lumaVbmi(const uint8_t* s, int n, uint8_t* out) {
    int x = 0;
    for (; x + 64 <= n; x += 64) {
        __m512i b, g, r;
        splitRegs(s + size_t(x) * 3, b, g, r);
        const __m512i lo = lumaHalf(_mm512_castsi512_si256(b), _mm512_castsi512_si256(g), _mm512_castsi512_si256(r));
        const __m512i hi = lumaHalf(_mm512_extracti64x4_epi64(b, 1), _mm512_extracti64x4_epi64(g, 1),
                                    _mm512_extracti64x4_epi64(r, 1));
        const __m512i l = _mm512_inserti64x4(_mm512_castsi256_si512(_mm512_cvtepi16_epi8(lo)),
                                             _mm512_cvtepi16_epi8(hi), 1);
        _mm512_storeu_si512(out + x, l);
    }
    return x;
}

// l + ((c − l) · k >> 8) clamped to 0..255, for 32 lanes of one channel:
// (c − l) · 128 and k · 2 both fit 16 bits, and the high half of their
// product is exactly (c − l) · k >> 8.
QOVA_VBMI inline __attribute__((always_inline)) __m512i saturateHalf(__m512i c, __m512i l, __m512i k2) {
    const __m512i t = _mm512_mulhi_epi16(_mm512_slli_epi16(_mm512_sub_epi16(c, l), 7), k2);
    return _mm512_add_epi16(l, t);
}

// One channel of 64 pixels (two halves) saturated about their luminances.
// Signed 16 to unsigned 8 with saturation: packus works within 128-bit lanes,
// so the halves are put back in order after.
QOVA_VBMI inline __attribute__((always_inline)) __m512i saturatedPlane(__m256i c0, __m256i c1, __m512i l0, __m512i l1,
                                                                       __m512i k2, __m512i order) {
    return _mm512_permutexvar_epi64(order, _mm512_packus_epi16(saturateHalf(_mm512_cvtepu8_epi16(c0), l0, k2),
                                                               saturateHalf(_mm512_cvtepu8_epi16(c1), l1, k2)));
}

QOVA_VBMI int saturationVbmi(const uint8_t* s, uint8_t* d, int n, int k) {
    const __m512i k2 = _mm512_set1_epi16(int16_t(k * 2));
    const __m512i order = _mm512_setr_epi64(0, 2, 4, 6, 1, 3, 5, 7);
    int x = 0;
    for (; x + 64 <= n; x += 64) {
        __m512i b, g, r;
        splitRegs(s + size_t(x) * 3, b, g, r);
        const __m256i b0 = _mm512_castsi512_si256(b), g0 = _mm512_castsi512_si256(g), r0 = _mm512_castsi512_si256(r);
        const __m256i b1 = _mm512_extracti64x4_epi64(b, 1), g1 = _mm512_extracti64x4_epi64(g, 1),
                      r1 = _mm512_extracti64x4_epi64(r, 1);
        const __m512i l0 = lumaHalf(b0, g0, r0), l1 = lumaHalf(b1, g1, r1);
        joinRegs(saturatedPlane(b0, b1, l0, l1, k2, order), saturatedPlane(g0, g1, l0, l1, k2, order),
                 saturatedPlane(r0, r1, l0, l1, k2, order), d + size_t(x) * 3);
    }
    return x;
}

// The three planes of 64 pixels back into 192 bytes of pixels.
// A 256-entry byte table looked up for 64 indices (the top bit picks the half).
QOVA_VBMI inline __attribute__((always_inline)) __m512i look256(const __m512i* t, __m512i idx) {
    const __m512i lo = _mm512_permutex2var_epi8(t[0], idx, t[1]);
    const __m512i hi = _mm512_permutex2var_epi8(t[2], idx, t[3]);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(idx), lo, hi);
}

// Reciprocals of the chroma for the hue's division: floor(65536 / c) (65535
// for 1), as low and high bytes.
struct HueTables {
    alignas(64) uint8_t low[256], high[256];
    HueTables() {
        for (int c = 0; c < 256; ++c) {
            const int r = c == 0 ? 0 : c == 1 ? 65535 : 65536 / c;
            low[c] = uint8_t(r & 255);
            high[c] = uint8_t(r >> 8);
        }
    }
};

// 32 lanes of the hue's 16-bit part: from the middle's distance d16, the
// chroma c16, its reciprocal r16 and the order byte o16 (start sector, top
// bit when running down), the turned hue's sector and the new middle level's
// distance t = (c · fraction + 128) >> 8.
QOVA_VBMI inline __attribute__((always_inline)) void hueFraction(__m512i d16, __m512i c16, __m512i r16, __m512i o16,
                                                                 int shiftUnits, __m512i& t, __m512i& sector) {
    const __m512i zero = _mm512_setzero_si512(), full = _mm512_set1_epi16(6 * 256);
    const __m512i a = _mm512_slli_epi16(d16, 8);
    __m512i q = _mm512_mulhi_epu16(a, r16);  // floor(256 d / c) or one less
    const __m512i rem = _mm512_sub_epi16(a, _mm512_mullo_epi16(q, c16));
    q = _mm512_mask_add_epi16(q, _mm512_cmpge_epu16_mask(rem, c16), q, _mm512_set1_epi16(1));
    q = _mm512_mask_sub_epi16(q, _mm512_test_epi16_mask(o16, _mm512_set1_epi16(0x80)), zero, q);
    const __m512i start = _mm512_slli_epi16(_mm512_and_si512(o16, _mm512_set1_epi16(7)), 8);
    __m512i hue = _mm512_add_epi16(_mm512_add_epi16(start, _mm512_set1_epi16(int16_t(shiftUnits))), q);
    hue = _mm512_mask_add_epi16(hue, _mm512_cmplt_epi16_mask(hue, zero), hue, full);
    hue = _mm512_mask_sub_epi16(hue, _mm512_cmpge_epi16_mask(hue, full), hue, full);
    sector = _mm512_srli_epi16(hue, 8);
    t = _mm512_srli_epi16(
        _mm512_add_epi16(_mm512_mullo_epi16(c16, _mm512_and_si512(hue, _mm512_set1_epi16(255))), _mm512_set1_epi16(128)), 8);
}

// The hue rotation of tone.cpp, 64 pixels at a time. Most of it works on
// bytes: the largest, smallest and middle levels (the middle one is what is
// left of r ^ g ^ b), the chroma c, the middle's distance d above the smallest,
// and which of the six orders the pixel is in. The hue's fraction
// q = 256 d / c (d <= c) comes from a table reciprocal and one correction in
// 16-bit lanes, whose order (unpacked within 128-bit lanes) the final packs
// undo; the new middle level and the order of the turned hue go back to bytes.
QOVA_VBMI int hueVbmi(const uint8_t* s, uint8_t* d, int n, int shiftUnits) {
    static const HueTables tables;
    const __m512i low[4] = {_mm512_load_si512(tables.low), _mm512_load_si512(tables.low + 64),
                            _mm512_load_si512(tables.low + 128), _mm512_load_si512(tables.low + 192)};
    const __m512i high[4] = {_mm512_load_si512(tables.high), _mm512_load_si512(tables.high + 64),
                             _mm512_load_si512(tables.high + 128), _mm512_load_si512(tables.high + 192)};
    const __m512i zero = _mm512_setzero_si512(), one8 = _mm512_set1_epi8(1);
    int x = 0;
    for (; x + 64 <= n; x += 64) {
        __m512i b, g, r;
        splitRegs(s + size_t(x) * 3, b, g, r);
        const __m512i mx = _mm512_max_epu8(_mm512_max_epu8(r, g), b);
        const __m512i mn = _mm512_min_epu8(_mm512_min_epu8(r, g), b);
        const __m512i c = _mm512_sub_epi8(mx, mn);
        const __m512i mid = _mm512_ternarylogic_epi32(_mm512_ternarylogic_epi32(r, g, b, 0x96), mx, mn, 0x96);
        const __m512i dist = _mm512_sub_epi8(mid, mn);
        const __mmask64 isR = _mm512_cmpeq_epi8_mask(mx, r);
        const __mmask64 isG = _mm512_cmpeq_epi8_mask(mx, g) & ~isR;
        const __mmask64 isB = ~(isR | isG);
        // The hue runs down from its sector's start (red: from the wrap).
        const __mmask64 neg = (isR & _mm512_cmplt_epu8_mask(g, b)) | (isG & _mm512_cmplt_epu8_mask(b, r)) |
                              (isB & _mm512_cmplt_epu8_mask(r, g));
        // Start sector (0, 2 or 4) with the direction in the top bit.
        __m512i order = _mm512_mask_mov_epi8(_mm512_set1_epi8(4), isG, _mm512_set1_epi8(2));
        order = _mm512_mask_mov_epi8(order, isR, zero);
        order = _mm512_mask_mov_epi8(order, neg, _mm512_or_si512(order, _mm512_set1_epi8(char(0x80))));
        const __m512i recipLow = look256(low, c), recipHigh = look256(high, c);
        __m512i t0, t1, sector0, sector1;
        hueFraction(_mm512_unpacklo_epi8(dist, zero), _mm512_unpacklo_epi8(c, zero),
                    _mm512_unpacklo_epi8(recipLow, recipHigh), _mm512_unpacklo_epi8(order, zero), shiftUnits, t0, sector0);
        hueFraction(_mm512_unpackhi_epi8(dist, zero), _mm512_unpackhi_epi8(c, zero),
                    _mm512_unpackhi_epi8(recipLow, recipHigh), _mm512_unpackhi_epi8(order, zero), shiftUnits, t1, sector1);
        const __m512i tb = _mm512_packus_epi16(t0, t1), sec = _mm512_packus_epi16(sector0, sector1);
        // The new middle level: rising in even sectors, falling in odd ones.
        const __m512i newMid = _mm512_mask_blend_epi8(_mm512_test_epi8_mask(sec, one8), _mm512_add_epi8(mn, tb),
                                                      _mm512_sub_epi8(mx, tb));
        const __mmask64 e0 = _mm512_cmpeq_epi8_mask(sec, zero), e1 = _mm512_cmpeq_epi8_mask(sec, one8),
                        e2 = _mm512_cmpeq_epi8_mask(sec, _mm512_set1_epi8(2)),
                        e3 = _mm512_cmpeq_epi8_mask(sec, _mm512_set1_epi8(3)),
                        e4 = _mm512_cmpeq_epi8_mask(sec, _mm512_set1_epi8(4)),
                        e5 = _mm512_cmpeq_epi8_mask(sec, _mm512_set1_epi8(5));
        const __mmask64 colour = _mm512_test_epi8_mask(c, c);  // grey pixels stay as they are
        // Sector:      0     1     2     3     4     5
        // red          mx    mid   mn    mn    mid   mx
        // green        mid   mx    mx    mid   mn    mn
        // blue         mn    mn    mid   mx    mx    mid
        const __m512i nr = _mm512_mask_mov_epi8(_mm512_mask_mov_epi8(mx, e1 | e4, newMid), e2 | e3, mn);
        const __m512i ng = _mm512_mask_mov_epi8(_mm512_mask_mov_epi8(mn, e0 | e3, newMid), e1 | e2, mx);
        const __m512i nb = _mm512_mask_mov_epi8(_mm512_mask_mov_epi8(mx, e0 | e1, mn), e2 | e5, newMid);
        joinRegs(_mm512_mask_mov_epi8(b, colour, nb), _mm512_mask_mov_epi8(g, colour, ng),
                 _mm512_mask_mov_epi8(r, colour, nr), d + size_t(x) * 3);
    }
    return x;
}

// 32 offsets from 16 hashes: pixel 2p takes the low half of hash(p), pixel
// 2p + 1 the high half, each scaled to the range as (u16 · n) >> 16.
struct NoiseConsts {
    __m512i k1, key, m1, m2, n, span;
};

QOVA_VBMI inline __attribute__((always_inline)) NoiseConsts noiseConsts(uint32_t key, uint32_t n, int span) {
    return NoiseConsts{_mm512_set1_epi32(int(kNoiseX)), _mm512_set1_epi32(int(key)),  _mm512_set1_epi32(int(kMix1)),
                       _mm512_set1_epi32(int(kMix2)),   _mm512_set1_epi16(int16_t(n)), _mm512_set1_epi16(int16_t(span))};
}

QOVA_VBMI inline __attribute__((always_inline)) __m512i noiseBlock(__m512i pairs, const NoiseConsts& k) {
    __m512i v = _mm512_xor_si512(_mm512_mullo_epi32(pairs, k.k1), k.key);
    v = _mm512_xor_si512(v, _mm512_srli_epi32(v, 16));
    v = _mm512_mullo_epi32(v, k.m1);
    v = _mm512_xor_si512(v, _mm512_srli_epi32(v, 15));
    v = _mm512_mullo_epi32(v, k.m2);
    v = _mm512_xor_si512(v, _mm512_srli_epi32(v, 16));
    return _mm512_sub_epi16(_mm512_mulhi_epu16(v, k.n), k.span);
}

QOVA_VBMI inline __attribute__((always_inline)) __m512i pairIndex(uint32_t pair0) {
    return _mm512_add_epi32(_mm512_set1_epi32(int(pair0)),
                            _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15));
}

QOVA_VBMI int noiseVbmi(uint32_t key, uint32_t n, int span, uint32_t pair0, int count, int16_t* out) {
    const NoiseConsts k = noiseConsts(key, n, span);
    __m512i ps = pairIndex(pair0);
    const __m512i step = _mm512_set1_epi32(16);
    int i = 0;
    for (; i + 32 <= count; i += 32, ps = _mm512_add_epi32(ps, step)) _mm512_storeu_si512(out + i, noiseBlock(ps, k));
    return i;
}

// Offsets as saturating byte arithmetic on the pixels as they lie: each
// offset splits into its rise and fall (one of them 0), both spread to the
// three bytes of its pixel, and s + rise − fall saturated is the clamped sum.
struct OffsetIndex {
    __m512i order, spread0, spread1, spread2;
};

QOVA_VBMI inline __attribute__((always_inline)) OffsetIndex offsetIndex() {
    const PlaneIndex& p = planeIndex();
    return OffsetIndex{_mm512_setr_epi64(0, 2, 4, 6, 1, 3, 5, 7), _mm512_load_si512(p.joinR[0]),
                       _mm512_load_si512(p.joinR[1]), _mm512_load_si512(p.joinR[2])};
}

QOVA_VBMI inline __attribute__((always_inline)) void addOffsets64(const uint8_t* from, uint8_t* to, __m512i o0, __m512i o1,
                                                                  const OffsetIndex& ix) {
    const __m512i zero = _mm512_setzero_si512();
    const __m512i rise = _mm512_permutexvar_epi64(
        ix.order, _mm512_packus_epi16(_mm512_max_epi16(o0, zero), _mm512_max_epi16(o1, zero)));
    const __m512i fall = _mm512_permutexvar_epi64(
        ix.order, _mm512_packus_epi16(_mm512_sub_epi16(zero, _mm512_min_epi16(o0, zero)),
                                      _mm512_sub_epi16(zero, _mm512_min_epi16(o1, zero))));
    const __m512i v0 = _mm512_loadu_si512(from), v1 = _mm512_loadu_si512(from + 64), v2 = _mm512_loadu_si512(from + 128);
    _mm512_storeu_si512(to, _mm512_subs_epu8(_mm512_adds_epu8(v0, _mm512_permutexvar_epi8(ix.spread0, rise)),
                                             _mm512_permutexvar_epi8(ix.spread0, fall)));
    _mm512_storeu_si512(to + 64, _mm512_subs_epu8(_mm512_adds_epu8(v1, _mm512_permutexvar_epi8(ix.spread1, rise)),
                                                  _mm512_permutexvar_epi8(ix.spread1, fall)));
    _mm512_storeu_si512(to + 128, _mm512_subs_epu8(_mm512_adds_epu8(v2, _mm512_permutexvar_epi8(ix.spread2, rise)),
                                                   _mm512_permutexvar_epi8(ix.spread2, fall)));
}

// Offsets as saturating byte arithmetic on the pixels as they lie: each
// offset splits into its rise and fall (one of them 0), both spread to the
// three bytes of its pixel, and s + rise − fall saturated is the clamped sum.
QOVA_VBMI int addOffsetsVbmi(const uint8_t* s, uint8_t* d, const int16_t* offsets, int n) {
    const OffsetIndex ix = offsetIndex();
    int x = 0;
    for (; x + 64 <= n; x += 64)
        addOffsets64(s + size_t(x) * 3, d + size_t(x) * 3, _mm512_loadu_si512(offsets + x),
                     _mm512_loadu_si512(offsets + x + 32), ix);
    return x;
}

// The same with the offsets made in registers as they are needed.
QOVA_VBMI int noiseAddVbmi(uint32_t key, uint32_t n, int span, uint32_t pair0, const uint8_t* s, uint8_t* d, int count) {
    const OffsetIndex ix = offsetIndex();
    const NoiseConsts k = noiseConsts(key, n, span);
    __m512i ps = pairIndex(pair0);
    const __m512i step = _mm512_set1_epi32(16);
    int x = 0;
    for (; x + 64 <= count; x += 64) {
        const __m512i o0 = noiseBlock(ps, k);
        ps = _mm512_add_epi32(ps, step);
        const __m512i o1 = noiseBlock(ps, k);
        ps = _mm512_add_epi32(ps, step);
        addOffsets64(s + size_t(x) * 3, d + size_t(x) * 3, o0, o1, ix);
    }
    return x;
}

QOVA_VBMI int detectVbmi(const uint8_t* s, uint8_t* d, int n, int low, int high) {
    const __m512i lo = _mm512_set1_epi8(char(low)), hi = _mm512_set1_epi8(char(high)), ones = _mm512_set1_epi8(-1);
    int x = 0;
    for (; x + 64 <= n; x += 64) {
        __m512i b, g, r;
        splitRegs(s + size_t(x) * 3, b, g, r);
        const __m512i l0 = lumaHalf(_mm512_castsi512_si256(b), _mm512_castsi512_si256(g), _mm512_castsi512_si256(r));
        const __m512i l1 = lumaHalf(_mm512_extracti64x4_epi64(b, 1), _mm512_extracti64x4_epi64(g, 1),
                                    _mm512_extracti64x4_epi64(r, 1));
        const __m512i l = _mm512_inserti64x4(_mm512_castsi256_si512(_mm512_cvtepi16_epi8(l0)), _mm512_cvtepi16_epi8(l1), 1);
        const __mmask64 in = _mm512_cmpge_epu8_mask(l, lo) & _mm512_cmple_epu8_mask(l, hi);
        const __m512i v = _mm512_maskz_mov_epi8(in, ones);
        joinRegs(v, v, v, d + size_t(x) * 3);
    }
    return x;
}

// Box sums of one plane's 64 pixels (lo: pixels 0..31, hi: 32..63, each a
// sum of `rows` rows) over groups of 2^k neighbours, rounded and scaled back
// to bytes: 64 >> k bytes stored at out.
QOVA_VBMI inline __attribute__((always_inline)) void boxPlane(__m512i lo, __m512i hi, int k, uint8_t* out) {
    const __m512i ones = _mm512_set1_epi16(1);
    __m512i a = _mm512_madd_epi16(lo, ones), b = _mm512_madd_epi16(hi, ones);  // pairs: 16 + 16 sums
    const __m512i evens = _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30);
    const __m512i odds = _mm512_setr_epi32(1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29, 31);
    const __m512i half = _mm512_set1_epi32(1 << (2 * k - 1));
    if (k == 1) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm512_cvtepi32_epi8(_mm512_srli_epi32(_mm512_add_epi32(a, half), 2)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16),
                         _mm512_cvtepi32_epi8(_mm512_srli_epi32(_mm512_add_epi32(b, half), 2)));
        return;
    }
    // Fours: neighbouring pair sums of a and b together.
    __m512i q = _mm512_add_epi32(_mm512_permutex2var_epi32(a, evens, b), _mm512_permutex2var_epi32(a, odds, b));
    if (k == 2) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm512_cvtepi32_epi8(_mm512_srli_epi32(_mm512_add_epi32(q, half), 4)));
        return;
    }
    // Eights: neighbouring four sums, in the low half.
    q = _mm512_add_epi32(_mm512_permutexvar_epi32(evens, q), _mm512_permutexvar_epi32(odds, q));
    const __m128i bytes = _mm512_cvtepi32_epi8(_mm512_srli_epi32(_mm512_add_epi32(q, half), 6));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), bytes);
}

QOVA_VBMI int boxRowVbmi(const uint8_t* const* rows, int k, int n, uint8_t* outB, uint8_t* outG, uint8_t* outR) {
    const int f = 1 << k;
    int x = 0;
    for (; x + 64 <= n; x += 64) {
        __m512i bl = _mm512_setzero_si512(), bh = bl, gl = bl, gh = bl, rl = bl, rh = bl;
        for (int t = 0; t < f; ++t) {
            __m512i b, g, r;
            splitRegs(rows[t] + size_t(x) * 3, b, g, r);
            bl = _mm512_add_epi16(bl, _mm512_cvtepu8_epi16(_mm512_castsi512_si256(b)));
            bh = _mm512_add_epi16(bh, _mm512_cvtepu8_epi16(_mm512_extracti64x4_epi64(b, 1)));
            gl = _mm512_add_epi16(gl, _mm512_cvtepu8_epi16(_mm512_castsi512_si256(g)));
            gh = _mm512_add_epi16(gh, _mm512_cvtepu8_epi16(_mm512_extracti64x4_epi64(g, 1)));
            rl = _mm512_add_epi16(rl, _mm512_cvtepu8_epi16(_mm512_castsi512_si256(r)));
            rh = _mm512_add_epi16(rh, _mm512_cvtepu8_epi16(_mm512_extracti64x4_epi64(r, 1)));
        }
        const int o = x >> k;
        boxPlane(bl, bh, k, outB + o);
        boxPlane(gl, gh, k, outG + o);
        boxPlane(rl, rh, k, outR + o);
    }
    return x;
}

QOVA_VBMI int mirrorVbmi(const uint8_t* s, uint8_t* d, int n) {
    const PlaneIndex& p = planeIndex();
    const __m512i m0 = _mm512_load_si512(p.mirrorAB[0]), m1 = _mm512_load_si512(p.mirrorAB[1]),
                  m2 = _mm512_load_si512(p.mirrorAB[2]), c0 = _mm512_load_si512(p.mirrorC[0]),
                  c1 = _mm512_load_si512(p.mirrorC[1]), c2 = _mm512_load_si512(p.mirrorC[2]);
    int x = 0;
    for (; x + 64 <= n; x += 64) {
        const uint8_t* from = s + size_t(n - 64 - x) * 3;
        const __m512i a0 = _mm512_loadu_si512(from), a1 = _mm512_loadu_si512(from + 64),
                      a2 = _mm512_loadu_si512(from + 128);
        uint8_t* to = d + size_t(x) * 3;
        _mm512_storeu_si512(to, _mm512_mask_blend_epi8(p.mirrorInC[0], _mm512_permutex2var_epi8(a0, m0, a1),
                                                       _mm512_permutexvar_epi8(c0, a2)));
        _mm512_storeu_si512(to + 64, _mm512_mask_blend_epi8(p.mirrorInC[1], _mm512_permutex2var_epi8(a0, m1, a1),
                                                            _mm512_permutexvar_epi8(c1, a2)));
        _mm512_storeu_si512(to + 128, _mm512_mask_blend_epi8(p.mirrorInC[2], _mm512_permutex2var_epi8(a0, m2, a1),
                                                             _mm512_permutexvar_epi8(c2, a2)));
    }
    return x;
}

#pragma GCC diagnostic pop

bool haveVbmi() {
    static const bool have = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
               __builtin_cpu_supports("avx512vbmi");
    }();
    return have;
}
#endif

}  // namespace

void lumaRun24(const uint8_t* s, int n, uint8_t* out) {
    int x = 0;
#ifdef QOVA_LUT_VBMI
    if (haveVbmi()) x = lumaVbmi(s, n, out);
#endif
    for (; x < n; ++x) {
        const uint8_t* p = s + size_t(x) * 3;
        out[x] = uint8_t(luma(p[2], p[1], p[0]));
    }
}

int saturationRun24(const uint8_t* s, uint8_t* d, int n, int k) {
#ifdef QOVA_LUT_VBMI
    if (haveVbmi()) return saturationVbmi(s, d, n, k);
#endif
    (void)s; (void)d; (void)n; (void)k;
    return 0;
}

int detectRun24(const uint8_t* s, uint8_t* d, int n, int low, int high) {
#ifdef QOVA_LUT_VBMI
    if (haveVbmi()) return detectVbmi(s, d, n, low, high);
#endif
    (void)s; (void)d; (void)n; (void)low; (void)high;
    return 0;
}

int boxRow24(const uint8_t* const* rows, int k, int n, uint8_t* outB, uint8_t* outG, uint8_t* outR) {
#ifdef QOVA_LUT_VBMI
    if (haveVbmi() && k >= 1 && k <= 3) return boxRowVbmi(rows, k, n, outB, outG, outR);
#endif
    (void)rows; (void)k; (void)n; (void)outB; (void)outG; (void)outR;
    return 0;
}

int hueRun24(const uint8_t* s, uint8_t* d, int n, int shiftUnits) {
#ifdef QOVA_LUT_VBMI
    if (haveVbmi()) return hueVbmi(s, d, n, shiftUnits);
#endif
    (void)s; (void)d; (void)n; (void)shiftUnits;
    return 0;
}

void noiseRun(uint32_t key, int span, int x0, int n, int16_t* out) {
    const uint32_t range = uint32_t(2 * span + 1);
    auto one = [&](int i) {
        const uint32_t x = uint32_t(x0 + i), h = noiseHash(x >> 1, key);
        out[i] = int16_t(int((((x & 1) ? h >> 16 : h & 0xFFFF) * range) >> 16) - span);
    };
    int i = 0;
#ifdef QOVA_LUT_VBMI
    if (haveVbmi()) {
        if ((x0 & 1) && n > 0) one(i++);  // the vector part starts on a pixel pair
        i += noiseVbmi(key, range, span, uint32_t(x0 + i) >> 1, n - i, out + i);
    }
#endif
    for (; i < n; ++i) one(i);
}

int noiseAddRun24(uint32_t key, int span, int x0, const uint8_t* s, uint8_t* d, int n) {
#ifdef QOVA_LUT_VBMI
    // From an even pixel, where the pairs of the hash begin.
    if (haveVbmi() && span > 0 && (x0 & 1) == 0)
        return noiseAddVbmi(key, uint32_t(2 * span + 1), span, uint32_t(x0) >> 1, s, d, n);
#endif
    (void)key; (void)span; (void)x0; (void)s; (void)d; (void)n;
    return 0;
}

int addOffsetsRun24(const uint8_t* s, uint8_t* d, const int16_t* offsets, int n) {
#ifdef QOVA_LUT_VBMI
    if (haveVbmi()) return addOffsetsVbmi(s, d, offsets, n);
#endif
    (void)s; (void)d; (void)offsets; (void)n;
    return 0;
}

void mirrorRun24(const uint8_t* s, uint8_t* d, int n) {
    int x = 0;
#ifdef QOVA_LUT_VBMI
    if (haveVbmi()) x = mirrorVbmi(s, d, n);
#endif
    for (; x < n; ++x) {
        const uint8_t* p = s + size_t(n - 1 - x) * 3;
        uint8_t* q = d + size_t(x) * 3;
        q[0] = p[0]; q[1] = p[1]; q[2] = p[2];
    }
}

bool havePlanes64() {
#ifdef QOVA_LUT_VBMI
    return haveVbmi();
#else
    return false;
#endif
}

void split64(const uint8_t* s, uint8_t* b, uint8_t* g, uint8_t* r) {
#ifdef QOVA_LUT_VBMI
    if (haveVbmi()) {
        split64Vbmi(s, b, g, r);
        return;
    }
#endif
    for (int j = 0; j < 64; ++j) { b[j] = s[3 * j]; g[j] = s[3 * j + 1]; r[j] = s[3 * j + 2]; }
}

void join64(const uint8_t* b, const uint8_t* g, const uint8_t* r, uint8_t* d) {
#ifdef QOVA_LUT_VBMI
    if (haveVbmi()) {
        join64Vbmi(b, g, r, d);
        return;
    }
#endif
    for (int j = 0; j < 64; ++j) { d[3 * j] = b[j]; d[3 * j + 1] = g[j]; d[3 * j + 2] = r[j]; }
}

void lutBytes(const uint8_t* s, uint8_t* d, size_t n, const uint8_t* lut, bool keepEveryFourth) {
#ifdef QOVA_LUT_VBMI
    if (haveVbmi()) {
        lutVbmi(s, d, n, lut, keepEveryFourth);
        return;
    }
#endif
    lutPlain(s, d, n, lut, keepEveryFourth);
}

}  // namespace qova::engine::ops
