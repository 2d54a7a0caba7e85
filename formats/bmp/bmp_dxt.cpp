#include "formats/bmp/bmp_dxt.h"

namespace {

struct Rgb {
    int r, g, b;
};

Rgb expand_565(unsigned c) { return {static_cast<int>((c >> 11) << 3), static_cast<int>(((c >> 5) & 63) << 2), static_cast<int>((c & 31) << 3)}; }

Rgb mix(const Rgb& a, int wa, const Rgb& b, int wb, int rounding, int divisor)
{
    return {(wa * a.r + wb * b.r + rounding) / divisor, (wa * a.g + wb * b.g + rounding) / divisor,
            (wa * a.b + wb * b.b + rounding) / divisor};
}

// The colour half of a block: four colours, the fourth clear when a DXT1 block says so.
void decode_colours(const uint8_t* block, bool one_bit_alpha, uint8_t out[64])
{
    const unsigned c0 = block[0] | block[1] << 8;
    const unsigned c1 = block[2] | block[3] << 8;
    Rgb colours[4];
    int alpha[4] = {255, 255, 255, 255};
    colours[0] = expand_565(c0);
    colours[1] = expand_565(c1);
    if (c0 > c1 || !one_bit_alpha) {
        colours[2] = mix(colours[0], 2, colours[1], 1, 1, 3);
        colours[3] = mix(colours[0], 1, colours[1], 2, 1, 3);
    } else {
        colours[2] = mix(colours[0], 1, colours[1], 1, 0, 2);
        colours[3] = mix(colours[0], 1, colours[1], 2, 1, 3);
        alpha[3] = 0;
    }
    const uint32_t indices = block[4] | block[5] << 8 | block[6] << 16 | static_cast<uint32_t>(block[7]) << 24;
    for (int i = 0; i < 16; ++i) {
        const int k = (indices >> (2 * i)) & 3;
        out[4 * i] = static_cast<uint8_t>(colours[k].r);
        out[4 * i + 1] = static_cast<uint8_t>(colours[k].g);
        out[4 * i + 2] = static_cast<uint8_t>(colours[k].b);
        out[4 * i + 3] = static_cast<uint8_t>(alpha[k]);
    }
}

}  // namespace

void dxt1_decode_block(const uint8_t block[DXT1_BLOCK_BYTES], uint8_t out[64]) { decode_colours(block, true, out); }

void dxt3_decode_block(const uint8_t block[DXT3_BLOCK_BYTES], uint8_t out[64])
{
    decode_colours(block + 8, false, out);
    for (int i = 0; i < 16; ++i) {
        const int a = (block[i / 2] >> ((i & 1) * 4)) & 15;
        out[4 * i + 3] = static_cast<uint8_t>(a * 16 + a);
    }
}
