// The two X Window System text formats, C source fragments both: X11 bitmaps (XBM, 1 bit a
// pixel, bytes or 16-bit words in hexadecimal) and X11 pixmaps (XPM version 3, colour-mapped).
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/format.h"
#include "core/load.h"
#include "core/save.h"

Status xbm_read(Stream* stream, LoadContext* context);
Status xbm_write(const char* file_name, SaveContext* context);
void xbm_writable_types(WritableType list[FORMAT_WRITABLE_MAX]);
bool xbm_signature(const uint8_t* head, size_t size);

Status xpm_read(Stream* stream, LoadContext* context);
Status xpm_write(const char* file_name, SaveContext* context);
void xpm_writable_types(WritableType list[FORMAT_WRITABLE_MAX]);
bool xpm_signature(const uint8_t* head, size_t size);

// The characters the XPM writer names colours with, in order.
extern const char XPM_PIXEL_CHARACTERS[66];
