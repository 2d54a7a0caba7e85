// What the colour-depth families share: reading any source as colours or grey values, and the
// families' entry points behind image_change_depth.
#pragma once

#include <cstdint>

#include "core/picture.h"

// Byte positions of red, green, blue and alpha (-1: none) in a true-colour pixel of `stride` bytes.
struct ColourLayout {
    int red, green, blue, alpha, stride;
};
// False for types that are not one of the six true-colour byte orders.
bool colour_layout(uint32_t type, ColourLayout* out);

// True when the record describes 8-bit (or bilevel) pixels whose lines are long enough for its
// width; deeper pictures are first narrowed with picture_narrow_to_8_bits.
bool picture_readable_8_bits(const Picture* picture);
// Scales every sample of a picture of 9 to 16 bits per component (host-order 16-bit words) to
// 8 bits, in a new record of the same type with the same extras.
Status picture_narrow_to_8_bits(const Picture* source, Picture* narrow);

struct SourceReader;
using GreyLineFn = void (*)(const SourceReader& reader, const uint8_t* line, uint8_t* grey);
using RgbLineFn = void (*)(const SourceReader& reader, const uint8_t* line, uint8_t* rgb);
// The grey values of a line of one of the six true-colour byte orders, null for other types:
// the fastest loop this processor runs, or a chosen one (null when the processor lacks it).
GreyLineFn colour_grey_line(uint32_t type);
enum GreyLineKind { GREY_LINE_PORTABLE, GREY_LINE_SSSE3, GREY_LINE_AVX2 };
GreyLineFn colour_grey_line_of(uint32_t type, GreyLineKind kind);

// Reads the lines of an 8-bit picture of any type as RGB triplets or grey values 0 ... 255, the
// conversion chosen once for the picture.
struct SourceReader {
    const Picture* picture;
    int width;
    // Grey and colour-mapped sources (and the two values of a bilevel one): the colour and grey
    // value of each byte value.
    uint8_t red[256], green[256], blue[256], grey[256];
    ColourLayout layout;
    RgbLineFn to_rgb;
    GreyLineFn to_grey;
};
// STATUS_BAD_PARAMETER for a type it cannot read or a colour-mapped picture without its map.
Status source_reader_init(SourceReader* reader, const Picture* picture);
// Line y as RGB triplets: the stored line itself for PIXEL_RGB, else converted into `buffer`
// (3 x width bytes).
const uint8_t* source_rgb_line(const SourceReader& reader, int y, uint8_t* buffer);
inline void source_grey_line(const SourceReader& reader, int y, uint8_t* grey)
{
    reader.to_grey(reader, picture_line(reader.picture, y), grey);
}
inline bool source_is_one_byte(const SourceReader& reader)
{
    return reader.picture->type == PIXEL_GREY || reader.picture->type == PIXEL_COLORS;
}

// Level ramp: spreads n input steps over 0 ... m - 1.
inline int ramp(int n, int m, int i) { return i * (m - 1) / (n - 1); }
// Number of levels of a grey picture: its colour_used when that is usable, else 256.
int grey_levels(const Picture* picture);

// The families. Each allocates `result` itself; on failure the caller frees it.
Status depth_to_bilevel(const SourceReader& source, int method, Picture* result);
Status depth_to_grey(const SourceReader& source, int levels, bool dither, Picture* result);
Status depth_to_palette(const SourceReader& source, int colours, int dither, Picture* result);
Status depth_to_true_colour(const SourceReader& source, uint32_t type, Picture* result);
// Median cut into `result`, already allocated as PIXEL_COLORS at the source's size.
Status median_cut_map(const SourceReader& source, int colours, bool diffuse, Picture* result);
