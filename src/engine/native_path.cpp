#include "native_path.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

namespace qova::engine {

namespace {

constexpr char16_t kStrayBase = 0xDC00;

bool isStray(char16_t c) { return c >= 0xDC80 && c <= 0xDCFF; }

// Length of the valid UTF-8 sequence at s[i] (0 when there is none).
size_t utf8Length(const std::string& s, size_t i) {
    const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(i);
    if (c < 0x80) return 1;
    size_t n;
    uint32_t cp;
    if ((c & 0xE0) == 0xC0) { n = 2; cp = c & 0x1F; }
    else if ((c & 0xF0) == 0xE0) { n = 3; cp = c & 0x0F; }
    else if ((c & 0xF8) == 0xF0) { n = 4; cp = c & 0x07; }
    else return 0;
    if (i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k) {
        if ((b(i + k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b(i + k) & 0x3F);
    }
    // Overlong forms, surrogates and values past Unicode are not UTF-8.
    static const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

bool validUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const size_t n = utf8Length(s, i);
        if (!n) return false;
        i += n;
    }
    return true;
}

// Decodes with iconv; false when the bytes are not valid in that encoding.
bool decodeWith(const char* encoding, const std::string& bytes, QString& out) {
    iconv_t cd = iconv_open("UTF-8", encoding);
    if (cd == iconv_t(-1)) return false;
    std::vector<char> buf(bytes.size() * 4 + 4);
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* o = buf.data();
    size_t outLeft = buf.size();
    const size_t r = iconv(cd, &in, &inLeft, &o, &outLeft);
    iconv_close(cd);
    if (r == size_t(-1) || inLeft != 0) return false;
    out = QString::fromUtf8(buf.data(), qsizetype(o - buf.data()));
    return true;
}

}  // namespace

std::string nativePath(const QString& path) {
    std::string out;
    out.reserve(size_t(path.size()) * 3);
    QString run;  // ordinary characters waiting to be written as UTF-8
    auto flush = [&] {
        if (!run.isEmpty()) out += run.toStdString();
        run.clear();
    };
    const char16_t* p = reinterpret_cast<const char16_t*>(path.utf16());
    const qsizetype n = path.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = p[i];
        // A lone low surrogate (not the second half of a pair) is a byte.
        const bool paired = i > 0 && p[i - 1] >= 0xD800 && p[i - 1] <= 0xDBFF;
        if (isStray(c) && !paired) {
            flush();
            out += char(c - kStrayBase);
        } else {
            run += QChar(c);
        }
    }
    flush();
    return out;
}

QString pathFromNative(const std::string& bytes) {
    if (validUtf8(bytes)) return QString::fromStdString(bytes);
    QString out;
    for (size_t i = 0; i < bytes.size();) {
        const size_t n = utf8Length(bytes, i);
        if (n) {
            out += QString::fromUtf8(bytes.data() + i, qsizetype(n));
            i += n;
        } else {
            out += QChar(char16_t(kStrayBase + static_cast<unsigned char>(bytes[i])));
            ++i;
        }
    }
    return out;
}

QString displayName(const std::string& bytes) {
    if (validUtf8(bytes)) return QString::fromStdString(bytes);
    QString out;
    if (decodeWith("CP932", bytes, out) || decodeWith("SHIFT_JIS", bytes, out)) return out;
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));  // stray bytes become U+FFFD
}

bool hasStrayBytes(const QString& path) {
    const char16_t* p = reinterpret_cast<const char16_t*>(path.utf16());
    for (qsizetype i = 0; i < path.size(); ++i)
        if (isStray(p[i]) && !(i > 0 && p[i - 1] >= 0xD800 && p[i - 1] <= 0xDBFF)) return true;
    return false;
}

}  // namespace qova::engine
