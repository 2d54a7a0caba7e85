#include <algorithm>
#include <cstring>

#include "ops/colour.h"
#include "ops/rgb_runs.h"
#include "ops/op.h"
#include "ops/pixel_check.h"

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

    Picture result{};
    LUM_TRY(op_result_alloc(source, &result, source->width, source->height));
    result.transparent_index = NO_TRANSPARENT_INDEX;
    const size_t pb = source->bytes_per_pixel;
    const size_t row = std::min(source->bytes_per_line, result.bytes_per_line);
    const size_t begin = r.x * pb, end = (static_cast<size_t>(r.x) + r.w) * pb;
    for (int y = 0; y < source->height; ++y) {
        const uint8_t* from = picture_line(source, y);
        uint8_t* to = picture_line(&result, y);
        if (y < r.y || y >= r.y + r.h) {
            std::memcpy(to, from, row);
            continue;
        }
        std::memcpy(to, from, begin);
        sepia_run(from + begin, to + begin, r.w, layout, red_lift, green_lift);
        std::memcpy(to + end, from + end, row - end);
    }
    op_deliver(source, destination, &result);
    return STATUS_OK;
}
