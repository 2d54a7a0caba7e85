#include "formats/tiff/tiff_jpeg.h"

#include <cstring>
#include <new>

#include "formats/jpeg/jpeg_glue.h"

struct TiffJpeg {
    JpegError error;
    jpeg_decompress_struct cinfo;
    JpegMemorySource source;
    uint32_t photometric = 0;
    bool created = false;
    bool active = false;  // a chunk is being decoded
    int width = 0;
    int components = 0;
    std::vector<uint8_t> row;
};

namespace {

constexpr long JPEG_MEMORY_LIMIT = 256L * 1024 * 1024;

// libjpeg's failures while reading a chunk are the end of the readable data.
Status failed(TiffJpeg* j)
{
    if (j->active) jpeg_abort_decompress(&j->cinfo);
    j->active = false;
    return j->error.status == STATUS_NO_MEMORY ? STATUS_NO_MEMORY : STATUS_INCOMPLETE;
}

}  // namespace

TiffJpeg* tiff_jpeg_create(const TiffPage& page, Status* status)
{
    auto* j = new (std::nothrow) TiffJpeg;
    if (!j) {
        *status = STATUS_NO_MEMORY;
        return nullptr;
    }
    j->photometric = page.photometric;
    j->cinfo.err = jpeg_reading_errors(&j->error);
    if (setjmp(j->error.jump)) {
        // Unreadable tables: the chunks may still carry their own.
        if (j->created) jpeg_abort_decompress(&j->cinfo);
        *status = STATUS_OK;
        return j;
    }
    jpeg_create_decompress(&j->cinfo);
    j->created = true;
    j->cinfo.mem->max_memory_to_use = JPEG_MEMORY_LIMIT;
    if (!page.jpeg_tables.empty()) {
        jpeg_memory_source(&j->cinfo, &j->source, page.jpeg_tables.data(), page.jpeg_tables.size());
        jpeg_read_header(&j->cinfo, FALSE);
    }
    *status = STATUS_OK;
    return j;
}

void tiff_jpeg_destroy(TiffJpeg* j)
{
    if (!j) return;
    if (j->created) jpeg_destroy_decompress(&j->cinfo);
    delete j;
}

Status tiff_jpeg_open(TiffJpeg* j, const uint8_t* data, size_t size, int width, int components)
{
    if (!j->created) return STATUS_INCOMPLETE;
    j->width = width;
    j->components = components;
    if (setjmp(j->error.jump)) return failed(j);
    if (j->active) jpeg_abort_decompress(&j->cinfo);
    j->active = true;
    jpeg_memory_source(&j->cinfo, &j->source, data, size);
    if (jpeg_read_header(&j->cinfo, TRUE) != JPEG_HEADER_OK) return failed(j);
    jpeg_decompress_struct& c = j->cinfo;
    if (j->photometric == PHOTOMETRIC_RGB && c.num_components == 3) {
        c.jpeg_color_space = JCS_RGB;
        c.out_color_space = JCS_RGB;
    } else if (j->photometric == PHOTOMETRIC_YCBCR && c.num_components == 3) {
        c.jpeg_color_space = JCS_YCbCr;
        c.out_color_space = JCS_RGB;
    } else if (c.num_components == 4) {
        c.out_color_space = JCS_CMYK;
    } else if (c.num_components == 1) {
        c.out_color_space = JCS_GRAYSCALE;
    }
    jpeg_start_decompress(&c);
    const size_t produced = static_cast<size_t>(c.output_width) * static_cast<size_t>(c.output_components);
    const size_t wanted = static_cast<size_t>(width) * static_cast<size_t>(components);
    j->row.assign(produced > wanted ? produced : wanted, 0);
    return STATUS_OK;
}

Status tiff_jpeg_row(TiffJpeg* j, uint8_t* out)
{
    const size_t wanted = static_cast<size_t>(j->width) * static_cast<size_t>(j->components);
    if (!j->active || j->cinfo.output_scanline >= j->cinfo.output_height) {
        std::memset(out, 0, wanted);
        return STATUS_INCOMPLETE;
    }
    if (setjmp(j->error.jump)) return failed(j);
    JSAMPROW row = j->row.data();
    jpeg_read_scanlines(&j->cinfo, &row, 1);
    const int got = j->cinfo.output_components;
    if (got == j->components) {
        std::memcpy(out, j->row.data(), wanted);
    } else {
        // A chunk whose colour layout differs from the page's: keep what lines up.
        std::memset(out, 0, wanted);
        const int shared = got < j->components ? got : j->components;
        const int pixels = static_cast<int>(j->cinfo.output_width) < j->width ? static_cast<int>(j->cinfo.output_width) : j->width;
        for (int x = 0; x < pixels; ++x)
            for (int c = 0; c < shared; ++c) out[x * j->components + c] = j->row[static_cast<size_t>(x) * got + c];
    }
    return STATUS_OK;
}
