#include "cli/inspect.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// 16-bit samples are stored in host order with `bits` significant bits.
uint8_t sample8(const uint8_t* p, int index, int bits)
{
    if (bits <= 8) return p[index];
    uint16_t v;
    std::memcpy(&v, p + 2 * index, 2);
    const uint32_t max = (1u << bits) - 1;
    if (v > max) v = static_cast<uint16_t>(max);
    return static_cast<uint8_t>((v * 255u + max / 2) / max);
}

void pixel_rgba(const Picture& pic, const uint8_t* line, int x, uint8_t out[4])
{
    out[3] = 255;
    const int bits = pic.bits_per_component;
    switch (pic.type) {
    case PIXEL_BINARY:
        out[0] = out[1] = out[2] = bit_get(line, x) ? 255 : 0;
        return;
    case PIXEL_COLORS: {
        const uint8_t i = line[x];
        if (pic.colour_map) {
            out[0] = pic.colour_map[i];
            out[1] = pic.colour_map[256 + i];
            out[2] = pic.colour_map[512 + i];
        } else {
            out[0] = out[1] = out[2] = i;
        }
        if (i == pic.transparent_index) out[3] = 0;
        return;
    }
    default: break;
    }
    const uint8_t* p = line + static_cast<size_t>(x) * pic.bytes_per_pixel;
    const int n = pic.components_per_pixel;
    uint8_t s[4] = {0, 0, 0, 0};
    for (int c = 0; c < n && c < 4; ++c) s[c] = sample8(p, c, bits);
    switch (pic.type) {
    case PIXEL_RGB: out[0] = s[0]; out[1] = s[1]; out[2] = s[2]; return;
    case PIXEL_BGR: out[0] = s[2]; out[1] = s[1]; out[2] = s[0]; return;
    case PIXEL_RGBA: out[0] = s[0]; out[1] = s[1]; out[2] = s[2]; out[3] = s[3]; return;
    case PIXEL_ABGR: out[0] = s[3]; out[1] = s[2]; out[2] = s[1]; out[3] = s[0]; return;
    case PIXEL_BGRA: out[0] = s[2]; out[1] = s[1]; out[2] = s[0]; out[3] = s[3]; return;
    case PIXEL_ARGB: out[0] = s[1]; out[1] = s[2]; out[2] = s[3]; out[3] = s[0]; return;
    case PIXEL_CMYK:
        for (int c = 0; c < 3; ++c) out[c] = static_cast<uint8_t>((255 - s[c]) * (255 - s[3]) / 255);
        return;
    default:
        // Grey and the file's own component layouts.
        if (n >= 3) {
            out[0] = s[0]; out[1] = s[1]; out[2] = s[2];
            if (n >= 4) out[3] = s[3];
        } else {
            // Grey pictures of C levels (colour_used) hold 0 to C - 1.
            uint8_t g = s[0];
            if (pic.type == PIXEL_GREY && bits <= 8 && pic.colour_used > 1 && pic.colour_used < 256)
                g = static_cast<uint8_t>(std::min<int>(g, pic.colour_used - 1) * 255 / (pic.colour_used - 1));
            out[0] = out[1] = out[2] = g;
            if (n == 2) out[3] = s[1];
        }
        return;
    }
}

struct Sha256 {
    uint32_t h[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                     0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    uint8_t block[64];
    size_t used = 0;
    uint64_t total = 0;

    static uint32_t rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

    void compress(const uint8_t* b)
    {
        static const uint32_t k[64] = {
            0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
            0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
            0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
            0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
            0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
            0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
            0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
            0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};
        uint32_t w[64];
        for (int i = 0; i < 16; ++i)
            w[i] = uint32_t{b[4 * i]} << 24 | uint32_t{b[4 * i + 1]} << 16 | uint32_t{b[4 * i + 2]} << 8 | b[4 * i + 3];
        for (int i = 16; i < 64; ++i) {
            const uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        uint32_t a = h[0], bb = h[1], c = h[2], d = h[3], e = h[4], f = h[5], g = h[6], hh = h[7];
        for (int i = 0; i < 64; ++i) {
            const uint32_t t1 = hh + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) + k[i] + w[i];
            const uint32_t t2 = (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & bb) ^ (a & c) ^ (bb & c));
            hh = g; g = f; f = e; e = d + t1; d = c; c = bb; bb = a; a = t1 + t2;
        }
        h[0] += a; h[1] += bb; h[2] += c; h[3] += d; h[4] += e; h[5] += f; h[6] += g; h[7] += hh;
    }

    void update(const uint8_t* p, size_t n)
    {
        total += n;
        while (n > 0) {
            const size_t take = n < 64 - used ? n : 64 - used;
            std::memcpy(block + used, p, take);
            used += take; p += take; n -= take;
            if (used == 64) { compress(block); used = 0; }
        }
    }

    std::string hex()
    {
        const uint64_t bits = total * 8;
        const uint8_t one = 0x80, zero = 0;
        update(&one, 1);
        while (used != 56) update(&zero, 1);
        uint8_t len[8];
        for (int i = 0; i < 8; ++i) len[i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
        update(len, 8);
        char out[65];
        for (int i = 0; i < 8; ++i) std::snprintf(out + 8 * i, 9, "%08x", h[i]);
        return std::string(out, 64);
    }
};

}  // namespace

std::vector<uint8_t> picture_to_rgba(const Picture& pic)
{
    std::vector<uint8_t> out;
    if (!pic.data || pic.width < 1 || pic.height < 1) return out;
    out.resize(static_cast<size_t>(pic.width) * pic.height * 4);
    const bool bottom_up = pic.origin & PICTURE_ORIGIN_BOTTOM;
    const bool right_to_left = pic.origin & PICTURE_ORIGIN_RIGHT_TO_LEFT;
    uint8_t* o = out.data();
    for (int y = 0; y < pic.height; ++y) {
        const uint8_t* line = picture_line(&pic, bottom_up ? pic.height - 1 - y : y);
        for (int x = 0; x < pic.width; ++x, o += 4)
            pixel_rgba(pic, line, right_to_left ? pic.width - 1 - x : x, o);
    }
    return out;
}

std::string sha256_hex(const uint8_t* bytes, size_t size)
{
    Sha256 sha;
    sha.update(bytes, size);
    return sha.hex();
}

std::string picture_rgba_sha256(const Picture& picture)
{
    const std::vector<uint8_t> rgba = picture_to_rgba(picture);
    return sha256_hex(rgba.data(), rgba.size());
}
