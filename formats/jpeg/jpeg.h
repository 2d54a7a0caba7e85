// The JPEG row of the registry, over libjpeg (6b interface, version 62).
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/format.h"
#include "core/load.h"
#include "core/save.h"

// The start-of-image marker, which libjpeg requires as the file's first two bytes.
bool jpeg_signature(const uint8_t* head, size_t size);
Status jpeg_read(Stream* stream, LoadContext* context);
Status jpeg_write(const char* file_name, SaveContext* context);
void jpeg_writable_types(WritableType list[FORMAT_WRITABLE_MAX]);

// JPEG data inside another format's file (TIFF strips, PICT opcodes): decoded as jpeg_read does,
// under the container's label and with its orientation; the first comment is kept, no chunks.
Status jpeg_read_embedded(Stream* stream, LoadContext* context, const char* label, uint16_t orientation);

// Decodes the Exif thumbnail (JPEG bytes in memory) as a preview of a picture of the given full size.
Status exif_thumbnail_read(const uint8_t* bytes, size_t length, int full_width, int full_height, int colour_space,
                           LoadContext* context);
