// TIFF: reading any page of a file (strips or tiles, every common compression) and writing one
// page with one of eight compressions.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/format.h"
#include "core/load.h"
#include "core/save.h"

Status tiff_read(Stream* stream, LoadContext* context);
// The same under a caller's format label (PDF pages rendered to TIFF, previews inside EPS files).
Status tiff_read_labelled(Stream* stream, LoadContext* context, const char* label);
Status tiff_write(const char* file_name, SaveContext* context);
void tiff_writable_types(WritableType list[FORMAT_WRITABLE_MAX]);

// False only when the first bytes are certainly not a TIFF header.
bool tiff_signature(const uint8_t* head, size_t size);

// The writer's compression choice.
enum : uint16_t {
    TIFF_SAVE_NONE = 0,
    TIFF_SAVE_PACKBITS = 1,
    TIFF_SAVE_LZW = 2,
    TIFF_SAVE_LZW_PREDICTOR = 3,
    TIFF_SAVE_DEFLATE = 4,
    TIFF_SAVE_G3_OR_JPEG = 5,  // CCITT T.4 for bilevel pictures, JPEG for grey and truecolour
    TIFF_SAVE_G3_2D = 6,
    TIFF_SAVE_G4 = 7,
};

// The options live in words of SaveParams kept for writers.
inline void tiff_set_save_options(SaveParams* params, uint16_t compression, bool one_strip)
{
    params->reserved_98 = compression;
    params->reserved_100 = one_strip ? 1 : 0;
}
inline uint16_t tiff_save_compression(const SaveParams& params) { return params.reserved_98; }
inline bool tiff_save_one_strip(const SaveParams& params) { return params.reserved_100 != 0; }
