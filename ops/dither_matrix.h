// Threshold matrices of the ordered dithers, and the split of a channel into dither levels.
#pragma once

#include <array>
#include <cstdint>

using Matrix16 = std::array<std::array<uint8_t, 16>, 16>;
using Matrix8 = std::array<std::array<uint8_t, 8>, 8>;
using Matrix6 = std::array<std::array<uint8_t, 6>, 6>;

// The recursive ordered matrix of values 0 ... 255: the matrix of size 2n holds the four
// quadrants 4M, 4M + 2 / 4M + 3, 4M + 1 of the one of size n. Its corner holds 1 instead of 0 so
// that black never lights a pixel.
constexpr Matrix16 make_bayer16()
{
    Matrix16 m{};
    for (int size = 1; size < 16; size *= 2) {
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const int v = 4 * m[y][x];
                m[y][x] = static_cast<uint8_t>(v);
                m[y][x + size] = static_cast<uint8_t>(v + 2);
                m[y + size][x] = static_cast<uint8_t>(v + 3);
                m[y + size][x + size] = static_cast<uint8_t>(v + 1);
            }
    }
    m[0][0] = 1;
    return m;
}

inline constexpr Matrix16 kBayer16 = make_bayer16();

// Clustered dot, values 1 ... 36.
inline constexpr Matrix6 kClustered6 = {{{30, 19, 13, 20, 31, 35},
                                         {18, 8, 5, 9, 21, 29},
                                         {12, 4, 1, 2, 10, 28},
                                         {17, 7, 3, 6, 14, 27},
                                         {26, 16, 11, 15, 22, 32},
                                         {34, 25, 24, 23, 33, 36}}};

// Dispersed, values 1 ... 36.
inline constexpr Matrix6 kDispersed6 = {{{15, 9, 17, 32, 22, 30},
                                         {7, 1, 3, 19, 35, 23},
                                         {13, 5, 11, 27, 26, 33},
                                         {31, 21, 29, 16, 10, 18},
                                         {20, 36, 24, 8, 2, 4},
                                         {28, 25, 34, 14, 6, 12}}};

// Multi-level ordered dither, compared with a position between two levels in 63rds.
inline constexpr Matrix8 kOrdered8 = {{{0, 38, 9, 47, 2, 40, 11, 50},
                                       {25, 12, 35, 22, 27, 15, 37, 24},
                                       {6, 44, 3, 41, 8, 47, 5, 43},
                                       {31, 19, 28, 15, 34, 21, 31, 18},
                                       {1, 39, 11, 49, 0, 39, 10, 48},
                                       {27, 14, 36, 23, 26, 13, 35, 23},
                                       {7, 46, 4, 43, 7, 45, 3, 42},
                                       {33, 20, 30, 17, 32, 19, 29, 16}}};

// For each value 0 ... 255 spread over `levels` (2 ... 256) steps: the level just below it
// (never the top one) and its position towards the next level in 63rds. A pixel takes the level
// above when its position exceeds the kOrdered8 entry.
struct DitherLevels {
    uint8_t low[256];
    uint8_t position[256];
};
void dither_levels(int levels, DitherLevels* out);
