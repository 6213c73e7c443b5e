// Whole-number conversion and the number texts the windows read and write.
#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>

namespace qova::shell {

// Nearest integer, halves to the even neighbour (2.5 → 2, 3.5 → 4, −2.5 → −2).
int64_t roundHalfEven(double v);
// The same into a 16-bit field; throws std::overflow_error when it does not fit.
int16_t toInt16(double v);
bool fitsInt16(double v);

// The value of the longest leading part of `text` that reads as a signed
// decimal number (leading blanks skipped); 0 when there is none.
double readNumber(QStringView text);

// Plain decimal text: "12", "-3", "2.5" (no decimal point for whole values).
QString numberText(double v);
// A count with its sign position: " 12" for non-negative values, "-12" otherwise.
QString signedCountText(int64_t v);

// Colour as "&H" + upper-case hexadecimal digits; `padded` writes eight digits.
QString hexColourText(uint32_t colour, bool padded = false);
// Reads "&H…" text back; false when it is not such a number.
bool readHexColour(QStringView text, uint32_t& colour);

}  // namespace qova::shell
