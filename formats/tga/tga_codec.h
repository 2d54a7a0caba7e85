// Truevision Targa: colour-mapped, truecolour and grey images, raw or run-length encoded.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/format.h"
#include "core/load.h"
#include "core/save.h"

Status tga_read(Stream* stream, LoadContext* context);
Status tga_write(const char* file_name, SaveContext* context);
void tga_writable_types(WritableType list[FORMAT_WRITABLE_MAX]);
// The first bytes of a file: false only when it cannot be a Targa file (the format has no
// signature, so this checks the header's fields).
bool tga_signature(const uint8_t* head, size_t size);

// The writer's RLE option lives in the word of SaveParams that BMP's RLE option uses.
inline void tga_set_save_options(SaveParams* params, bool rle) { params->reserved_100 = rle ? 1 : 0; }
inline bool tga_save_rle(const SaveParams& params) { return params.reserved_100 != 0; }

// One line of `count` pixels of `pixel_bytes` bytes as Targa RLE packets (never crossing the
// line): runs of 2 to 128 equal pixels as 0x80 | (length - 1) and the pixel, other pixels in
// literal packets of up to 128. `out` needs count x (pixel_bytes + 1) bytes.
size_t tga_rle_encode(const uint8_t* line, int count, int pixel_bytes, uint8_t* out);
