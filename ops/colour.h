// Colour corrections: brightness, contrast and gamma, colour balance, the automatic contrast and
// levels, and sepia toning. All follow the calling convention of ops/op.h; all refuse pictures of
// more than 8 bits per component with STATUS_BAD_PARAMETER.
#pragma once

#include <cstdint>

#include "core/picture.h"

// One table: output value for each input value. Three tables: table k at offset 256 k, for byte
// k of each pixel (or plane k of a colour map).
constexpr int TABLE_SIZE = 256;

// Brightness, contrast (both clamped to -255..255 and -127..127) and gamma folded into one table.
// A gamma that is not above zero counts as 1.
void adjust_table(uint8_t table[TABLE_SIZE], int brightness, int contrast, double gamma);

// Remap the rectangle's pixels (or the colour map's entries in use) through one table, or byte k
// through table k. Bytes beyond the third of a 4-byte pixel are left. A grey picture of fewer
// than 256 levels has `table` re-expressed in its level numbers. Bilevel pictures are refused (17).
Status apply_table(Picture* source, Picture* destination, const Rect* rect, const uint8_t table[TABLE_SIZE]);
Status apply_tables(Picture* source, Picture* destination, const Rect* rect, const uint8_t tables[3 * TABLE_SIZE]);

Status image_adjust(Picture* source, Picture* destination, const Rect* rect, int brightness, int contrast,
                    double gamma);
// Offsets for the first, second and third byte of each pixel (red, green, blue for RGB; blue,
// green, red for BGR); grey pictures take only the first.
Status image_colour_balance(Picture* source, Picture* destination, const Rect* rect, int32_t offset0,
                            int32_t offset1, int32_t offset2);

// Histograms of the whole picture: the luminance of each pixel (one-byte pixels count their
// value), and one histogram per byte position (block k for byte k).
void luminance_histogram(const Picture* picture, uint32_t counters[256]);
void component_histograms(const Picture* picture, uint32_t counters[1024]);

struct ClipPoints {
    int low;
    int high;
};
// The values below and above which lie no more than a thousandth of `pixel_count`.
ClipPoints histogram_clip_points(const uint32_t histogram[256], uint64_t pixel_count);

// Both measure the whole picture and change the rectangle.
Status image_auto_contrast(Picture* source, Picture* destination, const Rect* rect);
Status image_auto_levels(Picture* source, Picture* destination, const Rect* rect);

// Brown-toned monochrome of colour pictures; strength in percent (100: red +64, green +32).
Status image_sepia(Picture* source, Picture* destination, const Rect* rect, int strength);
