#include "editing/text_stamp.h"

#include <algorithm>
#include <cstring>

namespace {

// Byte positions of blue, green, red and the fourth byte (-1: none) in a colour pixel.
struct ColourPositions {
    int blue, green, red, extra;
};

bool colour_positions(uint32_t type, ColourPositions* p)
{
    switch (type) {
    case PIXEL_RGB: *p = {2, 1, 0, -1}; return true;
    case PIXEL_BGR: *p = {0, 1, 2, -1}; return true;
    case PIXEL_RGBA: *p = {2, 1, 0, 3}; return true;
    case PIXEL_BGRA: *p = {0, 1, 2, 3}; return true;
    case PIXEL_ABGR: *p = {1, 2, 3, 0}; return true;
    case PIXEL_ARGB: *p = {3, 2, 1, 0}; return true;
    default: return false;
    }
}

bool stored_bottom_up(const Picture* p) { return (p->origin & PICTURE_ORIGIN_BOTTOM) != 0; }

// The picture's stored line that bitmap row r (row 0 at the bottom) corresponds to.
int picture_line_of_row(const Picture* p, int r) { return stored_bottom_up(p) ? r : p->height - 1 - r; }

bool copies_as_block(const Picture* p, const StampBitmapLayout& l)
{
    const bool byte_layout = p->type == PIXEL_BGR || p->type == PIXEL_BGRA || p->components_per_pixel < 3;
    return stored_bottom_up(p) && byte_layout && p->bytes_per_line == l.stride;
}

// CMYK shows through the bitmap as the colour it prints: each ink taken from white, the black
// ink darkening all three.
void cmyk_to_bgr(const uint8_t* s, uint8_t* d)
{
    const int k = 255 - s[3];
    d[0] = static_cast<uint8_t>((255 - s[2]) * k / 255);
    d[1] = static_cast<uint8_t>((255 - s[1]) * k / 255);
    d[2] = static_cast<uint8_t>((255 - s[0]) * k / 255);
}

}  // namespace

bool stamp_bitmap_layout(const Picture* p, StampBitmapLayout* l)
{
    *l = StampBitmapLayout{};
    if (!p->data || p->width < 1 || p->height < 1 || p->bits_per_component > 8) return false;
    int bits;
    ColourPositions pos;
    if (p->type == PIXEL_CMYK) bits = 32;
    else if (colour_positions(p->type, &pos)) bits = pos.extra >= 0 ? 32 : 24;
    else if (p->type == PIXEL_BINARY) bits = 1;
    else if ((p->type == PIXEL_GREY || p->type == PIXEL_COLORS) && p->components_per_pixel == 1 &&
             (p->bits_per_component == 4 || p->bits_per_component == 8))
        bits = p->bits_per_component;
    else return false;
    const uint64_t stride = (static_cast<uint64_t>(p->width) * bits + 31) / 32 * 4;
    if (stride * static_cast<uint64_t>(p->height) > 0x7FFFFFFFu) return false;
    // A picture's line must hold at least the bytes the bitmap row copies.
    const uint64_t row_bytes = (static_cast<uint64_t>(p->width) * (bits == 32 || bits == 24 ? p->bytes_per_pixel * 8 : bits) + 7) / 8;
    if (static_cast<uint64_t>(p->bytes_per_line) < row_bytes) return false;
    l->width = p->width;
    l->height = p->height;
    l->bit_count = bits;
    l->stride = static_cast<int32_t>(stride);
    if (bits <= 8) {
        l->colours = 1 << bits;
        for (int i = 0; i < l->colours; ++i) {
            uint32_t r, g, b;
            if (p->type == PIXEL_BINARY) {
                r = g = b = i ? 255u : 0u;  // a set bit is white
            } else if (p->type == PIXEL_COLORS && p->colour_map) {
                r = p->colour_map[i];
                g = p->colour_map[256 + i];
                b = p->colour_map[512 + i];
            } else {
                // Grey levels spread over the whole range whatever the depth.
                r = g = b = static_cast<uint32_t>(i * 255 / (l->colours - 1));
            }
            l->table[i] = (r << 16) | (g << 8) | b;
        }
    }
    return true;
}

void stamp_picture_to_bitmap(const Picture* p, const StampBitmapLayout& l, uint8_t* bits)
{
    if (copies_as_block(p, l)) {
        std::memcpy(bits, p->data, static_cast<size_t>(l.stride) * l.height);
        return;
    }
    ColourPositions pos;
    const bool colour = colour_positions(p->type, &pos);
    const int n = p->bytes_per_pixel;
    for (int r = 0; r < l.height; ++r) {
        const uint8_t* src = picture_line(p, picture_line_of_row(p, r));
        uint8_t* dst = bits + static_cast<size_t>(r) * l.stride;
        if (l.bit_count <= 8) {
            std::memcpy(dst, src, std::min<size_t>(static_cast<size_t>(p->bytes_per_line), l.stride));
        } else if (p->type == PIXEL_CMYK) {
            for (int x = 0; x < l.width; ++x, src += n, dst += 4) {
                cmyk_to_bgr(src, dst);
                dst[3] = 0;
            }
        } else if (colour) {
            const int step = l.bit_count / 8;
            for (int x = 0; x < l.width; ++x, src += n, dst += step) {
                dst[0] = src[pos.blue];
                dst[1] = src[pos.green];
                dst[2] = src[pos.red];
                if (step == 4) dst[3] = src[pos.extra];
            }
        }
    }
}

void stamp_bitmap_to_picture(const uint8_t* bits, const StampBitmapLayout& l, Picture* p)
{
    ColourPositions pos;
    const bool colour = colour_positions(p->type, &pos);
    if (copies_as_block(p, l) && l.bit_count <= 8) {
        std::memcpy(p->data, bits, static_cast<size_t>(l.stride) * l.height);
        return;
    }
    const int n = p->bytes_per_pixel;
    for (int r = 0; r < l.height; ++r) {
        uint8_t* dst = picture_line(p, picture_line_of_row(p, r));
        const uint8_t* src = bits + static_cast<size_t>(r) * l.stride;
        if (l.bit_count <= 8) {
            // Only the row's own bytes: the picture's padding stays as it was.
            const size_t row = (static_cast<size_t>(l.width) * l.bit_count + 7) / 8;
            std::memcpy(dst, src, std::min<size_t>(row, static_cast<size_t>(p->bytes_per_line)));
        } else if (p->type == PIXEL_CMYK) {
            for (int x = 0; x < l.width; ++x, dst += n, src += 4) {
                uint8_t shown[3];
                cmyk_to_bgr(dst, shown);
                if (shown[0] == src[0] && shown[1] == src[1] && shown[2] == src[2]) continue;
                dst[0] = static_cast<uint8_t>(255 - src[2]);
                dst[1] = static_cast<uint8_t>(255 - src[1]);
                dst[2] = static_cast<uint8_t>(255 - src[0]);
                dst[3] = 0;
            }
        } else if (colour) {
            // GDI may clear the fourth byte where it draws: the picture keeps its own alpha.
            const int step = l.bit_count / 8;
            for (int x = 0; x < l.width; ++x, dst += n, src += step) {
                dst[pos.blue] = src[0];
                dst[pos.green] = src[1];
                dst[pos.red] = src[2];
            }
        }
    }
}
