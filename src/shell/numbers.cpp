#include "shell/numbers.h"

#include <cmath>
#include <limits>
#include <stdexcept>

namespace qova::shell {

int64_t roundHalfEven(double v) {
    // nearbyint follows the current rounding mode, which is to-nearest-even
    // unless someone changed it; say so explicitly with remainder().
    const double r = v - std::remainder(v, 1.0);
    return int64_t(r);
}

bool fitsInt16(double v) {
    if (!std::isfinite(v) || std::fabs(v) > 1e6) return false;
    const int64_t r = roundHalfEven(v);
    return r >= std::numeric_limits<int16_t>::min() && r <= std::numeric_limits<int16_t>::max();
}

int16_t toInt16(double v) {
    if (!fitsInt16(v)) throw std::overflow_error("Overflow");
    return int16_t(roundHalfEven(v));
}

double readNumber(QStringView text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == u' ' || text[i] == u'\t')) ++i;
    const qsizetype start = i;
    if (i < n && (text[i] == u'-' || text[i] == u'+')) ++i;
    qsizetype digits = 0;
    while (i < n && text[i].isDigit() && text[i].unicode() < 128) { ++i; ++digits; }
    if (i < n && text[i] == u'.') {
        ++i;
        while (i < n && text[i].isDigit() && text[i].unicode() < 128) { ++i; ++digits; }
    }
    if (digits == 0) return 0;
    return text.mid(start, i - start).toString().toDouble();
}

QString numberText(double v) {
    if (std::isfinite(v) && v == std::trunc(v) && std::fabs(v) < 1e15) return QString::number(int64_t(v));
    return QString::number(v, 'g', 15);
}

QString signedCountText(int64_t v) {
    return v < 0 ? QString::number(v) : QLatin1Char(' ') + QString::number(v);
}

QString hexColourText(uint32_t colour, bool padded) {
    QString digits = QString::number(colour, 16).toUpper();
    if (padded) digits = digits.rightJustified(8, QLatin1Char('0'));
    return QStringLiteral("&H") + digits;
}

bool readHexColour(QStringView text, uint32_t& colour) {
    const QStringView t = text.trimmed();
    if (!t.startsWith(u"&H", Qt::CaseInsensitive) || t.size() < 3 || t.size() > 10) return false;
    bool ok = false;
    const uint v = t.mid(2).toUInt(&ok, 16);
    if (!ok) return false;
    colour = v;
    return true;
}

}  // namespace qova::shell
