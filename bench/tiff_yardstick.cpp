#include "tiff_yardstick.h"

#include <tiffio.h>

#include <vector>

size_t libtiff_read_strips(const char* path)
{
    TIFF* t = TIFFOpen(path, "r");
    if (!t) return 0;
    std::vector<uint8_t> strip(static_cast<size_t>(TIFFStripSize(t)));
    size_t total = 0;
    const uint32_t strips = TIFFNumberOfStrips(t);
    for (uint32_t s = 0; s < strips; ++s) {
        const tmsize_t n = TIFFReadEncodedStrip(t, s, strip.data(), static_cast<tmsize_t>(strip.size()));
        if (n > 0) total += static_cast<size_t>(n);
    }
    TIFFClose(t);
    return total;
}

size_t libtiff_read_strips_into(const char* path, uint8_t* out, size_t size)
{
    TIFF* t = TIFFOpen(path, "r");
    if (!t) return 0;
    size_t total = 0;
    const uint32_t strips = TIFFNumberOfStrips(t);
    for (uint32_t s = 0; s < strips && total < size; ++s) {
        const tmsize_t n = TIFFReadEncodedStrip(t, s, out + total, static_cast<tmsize_t>(size - total));
        if (n > 0) total += static_cast<size_t>(n);
    }
    TIFFClose(t);
    return total;
}

bool libtiff_write_lzw(const char* path, const uint8_t* pixels, int width, int height, int rows_per_strip)
{
    TIFF* t = TIFFOpen(path, "w");
    if (!t) return false;
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(width));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(height));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(rows_per_strip));
    const size_t line = static_cast<size_t>(width) * 3;
    bool ok = true;
    for (int y = 0, s = 0; y < height && ok; y += rows_per_strip, ++s) {
        const int rows = height - y < rows_per_strip ? height - y : rows_per_strip;
        ok = TIFFWriteEncodedStrip(t, static_cast<uint32_t>(s), const_cast<uint8_t*>(pixels + line * static_cast<size_t>(y)),
                                   static_cast<tmsize_t>(line * static_cast<size_t>(rows))) >= 0;
    }
    TIFFClose(t);
    return ok;
}
