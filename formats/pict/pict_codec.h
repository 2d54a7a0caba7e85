// Macintosh QuickDraw pictures (PICT version 1 and 2): the first raster image they hold, a
// bitmap, an indexed or direct-colour pixmap, or QuickTime JPEG data. Drawing opcodes are
// skipped. There is no writer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/format.h"
#include "core/load.h"

Status pict_read(Stream* stream, LoadContext* context);
bool pict_signature(const uint8_t* head, size_t size);
