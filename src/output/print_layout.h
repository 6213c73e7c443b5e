// Where a printed picture goes: a fixed printable area of 8 × 10 inches
// (8 × 14 on legal paper), turned for any orientation but portrait, at 300
// device units per inch; the picture as large as fits, proportions kept,
// from the area's top-left corner.
#pragma once

#include <cstdint>

namespace qova::output {

// The printer's paper size and orientation codes the layout knows.
constexpr int kPaperLetter = 1;
constexpr int kPaperLegal = 5;
constexpr int kPaperA4 = 9;
constexpr int kPaperOther = 256;
constexpr int kPortrait = 1;
constexpr int kLandscape = 2;

constexpr int kUnitsPerInch = 300;

// In whole inches.
struct PrintArea {
    int width;
    int height;
};
PrintArea printableArea(int paperSize, int orientation);

// In device units (1/300 inch).
struct PrintSize {
    int16_t width;
    int16_t height;
};
// The print size of a W × H pixel picture: width-limited when H / PH is
// below W / PW (single precision), else height-limited; the other side
// rounded to the nearest unit, halves to even.
PrintSize printSize(float W, float H, PrintArea area);

}  // namespace qova::output
