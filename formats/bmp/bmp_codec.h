// Windows and OS/2 device-independent bitmaps.
#pragma once

#include "core/format.h"
#include "core/load.h"
#include "core/save.h"

// The info header's compression codes this codec knows.
enum : uint32_t {
    BMP_PLAIN = 0,
    BMP_RLE8 = 1,
    BMP_RLE4 = 2,
    BMP_BITFIELDS = 3,
    BMP_DXT1 = 0x31545844,  // "DXT1"
    BMP_DXT3 = 0x33545844,  // "DXT3"
};

// "BM", then a header length and compression the reader knows, as far as the head holds them.
bool bmp_signature(const uint8_t* head, size_t size);
Status bmp_read(Stream* stream, LoadContext* context);
Status bmp_write(const char* file_name, SaveContext* context);
void bmp_writable_types(WritableType list[FORMAT_WRITABLE_MAX]);

// The writer's two options live in words of SaveParams kept for writers.
inline void bmp_set_save_options(SaveParams* params, bool os2, bool rle)
{
    params->reserved_98 = os2 ? 1 : 0;
    params->reserved_100 = rle ? 1 : 0;
}
inline bool bmp_save_os2(const SaveParams& params) { return params.reserved_98 != 0; }
inline bool bmp_save_rle(const SaveParams& params) { return params.reserved_100 != 0; }
