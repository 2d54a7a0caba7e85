// JPEG strips and tiles through libjpeg: the page's tables (tag 347) are read once, then every
// chunk is an abbreviated stream decoded with them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/status.h"
#include "formats/tiff/tiff_page.h"

struct TiffJpeg;

TiffJpeg* tiff_jpeg_create(const TiffPage& page, Status* status);
void tiff_jpeg_destroy(TiffJpeg* jpeg);
// Starts a chunk; its rows are `width` pixels of `components` samples (narrower data is padded).
Status tiff_jpeg_open(TiffJpeg* jpeg, const uint8_t* data, size_t size, int width, int components);
Status tiff_jpeg_row(TiffJpeg* jpeg, uint8_t* out);
