// Writing JPEG files: the picture's lines through the saving pipeline into libjpeg.
#include <cstring>

#include "formats/common/writable_types.h"
#include "formats/jpeg/jpeg.h"
#include "formats/jpeg/jpeg_glue.h"

namespace {

// Kept chunks are listed newest first; they go out oldest first, in the order the original file
// had them, so that the Exif block stays the first APP1 marker as Exif readers expect.
void write_chunks(j_compress_ptr cinfo, const SaveContext* ctx, const PictureChunk* c)
{
    if (!c) return;
    write_chunks(cinfo, ctx, c->next);
    if (!c->bytes || c->size == 0 || c->size > 65533) return;
    if (c->kind == CHUNK_IPTC && ctx->params.write_iptc) jpeg_write_marker(cinfo, JPEG_APP0 + 13, c->bytes, c->size);
    else if (c->kind == CHUNK_EXIF && ctx->params.write_exif) jpeg_write_marker(cinfo, JPEG_APP0 + 1, c->bytes, c->size);
}

void write_markers(j_compress_ptr cinfo, const SaveContext* ctx)
{
    if (ctx->comment) {
        const size_t n = std::strlen(ctx->comment) + 1;  // the terminating zero is written too
        if (n <= 65533) jpeg_write_marker(cinfo, JPEG_COM, reinterpret_cast<const JOCTET*>(ctx->comment), static_cast<unsigned>(n));
    }
    write_chunks(cinfo, ctx, ctx->chunks);
}

}  // namespace

void jpeg_writable_types(WritableType list[FORMAT_WRITABLE_MAX])
{
    // Colour-mapped pictures go out as true colour: JPEG is the program's only way to save.
    writable_types_set(list, {PIXEL_ANY24, PIXEL_GREY, PIXEL_BINARY, PIXEL_CMYK, PIXEL_COLORS});
}

// Only plain data lives in this frame: libjpeg's errors jump back into it.
Status jpeg_write(const char* file_name, SaveContext* ctx)
{
    if (ctx->type != PIXEL_ANYCOLOR && ctx->type != PIXEL_GREY && ctx->type != PIXEL_BINARY && ctx->type != PIXEL_COLORS)
        return STATUS_TYPE_UNSUPPORTED;
    Stream* stream = stream_open(file_name, STREAM_WRITE);
    if (!stream) return STATUS_CREATE_FAILED;

    JpegError error;
    jpeg_compress_struct cinfo;
    JpegStreamDestination destination;
    SaveHeader header;
    uint8_t levels[256];
    volatile Status status = STATUS_OK;

    cinfo.err = jpeg_writing_errors(&error);
    if (setjmp(error.jump)) {
        save_end(ctx);
        ctx->remap = nullptr;
        jpeg_destroy_compress(&cinfo);
        stream_close(stream);
        return STATUS_CODEC_ERROR;
    }
    jpeg_create_compress(&cinfo);
    jpeg_stream_destination(&cinfo, &destination, stream);

    const bool grey = ctx->type == PIXEL_GREY || ctx->type == PIXEL_BINARY;
    cinfo.image_width = static_cast<JDIMENSION>(ctx->width);
    cinfo.image_height = static_cast<JDIMENSION>(ctx->height);
    cinfo.input_components = grey ? 1 : ctx->cmyk ? 4 : 3;
    cinfo.in_color_space = grey ? JCS_GRAYSCALE : ctx->cmyk ? JCS_CMYK : JCS_RGB;
    cinfo.data_precision = 8;
    jpeg_set_defaults(&cinfo);
    cinfo.density_unit = 1;
    cinfo.X_density = static_cast<UINT16>(ctx->x_dpi > 0 && ctx->x_dpi <= 65535 ? ctx->x_dpi : 0);
    cinfo.Y_density = static_cast<UINT16>(ctx->y_dpi > 0 && ctx->y_dpi <= 65535 ? ctx->y_dpi : 0);
    jpeg_set_quality(&cinfo, ctx->params.quality > 100 ? 100 : ctx->params.quality, TRUE);
    if (ctx->params.progressive) jpeg_simple_progression(&cinfo);
    if (ctx->params.dct_method == 1) cinfo.dct_method = JDCT_IFAST;
    else if (ctx->params.dct_method == 2) cinfo.dct_method = JDCT_FLOAT;
    cinfo.smoothing_factor = ctx->params.smoothing > 100 ? 100 : ctx->params.smoothing;
    cinfo.optimize_coding = ctx->params.optimize ? TRUE : FALSE;
    jpeg_start_compress(&cinfo, TRUE);
    write_markers(&cinfo, ctx);

    save_header_init(&header);
    header.bits_per_plane = static_cast<int16_t>(grey ? 8 : ctx->cmyk ? 32 : 24);
    if (ctx->cmyk) header.layout_flags = HEADER_CMYK_INVERTED;
    std::strcpy(header.label, "JPEG");
    const Status begun = save_begin(ctx, &header);
    if (grey) save_remap_visible_levels(ctx, levels);
    if (begun != STATUS_OK) {
        jpeg_abort_compress(&cinfo);
        jpeg_destroy_compress(&cinfo);
        stream_close(stream);
        return begun;
    }
    while (cinfo.next_scanline < cinfo.image_height) {
        const Status s = save_get_lines(ctx, -1, 1);
        if (s != STATUS_OK) {
            status = s;
            break;
        }
        JSAMPROW row = header.line_buffer;
        if (jpeg_write_scanlines(&cinfo, &row, 1) != 1 || destination.failed) {
            status = STATUS_WRITE_FAILED;
            break;
        }
    }
    save_end(ctx);
    ctx->remap = nullptr;
    if (status != STATUS_OK) {
        jpeg_destroy_compress(&cinfo);
        stream_close(stream);
        return status;
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    const bool failed = destination.failed;
    stream_close(stream);
    return failed ? STATUS_WRITE_FAILED : STATUS_OK;
}
