// The Image menu's effects ("画像処理") and spatial filters ("空間ﾌｨﾙﾀ"):
// each asks its values in an engine dialog and runs one operation on Img1,
// except edge enhancement, which merges an edge-detail copy of the picture
// over it.
//
// Edge enhancement makes that copy in a scratch store of its own rather
// than in Img2, so a region's saved background kept there survives it; the
// copy is freed when the command ends, also after an error.
#pragma once

#include <cstdint>
#include <memory>

namespace qova::engine {
class ImageControl;
class ImageStore;
}

namespace qova::shell {
class ShellContext;
}

namespace qova::processing {

class EffectCommands {
public:
    explicit EffectCommands(shell::ShellContext& ctx);
    ~EffectCommands();

    void EffectsPosterize_Click();
    void EffectsMosaic_Click();
    void EffectsAverage_Click();
    void EffectsMedian_Click();
    void EffectsSharpen_Click();
    void EffectsAddNoise_Click();
    void EffectsEmboss_Click();
    void EffectOilify_Click();
    void EffectSolarize_Click();
    void EffectsEdgeEnhance_Click();

    void SpatialGradient_Click();
    void SpatialLaplacian_Click();
    void SpatialSobel_Click();
    void SpatialPrewitt_Click();
    void SpatialShiftDiff_Click();
    void SpatialLineSeg_Click();

    // The scratch store of edge enhancement (empty between commands).
    const engine::ImageStore& edgeScratch() const { return *scratch_; }

private:
    void effect(int flags, int16_t (engine::ImageControl::*op)(int));
    void spatial(int flags);

    shell::ShellContext& ctx_;
    std::unique_ptr<engine::ImageStore> scratch_;
};

}  // namespace qova::processing
