#include "editing/adjust.h"

#include <cstdio>

namespace {

constexpr AdjustScale kOffset{0, 254, 127};
constexpr AdjustScale kGamma{1, 1000, 100};

}  // namespace

const AdjustScale& adjust_scale(int slider) { return slider == ADJUST_GAMMA ? kGamma : kOffset; }

AdjustResult adjust_result(const int p[ADJUST_SLIDERS])
{
    return AdjustResult{p[ADJUST_BRIGHTNESS] - 127, p[ADJUST_CONTRAST] - 127, p[ADJUST_GAMMA] * 0.01,
                        p[ADJUST_RED] - 127,        p[ADJUST_GREEN] - 127,    p[ADJUST_BLUE] - 127};
}

void adjust_value_text(int slider, int position, char* out, size_t size)
{
    if (slider == ADJUST_GAMMA)
        std::snprintf(out, size, "%.2lf", position * 0.01);
    else
        std::snprintf(out, size, "%d", position - 127);
}

void adjust_preview_update(PhotoDocument* after, const int positions[ADJUST_SLIDERS])
{
    const AdjustResult r = adjust_result(positions);
    // Back to the loaded picture (nothing to undo the first time), so that previews never build
    // on one another.
    document_undo(after);
    document_adjust(after, r.brightness, r.contrast, r.gamma, r.red, r.green, r.blue);
}
