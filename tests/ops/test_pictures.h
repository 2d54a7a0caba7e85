// Small pictures for the operation tests, owned by a guard that frees them.
#pragma once

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "core/picture.h"

struct OwnedPicture {
    Picture p{};
    OwnedPicture() = default;
    OwnedPicture(const OwnedPicture&) = delete;
    OwnedPicture& operator=(const OwnedPicture&) = delete;
    ~OwnedPicture() { picture_free(&p); }
    Picture* operator->() { return &p; }
    Picture* get() { return &p; }
};

// A picture of random bytes (and, when colour-mapped, a random map). Padding 4 leaves spare bytes
// at the end of lines of odd widths.
inline void fill_random(OwnedPicture& out, uint32_t type, int width, int height, uint32_t seed)
{
    picture_alloc(&out.p, type, 4, width, height);
    std::mt19937 rng(seed);
    const uint64_t size = picture_data_size(&out.p);
    for (uint64_t i = 0; i < size; ++i) out.p.data[i] = static_cast<uint8_t>(rng());
    if (out.p.colour_map)
        for (size_t i = 0; i < COLOUR_MAP_BYTES; ++i) out.p.colour_map[i] = static_cast<uint8_t>(rng());
}

inline std::vector<uint8_t> pixel_bytes(const Picture& p)
{
    return std::vector<uint8_t>(p.data, p.data + picture_data_size(&p));
}

inline std::vector<uint8_t> map_bytes(const Picture& p)
{
    return p.colour_map ? std::vector<uint8_t>(p.colour_map, p.colour_map + COLOUR_MAP_BYTES) : std::vector<uint8_t>();
}

inline uint8_t at(const Picture& p, int x, int y, int k) { return picture_line(&p, y)[x * p.bytes_per_pixel + k]; }

// Every 8-bit type the colour operations take, with its byte count.
constexpr uint32_t kByteTypes[] = {PIXEL_GREY, PIXEL_RGB, PIXEL_BGR, PIXEL_RGBA, PIXEL_BGRA,
                                    PIXEL_ABGR, PIXEL_ARGB, PIXEL_CMYK};
