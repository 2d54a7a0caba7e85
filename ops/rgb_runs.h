// Runs of colour pixels read as red, green and blue: their luminance, and their sepia tones.
// Both pick a vector loop on machines that have one.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ops/luminance.h"

// Pixels of 3 or 4 bytes with red, green and blue at `at`.
struct RgbLayout {
    int pixel_bytes;
    RgbPositions at;
};

// The luminance of each pixel, one byte each, into `out`.
void luminance_run(const uint8_t* from, uint8_t* out, size_t pixels, const RgbLayout& layout);

// Red = min(L + red_lift, 255), green = min(L + green_lift, 255), blue = L, a fourth byte kept.
// `from` and `to` may be the same run but must not otherwise overlap.
void sepia_run(const uint8_t* from, uint8_t* to, size_t pixels, const RgbLayout& layout, uint8_t red_lift,
               uint8_t green_lift);

// The same without vector instructions, for machines without them and for the tests.
void luminance_run_portable(const uint8_t* from, uint8_t* out, size_t pixels, const RgbLayout& layout);
void sepia_run_portable(const uint8_t* from, uint8_t* to, size_t pixels, const RgbLayout& layout, uint8_t red_lift,
                        uint8_t green_lift);
