#include <algorithm>

#include "ops/colour.h"
#include "ops/rgb_runs.h"
#include "ops/op.h"
#include "ops/pixel_check.h"
#include "ops/rect_rows.h"

namespace {

// Lifts are whole values 0 to 255: a strength past 398 % stops at 255 rather than wrapping round.
uint8_t lift(int strength, double full)
{
    return static_cast<uint8_t>(std::clamp(static_cast<int>(std::clamp(strength * 0.01 * full, -1.0, 256.0)), 0, 255));
}

}  // namespace

Status image_sepia(Picture* source, Picture* destination, const Rect* rect, int strength)
{
    if (!source || !(source->type & PIXEL_ANYCOLOR)) return STATUS_BAD_PARAMETER;
    LUM_TRY(pixel_check_bytes(source));
    if (source->bytes_per_pixel < 3) return STATUS_BAD_PARAMETER;
    Rect r;
    LUM_TRY(rect_clip(source, rect, &r));

    const uint8_t red_lift = lift(strength, 64.0), green_lift = lift(strength, 32.0);
    const RgbLayout layout{source->bytes_per_pixel, rgb_positions(source->type)};

    if (!destination) {
        // Nothing can fail from here on, so the source may change as it is read.
        source->transparent_index = NO_TRANSPARENT_INDEX;
        for (int y = r.y; y < r.y + r.h; ++y) {
            uint8_t* line = picture_line(source, y) + static_cast<size_t>(r.x) * layout.pixel_bytes;
            sepia_run(line, line, r.w, layout, red_lift, green_lift);
        }
        return STATUS_OK;
    }
    Picture result{};
    LUM_TRY(op_result_alloc(source, &result, source->width, source->height));
    result.transparent_index = NO_TRANSPARENT_INDEX;
    rows_around_rect(source, &result, r, [&](const uint8_t* from, uint8_t* to, size_t pixels) {
        sepia_run(from, to, pixels, layout, red_lift, green_lift);
    });
    op_deliver(source, destination, &result);
    return STATUS_OK;
}
