#include "output/print_layout.h"

#include <utility>

#include "shell/numbers.h"

namespace qova::output {

PrintArea printableArea(int paperSize, int orientation) {
    PrintArea a{8, paperSize == kPaperLegal ? 14 : 10};
    if (orientation != kPortrait) std::swap(a.width, a.height);
    return a;
}

PrintSize printSize(float W, float H, PrintArea area) {
    const float PW = float(area.width), PH = float(area.height);
    PrintSize s{};
    if (H / PH < W / PW) {
        s.width = int16_t(area.width * kUnitsPerInch);
        s.height = shell::toInt16(H * float(s.width) / W);
    } else {
        s.height = int16_t(area.height * kUnitsPerInch);
        s.width = shell::toInt16(W * float(s.height) / H);
    }
    return s;
}

}  // namespace qova::output
