// ZSoft PCX: 1 to 8 planes of 1 to 8 bits, RLE or raw, and the DCX files that gather PCX pages.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/format.h"
#include "core/load.h"
#include "core/save.h"

Status pcx_read(Stream* stream, LoadContext* context);
Status pcx_write(const char* file_name, SaveContext* context);
void pcx_writable_types(WritableType list[FORMAT_WRITABLE_MAX]);
// The first bytes of a file: false only when it cannot be a PCX or DCX file.
bool pcx_signature(const uint8_t* head, size_t size);

// The writer's RLE option lives in the word of SaveParams that BMP's RLE option uses.
inline void pcx_set_save_options(SaveParams* params, bool rle) { params->reserved_100 = rle ? 1 : 0; }
inline bool pcx_save_rle(const SaveParams& params) { return params.reserved_100 != 0; }

// PCX run-length coding of one line (all its planes at once): runs of up to 63 equal bytes as
// 0xC0 + count and the byte, single bytes below 0xC0 as themselves. `out` needs 2 x `size` bytes.
size_t pcx_rle_encode(const uint8_t* line, size_t size, uint8_t* out);
