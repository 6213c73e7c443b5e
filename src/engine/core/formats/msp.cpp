// Microsoft Paint (.msp): 1-bit pictures, a set bit is white.
//
// 32-byte little-endian header: key ("DanM" for version 1, "LinS" for
// version 2), width, height, bitmap and printer aspect ratios, printer size,
// aspect correction, and a checksum that makes the XOR of the first 13 words
// zero. Version 1 stores raw rows. Version 2 stores a table of each row's
// packed length, then the rows, each a sequence of runs:
//   0, count, value  -> `count` copies of `value`
//   n (1..255), n bytes -> the bytes as they are
// A row whose table entry is 0 is all white.
//
// We write version 2: it is what Paint itself wrote last and is smaller.
#include <algorithm>
#include <cstring>
#include <vector>

#include "../codes.h"
#include "budget.h"
#include "codec.h"
#include "write_file.h"

namespace qova::engine {
namespace {

constexpr size_t kHeaderSize = 32;

bool unpackRow(const uint8_t* src, size_t n, uint8_t* out, size_t want) {
    size_t i = 0, o = 0;
    while (i < n && o < want) {
        const uint8_t type = src[i++];
        if (type == 0) {
            if (n - i < 2) return false;
            const size_t count = src[i];
            const uint8_t value = src[i + 1];
            i += 2;
            const size_t take = std::min(count, want - o);
            std::memset(out + o, value, take);
            o += take;
        } else {
            if (n - i < type) return false;
            const size_t take = std::min<size_t>(type, want - o);
            std::memcpy(out + o, src + i, take);
            o += take;
            i += type;
        }
    }
    return o == want;
}

void packRow(const uint8_t* row, size_t n, std::vector<uint8_t>& out) {
    size_t i = 0;
    while (i < n) {
        size_t run = 1;
        while (i + run < n && run < 255 && row[i + run] == row[i]) ++run;
        if (run >= 3) {
            out.insert(out.end(), {0, uint8_t(run), row[i]});
            i += run;
            continue;
        }
        // Literal bytes up to the next run worth packing.
        size_t j = i;
        while (j < n && j - i < 255) {
            if (j + 2 < n && row[j] == row[j + 1] && row[j] == row[j + 2]) break;
            ++j;
        }
        out.push_back(uint8_t(j - i));
        out.insert(out.end(), row + i, row + j);
        i = j;
    }
}

}  // namespace

int16_t decodeMsp(ByteSpan in, const DecodeOptions& opts, Document& doc) {
    if (in.size < 4) return kErrBadFormat;
    bool v2;
    if (std::memcmp(in.data, "DanM", 4) == 0) v2 = false;
    else if (std::memcmp(in.data, "LinS", 4) == 0) v2 = true;
    else return kErrBadFormat;
    if (in.size < kHeaderSize) return kErrRead;

    uint16_t check = 0;
    for (int i = 0; i < 13; ++i) check ^= rd16le(in.data + 2 * i);
    if (check != 0) return kErrCorrupt;
    const int width = rd16le(in.data + 4);
    const int height = rd16le(in.data + 6);
    if (width == 0 || height == 0) return kErrBadSize;

    doc.info.width = width;
    doc.info.height = height;
    doc.info.bpp = 1;
    doc.info.pageCount = 1;
    if (opts.infoOnly) return kOk;

    const size_t rowBytes = (size_t(width) + 7) / 8;
    const size_t body = in.size - kHeaderSize;
    // Make sure the rows (or the row table) are there before allocating.
    if (v2 ? size_t(height) * 2 > body : rowBytes * size_t(height) > body) return kErrRead;
    // A row whose table entry is 0 is blank: two bytes can stand for 8 KB.
    // Real pictures come nowhere near; past 1024 to one they are refused.
    if (v2 && !plausibleSize(uint64_t(rowBytes) * uint64_t(height), body, 1024)) return kErrTooLarge;

    if (!fitsCeiling(width, height, 1)) return kErrNoMemory;
    int16_t code = kOk;
    Bitmap bmp = Bitmap::create(width, height, 1, false, &code);
    if (bmp.isNull()) return code;
    bmp.setPalette({Rgb{0, 0, 0}, Rgb{255, 255, 255}});

    if (opts.progress) opts.progress(0);
    const uint8_t* map = in.data + kHeaderSize;
    size_t pos = kHeaderSize + (v2 ? size_t(height) * 2 : 0);
    for (int y = 0; y < height; ++y) {
        uint8_t* dst = bmp.mutableRow(y);
        if (!v2) {
            std::memcpy(dst, in.data + pos, rowBytes);
            pos += rowBytes;
        } else {
            const size_t len = rd16le(map + 2 * y);
            if (len == 0) {
                std::memset(dst, 0xFF, rowBytes);
                continue;
            }
            if (len > in.size - pos) return kErrRead;
            if (!unpackRow(in.data + pos, len, dst, rowBytes)) return kErrCorrupt;
            pos += len;
        }
        if (opts.progress && (y & 255) == 255) opts.progress(int(int64_t(y) * 100 / height));
    }
    if (opts.progress) opts.progress(100);

    doc.frames.clear();
    Frame f;
    f.bitmap = std::move(bmp);
    doc.frames.push_back(std::move(f));
    return kOk;
}

int16_t encodeMsp(const Bitmap& bmp, const std::string& path, const EncodeOptions&) {
    if (bmp.isNull()) return kErrBadHandle;
    if (bmp.bpp() != 1) return kErrBadBpp;
    const int width = bmp.width(), height = bmp.height();
    if (width > 0xFFFF || height > 0xFFFF) return kErrBadSize;

    // The file's set bit is white: flip the bits when index 1 is the darker.
    const Palette& pal = bmp.palette();
    const bool invert = pal.size() >= 2 && lumaSum(pal[1]) < lumaSum(pal[0]);
    const size_t rowBytes = (size_t(width) + 7) / 8;
    // Bits past the right edge are written white.
    const uint8_t tailMask = uint8_t(0xFF >> (width & 7 ? width & 7 : 8));

    std::vector<uint8_t> out(kHeaderSize + size_t(height) * 2, 0);
    const uint16_t words[12] = {0x694C, 0x536E, uint16_t(width), uint16_t(height), 1, 1, 1, 1,
                                uint16_t(width), uint16_t(height), 0, 0};
    uint16_t check = 0;
    for (int i = 0; i < 12; ++i) {
        out[2 * i] = uint8_t(words[i]);
        out[2 * i + 1] = uint8_t(words[i] >> 8);
        check ^= words[i];
    }
    out[24] = uint8_t(check);
    out[25] = uint8_t(check >> 8);

    std::vector<uint8_t> row(rowBytes);
    for (int y = 0; y < height; ++y) {
        const uint8_t* src = bmp.row(y);
        for (size_t i = 0; i < rowBytes; ++i) row[i] = invert ? uint8_t(~src[i]) : src[i];
        row[rowBytes - 1] |= tailMask;
        const size_t before = out.size();
        packRow(row.data(), rowBytes, out);
        const size_t len = out.size() - before;  // at most rowBytes + rowBytes / 255 + 1 < 65536
        out[kHeaderSize + 2 * size_t(y)] = uint8_t(len);
        out[kHeaderSize + 2 * size_t(y) + 1] = uint8_t(len >> 8);
    }
    return writeWholeFile(path, out);
}

}  // namespace qova::engine
