#include "animation/animation.h"

#include "animation/toolbox.h"
#include "shell/context.h"

namespace qova::animation {

Animation::Animation(shell::ShellContext& ctx) : ctx_(ctx) {
    form6_ = new Form6(ctx_.controls().Img1, ctx_.mainWindow());
    form6_->hide();
    ctx_.services().toolbox = form6_;
}

}  // namespace qova::animation
