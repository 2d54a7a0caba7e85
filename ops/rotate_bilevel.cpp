// Quarter and half turns of bilevel pictures 32 × 32 bits at a time, for lines that are whole
// 32-bit words. Each word holds 32 pixels, the leftmost in its most significant bit.
#include "ops/geometry.h"
#include "ops/scratch.h"

namespace {

inline uint32_t load_word(const uint8_t* p)
{
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

inline void store_word(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

// Transposes a 32 × 32 bit matrix, row i in a[i] with column 0 in the most significant bit, by
// swapping ever smaller blocks under masks.
void transpose32(uint32_t a[32])
{
    uint32_t m = 0x0000FFFFu;
    for (int j = 16; j != 0; j >>= 1, m ^= m << j) {
        for (int k = 0; k < 32; k = (k + j + 1) & ~j) {
            const uint32_t t = (a[k] ^ (a[k + j] >> j)) & m;
            a[k] ^= t;
            a[k + j] ^= t << j;
        }
    }
}

inline uint32_t reverse32(uint32_t v)
{
    v = ((v >> 1) & 0x55555555u) | ((v & 0x55555555u) << 1);
    v = ((v >> 2) & 0x33333333u) | ((v & 0x33333333u) << 2);
    v = ((v >> 4) & 0x0F0F0F0Fu) | ((v & 0x0F0F0F0Fu) << 4);
    v = ((v >> 8) & 0x00FF00FFu) | ((v & 0x00FF00FFu) << 8);
    return (v >> 16) | (v << 16);
}

// The pixels of word `word` of a line `width` pixels wide; bits past the line's end read as 0.
inline uint32_t word_mask(int width, int word)
{
    const int left = width - 32 * word;
    return left >= 32 ? 0xFFFFFFFFu : ~(0xFFFFFFFFu >> left);
}

}  // namespace

bool bilevel_tiles_apply(const Picture* source)
{
    return source->data && source->type == PIXEL_BINARY && source->line_padding == 4 &&
           int64_t{source->bytes_per_line} == ((int64_t{source->width} + 31) / 32) * 4;
}

Status bilevel_rotate_90_tiles(Picture* source, Picture* destination, int direction)
{
    if (!bilevel_tiles_apply(source)) return STATUS_BAD_PARAMETER;
    const bool clockwise = direction >= 1;
    const int w = source->width, h = source->height;
    Picture out{};
    LUM_TRY(op_result_alloc(source, &out, h, w));
    const int source_words = (w + 31) / 32, out_words = (h + 31) / 32;
    uint32_t tile[32];
    for (int k = 0; k < out_words; ++k) {      // block of 32 new columns = 32 source lines
        for (int bx = 0; bx < source_words; ++bx) {  // block of 32 source columns = 32 new lines
            const uint32_t mask = word_mask(w, bx);
            for (int i = 0; i < 32; ++i) {
                // New column k*32+i comes from source line h-1-(k*32+i) clockwise, k*32+i otherwise.
                const int y = clockwise ? h - 1 - (32 * k + i) : 32 * k + i;
                tile[i] = (y >= 0 && y < h) ? load_word(picture_line(source, y) + 4 * bx) & mask : 0;
            }
            transpose32(tile);
            for (int j = 0; j < 32; ++j) {
                const int x = 32 * bx + j;
                if (x >= w) break;
                store_word(picture_line(&out, clockwise ? x : w - 1 - x) + 4 * k, tile[j]);
            }
        }
    }
    op_deliver(source, destination, &out);
    return STATUS_OK;
}

Status bilevel_rotate_180_tiles(Picture* source, Picture* destination)
{
    if (!bilevel_tiles_apply(source)) return STATUS_BAD_PARAMETER;
    const int w = source->width, h = source->height;
    Picture out{};
    LUM_TRY(op_result_alloc(source, &out, w, h));
    const int words = (w + 31) / 32;
    const int shift = 32 * words - w;  // the mirrored line starts this many bits in
    Scratch<uint32_t> mirrored;
    if (!mirrored.alloc(static_cast<uint64_t>(words) + 1)) {
        picture_free(&out);
        return STATUS_NO_MEMORY;
    }
    for (int r = 0; r < h; ++r) {
        const uint8_t* from = picture_line(source, h - 1 - r);
        for (int m = 0; m < words; ++m) mirrored[m] = reverse32(load_word(from + 4 * (words - 1 - m)));
        uint8_t* to = picture_line(&out, r);
        for (int m = 0; m < words; ++m) {
            const uint32_t v = shift ? (mirrored[m] << shift) | (mirrored[m + 1] >> (32 - shift)) : mirrored[m];
            store_word(to + 4 * m, v);
        }
    }
    op_deliver(source, destination, &out);
    return STATUS_OK;
}
