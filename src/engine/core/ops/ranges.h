// The value ranges and numbering of the pixel operations, in one place.
// Dialogs offer these ranges; the operations refuse anything outside them
// with kErrBadParam and leave the bitmap as it was.
//
// | Operation (dispatch id)   | Arguments                 | Range, meaning
// |---------------------------|---------------------------|-------------------------------------------------
// | brightness (278)          | value                     | −100..100: percent of full scale added
// | contrast (272)            | value                     | −100..100: −100 flat grey, 0 none, 100 threshold
// | saturation (283)          | value                     | −100..100: −100 grey, 100 twice as colourful
// | histogram contrast (328)  | value                     | −100..100: toward (+) / away from (−) equalised
// | hue (277)                 | degrees                   | −360..360, HSV hue rotation
// | halftone (306)            | kind, angle               | kind 0 print (clustered dots, screen at the
// |                           |                           | angle, −360..360 degrees), 1 display
// |                           |                           | (ordered dots, angle ignored); result 1 bit
// | gamma (300)               | gamma × 100               | 1..1000 (100 = none; above 100 brightens)
// | intensity detect (296)    | low, high                 | 0..255 each, low ≤ high
// | colour resolution (317)   | bits, options, dither,    | bits 1..8, 16, 24, 32; options: kResOptimised
// |                           | colours                   | (2) optimised palette, else fixed; dither
// |                           |                           | 0 none, 1 ordered, 2 error diffusion; colours
// |                           |                           | 0 = 2^bits, else 2..2^bits (bits ≤ 8)
// | greyscale (275)           | bits                      | 8 or 16
// | invert (279), equalise (276), stretch (298) | —       |
// | count colours (391)       | → count                   |
// | posterize (290)           | levels per channel        | 2..64
// | mosaic (286)              | tile side in pixels       | 2..256
// | average (270)             | radius                    | 1..15 (window 3×3 .. 31×31)
// | median (271)              | radius                    | 1..7 (window 3×3 .. 15×15)
// | sharpen (282)             | amount                    | −100..100 (negative blurs)
// | add noise (295)           | amount, channel           | 0..100 percent; channel 0 all (same offset),
// |                           |                           | 1 red, 2 green, 3 blue
// | emboss (294)              | direction, depth          | 0..359 degrees (0 = light from the east,
// |                           |                           | counter-clockwise), depth 0..100
// | oilify (412)              | radius                    | 1..8
// | solarize (408)            | threshold                 | 0..255: channels at or above are inverted
// | spatial filter (287)      | filter number             | SpatialFilter below
// | combine (322)             | …, operation              | CombineOp below
// | rotate (293)              | angle, enlarge, fill      | −36000..36000 hundredths of a degree, clockwise
// | shear (301)               | angle, horizontal, fill   | −4500..4500 hundredths of a degree
// | resize (307)              | width, height, flags      | 1..kMaxDimension; flags 0 plain (nearest
// |                           |                           | pixel), 1 resampled
// | fill (297)                | colour                    | 0x00BBGGRR
// | create bitmap (302)       | width, height, bits       | 1..kMaxDimension; 1, 4, 8, 16, 24, 32
// | histogram (316)           | channel                   | 0 luminance, 1 red, 2 green, 3 blue
//
// Colours passed as 32-bit values are 0x00BBGGRR (red in the low byte).
#pragma once

namespace qova::engine::ops {

struct ValueRange {
    int min;
    int max;
};

constexpr ValueRange kRangeBrightness{-100, 100};
constexpr ValueRange kRangeContrast{-100, 100};
constexpr ValueRange kRangeSaturation{-100, 100};
constexpr ValueRange kRangeHistoContrast{-100, 100};
constexpr ValueRange kRangeHue{-360, 360};
constexpr ValueRange kRangeHalftoneAngle{-360, 360};
constexpr ValueRange kRangeGamma{1, 1000};
constexpr ValueRange kRangeDetectLow{0, 255};
constexpr ValueRange kRangeDetectHigh{0, 255};
constexpr ValueRange kRangePosterize{2, 64};
constexpr ValueRange kRangeMosaic{2, 256};
constexpr ValueRange kRangeAverage{1, 15};
constexpr ValueRange kRangeMedian{1, 7};
constexpr ValueRange kRangeSharpen{-100, 100};
constexpr ValueRange kRangeNoise{0, 100};
constexpr ValueRange kRangeNoiseChannel{0, 3};
constexpr ValueRange kRangeEmbossDirection{0, 359};
constexpr ValueRange kRangeEmbossDepth{0, 100};
constexpr ValueRange kRangeOilify{1, 8};
constexpr ValueRange kRangeSolarize{0, 255};
constexpr ValueRange kRangeRotate{-36000, 36000};
constexpr ValueRange kRangeShear{-4500, 4500};

// Halftone kinds.
enum HalftoneKind : int { kHalftonePrint = 0, kHalftoneView = 1 };

// Colour resolution options and dithering.
enum ResOption : int { kResOptimised = 2 };
enum Dither : int { kDitherNone = 0, kDitherOrdered = 1, kDitherDiffusion = 2 };

// Resize flags.
enum ResizeFlag : int { kResizePlain = 0, kResizeResample = 1 };

// Spatial filters by family. Results are the filter's response per colour
// channel saturated to the channel's range (edges bright on black): the
// absolute response, except the gradient and line filters, which keep only
// the positive response so that each direction differs from its opposite,
// and kFilterEdgeDetail.
enum SpatialFilter : int {
    // Gradient (compass) family: edges facing N, NE, E, SE, S, SW, W, NW.
    kFilterGradientN = 0, kFilterGradientNE = 1, kFilterGradientE = 2, kFilterGradientSE = 3,
    kFilterGradientS = 4, kFilterGradientSW = 5, kFilterGradientW = 6, kFilterGradientNW = 7,
    // Laplacian family.
    kFilterLaplace8 = 8,        // all eight neighbours
    kFilterLaplace4 = 9,        // the four side neighbours
    kFilterLaplaceDiag = 10,    // the four diagonal neighbours
    kFilterLaplace5x5 = 11,     // 5 × 5 neighbourhood
    // Sobel and Prewitt: horizontal edges (vertical change), vertical edges.
    kFilterSobelH = 12, kFilterSobelV = 13,
    kFilterPrewittH = 14, kFilterPrewittV = 15,
    // Edge detail for edge emphasis: the 8-neighbour Laplacian detail,
    // signed, stored about mid-level (128 = no detail). Combined over the
    // image with kCombineAddDetail it sharpens edges.
    kFilterEdgeDetail = 16,
    // Shift difference: pixel minus its neighbour to the left, above,
    // above-left, above-right.
    kFilterShiftH = 17, kFilterShiftV = 18, kFilterShiftDiag = 19, kFilterShiftAntiDiag = 20,
    // Line segment extraction: thin lines running horizontally, vertically,
    // rising (45°) and falling (135°).
    kFilterLineH = 21, kFilterLineV = 22, kFilterLine45 = 23, kFilterLine135 = 24,
    kFilterLast = 24,
};

// Combine operations.
enum CombineOp : int {
    kCombineCopy = 288,       // source pixels replace the destination's
    kCombineAddDetail = 768,  // destination + (source − mid-level), saturated
};

}  // namespace qova::engine::ops
