// The in-memory picture record shared by every part of the library and the program.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/status.h"

enum : uint16_t {
    PIXEL_BINARY = 1,
    PIXEL_GREY = 2,
    PIXEL_COLORS = 4,
    PIXEL_RGB = 16,
    PIXEL_RGBA = 32,
    PIXEL_BGR = 64,
    PIXEL_ABGR = 128,
    PIXEL_BGRA = 256,
    PIXEL_ARGB = 512,
    PIXEL_CMYK = 1024,
    PIXEL_NATIVE = 2048,
    PIXEL_NATIVE_RGBA = 4096,

    // Request masks: a type is three-component when type & PIXEL_ANY24, four-component when
    // type & PIXEL_ANY32.
    PIXEL_ANY24 = 80,
    PIXEL_ANY32 = 1952,
    PIXEL_ANYCOLOR = 2032,
};

enum : uint16_t {
    PICTURE_ORIGIN_RIGHT_TO_LEFT = 0x01,
    PICTURE_ORIGIN_BOTTOM = 0x10,
};

enum : uint32_t {
    CHUNK_EXIF = 1,
    CHUNK_IPTC = 2,
};

constexpr uint16_t NO_TRANSPARENT_INDEX = 65535;
constexpr size_t COLOUR_MAP_BYTES = 1024;

struct PictureChunk {
    uint32_t kind;
    uint32_t size;
    uint8_t* bytes;
    PictureChunk* next;
};

struct Picture {
    int32_t width;
    int32_t height;
    int32_t bytes_per_line;
    uint16_t type;
    uint16_t bytes_per_pixel;
    uint16_t bits_per_component;
    uint16_t components_per_pixel;
    uint16_t line_padding;
    uint16_t origin;
    int32_t x_dpi;
    int32_t y_dpi;
    int16_t colour_used;
    uint16_t transparent_index;
    uint8_t* colour_map;  // planar: red 0..255, green 256..511, blue 512..767, fourth byte 768..1023
    uint8_t* data;
    PictureChunk* chunks;
    char* comment;
};

struct Rect {
    int32_t x;
    int32_t y;
    int32_t w;
    int32_t h;
};

inline bool pixel_is_three_component(uint32_t type) { return (type & PIXEL_ANY24) != 0; }
inline bool pixel_is_four_component(uint32_t type) { return (type & PIXEL_ANY32) != 0; }

// Layout and allocation. Both return 1 on success and 0 when the pixel block cannot be had,
// including sizes whose byte count would overflow.
int picture_alloc(Picture* picture, uint32_t type, int line_padding, int width, int height);
int picture_alloc_depth(Picture* picture, uint32_t type, int line_padding, int width, int height,
                        int bits);
// Returns 0 on success and 1 when the allocation failed.
int picture_alloc_like(Picture* destination, uint32_t type, const Picture* source);
void picture_free(Picture* picture);
void picture_copy_extras(Picture* destination, const Picture* source);
// Returns 0 on success (or when there is no destination) and 1 when the allocation failed.
int picture_clone(const Picture* source, Picture* destination);
Status picture_crop(Picture* picture, Picture* destination, const Rect* rect);
Status rect_clip(const Picture* picture, const Rect* rect, Rect* result);

// Byte size of the pixel block, computed in 64 bits.
inline uint64_t picture_data_size(const Picture* p)
{
    return p->height > 0 && p->bytes_per_line > 0
               ? static_cast<uint64_t>(p->height) * static_cast<uint64_t>(p->bytes_per_line)
               : 0;
}

// Stored line `y` (line 0 is the first line in `data`).
inline uint8_t* picture_line(const Picture* p, int y)
{
    return p->data + static_cast<ptrdiff_t>(y) * p->bytes_per_line;
}

// Bilevel lines: bit 7 of byte 0 is the leftmost pixel; a set bit is white.
inline int bit_get(const uint8_t* line, int x) { return (line[x >> 3] >> (7 - (x & 7))) & 1; }
inline void bit_or(uint8_t* line, int x, int value)
{
    line[x >> 3] = static_cast<uint8_t>(line[x >> 3] | (value << (7 - (x & 7))));
}
inline void bit_put(uint8_t* line, int x, int value)
{
    const int shift = 7 - (x & 7);
    line[x >> 3] = static_cast<uint8_t>((line[x >> 3] & ~(1 << shift)) | ((value & 1) << shift));
}

// Chunk list helpers shared by the pipelines.
PictureChunk* chunk_list_copy(const PictureChunk* source);
void chunk_list_free(PictureChunk* head);
