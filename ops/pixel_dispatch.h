// Loops specialised on the pixel width, picked once per call. Operations that only move whole
// pixels (flips, turns, crops, nearest-pixel scaling) write their loop once as a template on the
// width and hand it to with_pixel_width, so the inner loop never branches on the pixel type.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "core/status.h"

// N bytes moved as one value; N is 1, 2, 3, 4, 6 or 8 (8- and 16-bit components).
template <int N>
struct PixelBytes {
    uint8_t b[N];
};

template <int N>
inline void pixel_move(uint8_t* to, const uint8_t* from)
{
    std::memcpy(to, from, N);
}

inline bool pixel_width_known(int bytes_per_pixel)
{
    return bytes_per_pixel == 1 || bytes_per_pixel == 2 || bytes_per_pixel == 3 || bytes_per_pixel == 4 ||
           bytes_per_pixel == 6 || bytes_per_pixel == 8;
}

// Calls fn(std::integral_constant<int, N>{}) for the picture's bytes per pixel; widths that no
// picture has give STATUS_BAD_PARAMETER.
template <class Fn>
Status with_pixel_width(int bytes_per_pixel, Fn&& fn)
{
    switch (bytes_per_pixel) {
    case 1: fn(std::integral_constant<int, 1>{}); return STATUS_OK;
    case 2: fn(std::integral_constant<int, 2>{}); return STATUS_OK;
    case 3: fn(std::integral_constant<int, 3>{}); return STATUS_OK;
    case 4: fn(std::integral_constant<int, 4>{}); return STATUS_OK;
    case 6: fn(std::integral_constant<int, 6>{}); return STATUS_OK;
    case 8: fn(std::integral_constant<int, 8>{}); return STATUS_OK;
    default: return STATUS_BAD_PARAMETER;
    }
}

// Writes the `count` pixels of `from` to `to` in reverse order (a mirrored line). The common
// widths move several pixels per step. `to` and `from` must not overlap.
void pixels_reverse(uint8_t* to, const uint8_t* from, int64_t count, int bytes_per_pixel);

// Components of 8 or 16 bits (1, 3 or 4 of them) as compile-time types: fn(uint8_t or uint16_t
// sample, std::integral_constant<int, components>).
template <typename Fn>
void with_sample_layout(int components, bool deep, Fn&& fn)
{
    switch (components * (deep ? 10 : 1)) {
    case 1: fn(uint8_t{}, std::integral_constant<int, 1>{}); break;
    case 3: fn(uint8_t{}, std::integral_constant<int, 3>{}); break;
    case 4: fn(uint8_t{}, std::integral_constant<int, 4>{}); break;
    case 10: fn(uint16_t{}, std::integral_constant<int, 1>{}); break;
    case 30: fn(uint16_t{}, std::integral_constant<int, 3>{}); break;
    default: fn(uint16_t{}, std::integral_constant<int, 4>{}); break;
    }
}
