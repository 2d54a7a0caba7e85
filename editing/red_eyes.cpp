#include "editing/red_eyes.h"

namespace {

void correct(uint8_t* p)
{
    // Bytes by position: red, green, blue for RGB pictures.
    const int c0 = p[0], c1 = p[1], c2 = p[2];
    const uint8_t r = static_cast<uint8_t>(static_cast<int>(c0 * 0.5133333));
    const uint8_t b = static_cast<uint8_t>(static_cast<int>(c2 * 0.1933333));
    if (!(r >= c1 - 18 && r >= b - 18)) return;
    p[0] = static_cast<uint8_t>((c1 + c2) / 2);
    if (r >= c1 && r >= b)
        for (int k = 0; k < 3; ++k) p[k] = p[k] <= 8 ? 0 : static_cast<uint8_t>(p[k] - 8);
}

}  // namespace

Status image_red_eyes(Picture* picture, int x, int y, int width, int height)
{
    // Deeper samples are two bytes each: the byte rule below would mix their halves.
    if (!picture->data || !(picture->type & PIXEL_ANYCOLOR) || picture->bits_per_component > 8)
        return STATUS_BAD_PARAMETER;
    const Rect asked{x, y, width, height};
    Rect r;
    LUM_TRY(rect_clip(picture, &asked, &r));
    const int hw = r.w / 2, hh = r.h / 2;
    const int64_t a = (int64_t{hw} * r.w) / 2, b = (int64_t{hh} * r.h) / 2;
    const int bpp = picture->bytes_per_pixel;
    for (int line = r.y; line < r.y + r.h; ++line) {
        uint8_t* row = picture_line(picture, line) + static_cast<size_t>(r.x) * bpp;
        const double dy = line - hh - r.y;
        for (int i = 0; i < r.w; ++i) {
            // A frame one pixel wide or high has no ellipse: all of it is tested.
            if (a != 0 && b != 0) {
                const double dx = i - hw;
                if (dy * dy / static_cast<double>(b) + dx * dx / static_cast<double>(a) >= 1.0) continue;
            }
            correct(row + static_cast<size_t>(i) * bpp);
        }
    }
    return STATUS_OK;
}
