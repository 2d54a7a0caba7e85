// Pictures for the operation tests: owned records, patterned content and plain pixel access.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "core/picture.h"
#include "support/owned.h"

// Every type an operation must handle, with its bits per component.
struct TypeCase {
    uint32_t type;
    int bits;
};
inline const std::vector<TypeCase>& all_type_cases()
{
    static const std::vector<TypeCase> cases = {{PIXEL_BINARY, 1}, {PIXEL_GREY, 8},  {PIXEL_COLORS, 8}, {PIXEL_RGB, 8},
                                                {PIXEL_BGR, 8},    {PIXEL_RGBA, 8},  {PIXEL_ABGR, 8},   {PIXEL_CMYK, 8},
                                                {PIXEL_RGB, 16},   {PIXEL_GREY, 16}, {PIXEL_RGBA, 16}};
    return cases;
}

// A picture whose every byte (every bit for bilevel) depends on its position, padding filled with
// a marker so that reads past the pixels show. Colour-mapped pictures get a map of their own.
inline void make_patterned(Owned& o, uint32_t type, int width, int height, int bits = 8, int padding = 4, uint32_t seed = 1)
{
    ASSERT_EQ(picture_alloc_depth(&o.p, type, padding, width, height, bits), 1);
    uint32_t state = seed * 2654435761u + 12345u;
    auto next = [&] {
        state = state * 1103515245u + 12345u;
        return static_cast<uint8_t>(state >> 16);
    };
    for (int y = 0; y < height; ++y) {
        uint8_t* line = picture_line(&o.p, y);
        for (int b = 0; b < o.p.bytes_per_line; ++b) line[b] = next();
    }
    if (o.p.colour_map)
        for (size_t i = 0; i < COLOUR_MAP_BYTES; ++i) o.p.colour_map[i] = static_cast<uint8_t>(i * 7 + 3);
    o.p.x_dpi = 300;
    o.p.y_dpi = 200;
}

// The bytes of pixel (x, y) of stored line y; for bilevel, the one bit.
inline std::vector<uint8_t> pixel_at(const Picture& p, int x, int y)
{
    const uint8_t* line = picture_line(&p, y);
    if (p.type == PIXEL_BINARY) return {static_cast<uint8_t>(bit_get(line, x))};
    return std::vector<uint8_t>(line + static_cast<size_t>(x) * p.bytes_per_pixel,
                                line + static_cast<size_t>(x + 1) * p.bytes_per_pixel);
}

// Pixel (x, y) as displayed, whatever the line order.
inline std::vector<uint8_t> shown_at(const Picture& p, int x, int y)
{
    return pixel_at(p, x, (p.origin & PICTURE_ORIGIN_BOTTOM) ? p.height - 1 - y : y);
}

// Whole pictures equal pixel by pixel (padding ignored), with the layout fields.
inline ::testing::AssertionResult same_pixels(const Picture& a, const Picture& b)
{
    if (a.width != b.width || a.height != b.height || a.type != b.type || a.bytes_per_pixel != b.bytes_per_pixel)
        return ::testing::AssertionFailure() << a.width << "x" << a.height << " type " << a.type << " against " << b.width
                                             << "x" << b.height << " type " << b.type;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            if (pixel_at(a, x, y) != pixel_at(b, x, y))
                return ::testing::AssertionFailure() << "pixel " << x << "," << y << " differs";
    return ::testing::AssertionSuccess();
}

// The bytes of a picture's blocks, to prove a failing call changed nothing.
inline std::vector<uint8_t> snapshot(const Picture& p)
{
    std::vector<uint8_t> s(reinterpret_cast<const uint8_t*>(&p), reinterpret_cast<const uint8_t*>(&p) + sizeof p);
    if (p.data) s.insert(s.end(), p.data, p.data + picture_data_size(&p));
    if (p.colour_map) s.insert(s.end(), p.colour_map, p.colour_map + COLOUR_MAP_BYTES);
    return s;
}
