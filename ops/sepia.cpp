#include <algorithm>
#include <cstring>

#include "ops/colour.h"
#include "ops/luminance.h"
#include "ops/op.h"
#include "ops/pixel_check.h"

namespace {

struct SepiaTones {
    uint8_t red[256];    // luminance -> red
    uint8_t green[256];  // luminance -> green
};

template <int PixelBytes, int Red, int Green, int Blue>
void tone_pixels(const uint8_t* __restrict from, uint8_t* __restrict to, int pixels, const SepiaTones& tones)
{
    for (int i = 0; i < pixels; ++i, from += PixelBytes, to += PixelBytes) {
        const int l = luminance(from[Red], from[Green], from[Blue]);
        to[Red] = tones.red[l];
        to[Green] = tones.green[l];
        to[Blue] = static_cast<uint8_t>(l);
        if constexpr (PixelBytes == 4) to[6 - Red - Green - Blue] = from[6 - Red - Green - Blue];
    }
}

using ToneFn = void (*)(const uint8_t*, uint8_t*, int, const SepiaTones&);

ToneFn pick_tone(const Picture* p)
{
    const RgbPositions at = rgb_positions(p->type);
    if (p->bytes_per_pixel == 3) return at.red == 2 ? tone_pixels<3, 2, 1, 0> : tone_pixels<3, 0, 1, 2>;
    switch (at.red) {
    case 1: return tone_pixels<4, 1, 2, 3>;
    case 2: return tone_pixels<4, 2, 1, 0>;
    case 3: return tone_pixels<4, 3, 2, 1>;
    default: return tone_pixels<4, 0, 1, 2>;
    }
}

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

    SepiaTones tones;
    const int red_lift = lift(strength, 64.0), green_lift = lift(strength, 32.0);
    for (int l = 0; l < 256; ++l) {
        tones.red[l] = static_cast<uint8_t>(std::min(l + red_lift, 255));
        tones.green[l] = static_cast<uint8_t>(std::min(l + green_lift, 255));
    }
    const ToneFn tone = pick_tone(source);

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
        tone(from + begin, to + begin, r.w, tones);
        std::memcpy(to + end, from + end, row - end);
    }
    op_deliver(source, destination, &result);
    return STATUS_OK;
}
