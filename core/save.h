// The saving pipeline: the mirror of loading. A writer declares the line layout it wants in a
// SaveHeader, calls save_begin, pulls converted lines with save_get_lines and ends with save_end.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/load.h"
#include "core/picture.h"
#include "core/status.h"

enum : uint32_t {
    SAVE_VERBOSE = 0x1,
    SAVE_SET_EXTENSION = 0x40,
    SAVE_RETURN_NAME = 0x80,
    SAVE_PROGRESS_DASHES = 0x100,
};

// Writer layout flags beyond the loading ones: bilevel lines with set bits black (the opposite of
// the picture's polarity), and a layout whose line callback must not stop the save.
enum : uint32_t {
    SAVE_LAYOUT_BILEVEL_SET_BLACK = 0x10000,
    SAVE_LAYOUT_NO_STOP = 0x200000,
};

// Field order and reserved bytes keep the offsets format plug-ins were built against
// (with 32-bit pointers).
struct SaveParams {
    int16_t format_index;
    uint16_t channel_order;  // set by save_begin: 0 RGB(A), 1 BGR/ABGR, 2 BGRA, 3 ARGB, 4 CMYK
    uint32_t flags;
    uint8_t reserved_8[4];
    void* line_callback_data;
    LineCallback line_callback;
    uint8_t reserved_20[56];
    uint16_t reserved_76;
    uint16_t quality;
    uint16_t reserved_80;
    uint16_t reserved_82;
    uint16_t smoothing;
    uint16_t dct_method;  // 1 fast integer, 2 floating point, else the default slow integer
    uint8_t write_exif;
    uint8_t write_iptc;
    uint8_t progressive;
    uint8_t reserved_91[3];
    uint8_t optimize;
    uint8_t reserved_95[3];
    uint16_t reserved_98;
    uint16_t reserved_100;
    uint8_t reserved_102[18];
    uint16_t reserved_120;
    uint16_t reserved_122;
    uint32_t reserved_124;
    uint32_t reserved_128;
    uint32_t reserved_132;
    uint16_t reserved_136;
    uint16_t reserved_138;
    uint16_t reserved_140;
    uint16_t reserved_142;
    uint16_t reserved_144;
    uint16_t reserved_146;
    uint8_t reserved_148[4];
};

struct SaveHeader {
    uint32_t layout_flags;
    uint16_t orientation;
    uint16_t lines_per_call;
    uint8_t* line_buffer;  // set by save_begin
    int16_t planes;
    int16_t bits_per_plane;
    int16_t component_bits;
    int16_t components;  // when 1 or more: that many components of component_bits each
    char label[144];
};

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(SaveParams) == 152);
static_assert(offsetof(SaveParams, line_callback) == 16);
static_assert(offsetof(SaveParams, quality) == 78);
static_assert(offsetof(SaveParams, dct_method) == 86);
static_assert(offsetof(SaveParams, optimize) == 94);
static_assert(offsetof(SaveParams, reserved_146) == 146);
static_assert(sizeof(SaveHeader) == 164);
#endif

struct SaveConversion;

struct SaveContext {
    SaveParams params;
    const char* file_name;
    const char* target_name;  // the name the file ends up under (file_name may be a temporary beside it)
    const Picture* picture;
    // The picture as writers see it: PIXEL_ANYCOLOR for colour pictures (CMYK marked apart),
    // bilevel, grey and colour-mapped keep their code.
    uint32_t type;
    int cmyk;
    int colour_used;
    int bits;  // bits per pixel for writers: 24, 32, or 8 and fewer
    int components;
    int width;
    int height;
    int x_dpi;
    int y_dpi;
    int transparent_index;
    const PictureChunk* chunks;
    const char* comment;
    uint32_t private_value;
    int line_bytes;        // bytes of one converted line (set by save_begin)
    const uint8_t* remap;  // 256 entries applied to 8-bit lines, or null
    SaveConversion* conversion;
};

void save_params_init(SaveParams* params);
void save_header_init(SaveHeader* header);
// Saves through the registry row params->format_index. With SAVE_RETURN_NAME the final name is
// copied into `returned_name` (when given, up to `returned_size` bytes with the terminator).
// The target is replaced only when the writer succeeded: a failed save leaves it as it was.
Status save_picture(const char* file_name, const Picture* picture, SaveParams* params,
                    char* returned_name = nullptr, size_t returned_size = 0);

Status save_begin(SaveContext* context, SaveHeader* header);
Status save_get_lines(SaveContext* context, int line, int count);
void save_end(SaveContext* context);
// 0 quality, 1 and 2 the reserved words at offsets 98 and 100.
int save_get_param(const SaveContext* context, int which);

// Bits per pixel a palette of n colours needs.
int bits_for_colours(int n);

// The name save_picture writes under SAVE_SET_EXTENSION: the old extension (unless it starts with
// a digit) replaced by `extension`.
void save_name_with_extension(const char* file_name, const char* extension, char* out, size_t size);
