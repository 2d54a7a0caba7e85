// Small pictures built for the colour-depth tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "core/picture.h"
#include "support/owned.h"

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};

// An RGB picture whose pixel (x, y) is colour(x, y).
inline void make_rgb(Owned& o, int width, int height, const std::function<Rgb(int, int)>& colour, int padding = 4)
{
    picture_alloc(&o.p, PIXEL_RGB, padding, width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Rgb c = colour(x, y);
            uint8_t* px = picture_line(&o.p, y) + 3 * x;
            px[0] = c.r, px[1] = c.g, px[2] = c.b;
        }
}

// A one-byte picture (grey or colour-mapped) whose byte at (x, y) is value(x, y).
inline void make_bytes(Owned& o, uint16_t type, int width, int height, const std::function<int(int, int)>& value)
{
    picture_alloc(&o.p, type, 4, width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) picture_line(&o.p, y)[x] = static_cast<uint8_t>(value(x, y));
}

inline Rgb map_entry(const Picture& p, int index)
{
    return {p.colour_map[index], p.colour_map[256 + index], p.colour_map[512 + index]};
}

inline Rgb rgb_at(const Picture& p, int x, int y)
{
    const uint8_t* px = picture_line(&p, y) + 3 * x;
    return {px[0], px[1], px[2]};
}

inline std::vector<uint8_t> bytes_of(const Picture& p)
{
    return std::vector<uint8_t>(p.data, p.data + picture_data_size(&p));
}

// A smooth photo-like colour field with a little noise: many distinct colours.
inline Rgb photo_like(int x, int y)
{
    const unsigned n = (static_cast<unsigned>(x) * 2654435761u) ^ (static_cast<unsigned>(y) * 40503u);
    const int noise = static_cast<int>((n >> 13) & 15) - 8;
    auto clampc = [](int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
    return {clampc(x * 4 + noise), clampc(y * 3 + noise / 2), clampc(255 - x * 2 - y * 2 + noise)};
}
