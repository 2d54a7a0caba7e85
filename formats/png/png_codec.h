// Portable Network Graphics, through libpng over the library's streams.
#pragma once

#include "core/format.h"
#include "core/load.h"
#include "core/save.h"

// The eight signature bytes, which libpng checks in full.
bool png_signature(const uint8_t* head, size_t size);
Status png_read(Stream* stream, LoadContext* context);
Status png_write(const char* file_name, SaveContext* context);
void png_writable_types(WritableType list[FORMAT_WRITABLE_MAX]);

// The writer's three options live in words of SaveParams kept for writers.
enum : uint16_t {
    PNG_SAVE_FILTER_DEFAULT = 0,  // libpng's own choice
    PNG_SAVE_FILTER_SUB = 1,
    PNG_SAVE_FILTER_UP = 2,
    PNG_SAVE_FILTER_AVERAGE = 3,
    PNG_SAVE_FILTER_PAETH = 4,
    PNG_SAVE_FILTER_ALL = 5,
};
inline void png_set_save_options(SaveParams* params, int level, uint16_t filter, bool interlace)
{
    params->reserved_80 = static_cast<uint16_t>(level);
    params->reserved_142 = filter;
    params->reserved_120 = interlace ? 1 : 0;
}
inline int png_save_level(const SaveParams& params) { return params.reserved_80 > 9 ? 9 : params.reserved_80; }
inline uint16_t png_save_filter(const SaveParams& params) { return params.reserved_142; }
inline bool png_save_interlace(const SaveParams& params) { return params.reserved_120 != 0; }
