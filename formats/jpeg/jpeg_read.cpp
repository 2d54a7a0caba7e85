// Reading JPEG files: header, markers, the Exif thumbnail of previews, scaled decoding, lines.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "formats/common/exif.h"
#include "formats/jpeg/jpeg.h"
#include "formats/jpeg/jpeg_glue.h"

namespace {

constexpr long JPEG_MEMORY_LIMIT = 1024L * 1024 * 1024;

struct DecodeOptions {
    const char* container_label;  // null for JPEG files themselves
    uint16_t orientation;
    bool embedded;                // inside another format: first comment only, no chunks
};

bool printable(const uint8_t* text, unsigned length) { return length > 0 && text[0] >= 0x20 && text[0] != 0x7F; }

void keep_markers(j_decompress_ptr cinfo, LoadContext* ctx, const DecodeOptions& o)
{
    const uint32_t flags = ctx->params.flags;
    bool comment_taken = false;
    for (jpeg_saved_marker_ptr m = cinfo->marker_list; m; m = m->next) {
        if (m->marker == JPEG_COM && (flags & LOAD_KEEP_COMMENT)) {
            if (o.embedded && comment_taken) continue;
            if (!printable(m->data, m->data_length)) continue;
            load_set_comment(ctx, reinterpret_cast<const char*>(m->data), static_cast<int>(m->data_length));
            comment_taken = true;
        } else if (!o.embedded && (flags & LOAD_KEEP_CHUNKS)) {
            if (m->marker == JPEG_APP0 + 1) load_add_chunk(ctx, CHUNK_EXIF, m->data, m->data_length);
            else if (m->marker == JPEG_APP0 + 13) load_add_chunk(ctx, CHUNK_IPTC, m->data, m->data_length);
        }
    }
}

// The header as the pipeline needs it; false for colour spaces without a layout.
bool describe(j_decompress_ptr cinfo, HeaderInfo* h, const DecodeOptions& o, int full_width, int full_height)
{
    header_init(h);
    const char* label;
    switch (cinfo->out_color_space) {
    case JCS_GRAYSCALE:
        h->bits_per_plane = 8;
        h->full_components = 1;
        h->bytes_per_plane_line = static_cast<int32_t>(cinfo->output_width);
        label = "JPEG Grayscale";
        break;
    case JCS_RGB:
        h->bits_per_plane = 24;
        h->full_components = 3;
        h->bytes_per_plane_line = static_cast<int32_t>(cinfo->output_width * 3);
        label = "JPEG TrueColor";
        break;
    case JCS_CMYK:
        h->bits_per_plane = 32;
        h->full_components = 4;
        h->bytes_per_plane_line = static_cast<int32_t>(cinfo->output_width * 4);
        h->layout_flags = HEADER_CMYK_INVERTED;
        h->colour_model = 3;
        label = "JPEG CMYK";
        break;
    default:
        return false;
    }
    h->compression = COMPRESSION_JPEG;
    h->width = static_cast<int32_t>(cinfo->output_width);
    h->height = static_cast<int32_t>(cinfo->output_height);
    h->planes = 1;
    h->full_width = full_width;
    h->full_height = full_height;
    h->full_bits_per_component = 8;
    h->full_bytes_per_line = full_width * h->full_components;
    h->orientation = o.orientation;
    if (cinfo->X_density > 1) {
        h->x_dpi = h->y_dpi = cinfo->X_density;
        if (cinfo->Y_density > 1) h->y_dpi = cinfo->Y_density;
    }
    std::snprintf(h->format_label, sizeof h->format_label, "%s (v%d.%d)", o.container_label ? o.container_label : label,
                  cinfo->JFIF_major_version, cinfo->JFIF_minor_version);
    return true;
}

bool try_exif_thumbnail(j_decompress_ptr cinfo, LoadContext* ctx)
{
    for (jpeg_saved_marker_ptr m = cinfo->marker_list; m; m = m->next) {
        if (m->marker != JPEG_APP0 + 1 || m->data_length <= 6) continue;
        ExifThumbnail t;
        if (!exif_find_thumbnail(m->data, m->data_length, &t)) continue;
        jpeg_calc_output_dimensions(cinfo);
        if (exif_thumbnail_read(m->data + t.offset, t.length, static_cast<int>(cinfo->output_width),
                                static_cast<int>(cinfo->output_height), cinfo->out_color_space, ctx) == STATUS_OK)
            return true;
    }
    return false;
}

// The whole decode. Only plain data lives in this frame: libjpeg's errors jump back into it.
Status decode(Stream* stream, LoadContext* ctx, const DecodeOptions& o)
{
    JpegError error;
    jpeg_decompress_struct cinfo;
    JpegStreamSource source;
    HeaderInfo header;
    volatile int phase = 0;  // 0 header, 1 lines, 2 finishing
    volatile Status stopped = STATUS_OK;

    cinfo.err = jpeg_reading_errors(&error);
    if (setjmp(error.jump)) {
        const Status cause = error.status;
        jpeg_destroy_decompress(&cinfo);
        if (phase == 1) return cause == STATUS_INCOMPLETE ? STATUS_INCOMPLETE : STATUS_CORRUPT;
        if (phase == 2) return stopped != STATUS_OK ? Status{stopped} : Status{STATUS_CORRUPT};
        return cause;
    }
    jpeg_create_decompress(&cinfo);
    // A progressive file keeps every coefficient of the picture while it decodes: a header of a
    // few bytes claiming a huge picture would otherwise make libjpeg clear gigabytes first.
    cinfo.mem->max_memory_to_use = JPEG_MEMORY_LIMIT;
    jpeg_stream_source(&cinfo, &source, stream);

    const uint32_t flags = ctx->params.flags;
    const bool exif_preview = (flags & LOAD_PREVIEW) && ctx->params.use_exif_thumbnail && !o.embedded;
    if (flags & LOAD_KEEP_COMMENT) jpeg_save_markers(&cinfo, JPEG_COM, 0xFFFF);
    if ((flags & LOAD_KEEP_CHUNKS) && !o.embedded)
        for (int i = 0; i < 16; ++i) jpeg_save_markers(&cinfo, JPEG_APP0 + i, 0xFFFF);
    else if (exif_preview)
        jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(&cinfo, TRUE);
    keep_markers(&cinfo, ctx, o);

    if (exif_preview && try_exif_thumbnail(&cinfo, ctx)) {
        jpeg_destroy_decompress(&cinfo);
        return STATUS_OK;
    }

    if (flags & (LOAD_PREVIEW | LOAD_FAST_DECODE)) {
        cinfo.dct_method = JDCT_IFAST;
        cinfo.do_fancy_upsampling = FALSE;
    }
    const int box_w = ctx->params.box_width, box_h = ctx->params.box_height;
    if ((flags & LOAD_PREVIEW) && box_w >= 1 && box_h >= 1) {
        jpeg_calc_output_dimensions(&cinfo);
        const unsigned by_width = cinfo.output_width / static_cast<unsigned>(box_w);
        const unsigned by_height = cinfo.output_height / static_cast<unsigned>(box_h);
        const unsigned denominator = by_width < by_height ? by_width : by_height;
        cinfo.scale_num = 1;
        cinfo.scale_denom = denominator < 1 ? 1 : denominator;
        jpeg_calc_output_dimensions(&cinfo);
    }
    // A truncated progressive file ends while its scans are gathered here: note it, decode what
    // there is, and report the file as incomplete once its picture is made.
    error.defer_end = 1;
    jpeg_start_decompress(&cinfo);
    error.defer_end = 0;

    if (!describe(&cinfo, &header, o, static_cast<int>(cinfo.image_width), static_cast<int>(cinfo.image_height))) {
        jpeg_destroy_decompress(&cinfo);
        return load_fail(ctx, STATUS_BAD_HEADER, "Jpeg : Unsupported colour space !");
    }
    const Status begun = load_begin(ctx, &header);
    if (begun != STATUS_OK) {
        jpeg_destroy_decompress(&cinfo);
        return begun;
    }

    phase = 1;
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = header.line_buffer;
        jpeg_read_scanlines(&cinfo, &row, 1);
        const Status s = load_put_lines(ctx, -1, -1, 1);
        if (s != STATUS_OK) {
            stopped = s;
            break;
        }
    }
    load_end(ctx, 0, 0, nullptr);
    phase = 2;
    if (stopped != STATUS_OK) {
        jpeg_destroy_decompress(&cinfo);
        return stopped;
    }
    if (error.ended_early) {
        jpeg_destroy_decompress(&cinfo);
        return STATUS_INCOMPLETE;
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return STATUS_OK;
}

}  // namespace

bool jpeg_signature(const uint8_t* head, size_t size) { return size >= 2 && head[0] == 0xFF && head[1] == 0xD8; }

Status jpeg_read(Stream* stream, LoadContext* ctx) { return decode(stream, ctx, DecodeOptions{nullptr, 0, false}); }

Status jpeg_read_embedded(Stream* stream, LoadContext* ctx, const char* label, uint16_t orientation)
{
    return decode(stream, ctx, DecodeOptions{label, orientation, true});
}

namespace {

// Decodes a whole JPEG held in memory into `pixels` (allocated here, freed by the caller).
Status decode_in_memory(const uint8_t* bytes, size_t length, bool fast, jpeg_decompress_struct* cinfo,
                        JpegError* error, uint8_t** pixels)
{
    JpegMemorySource source;
    *pixels = nullptr;
    cinfo->err = jpeg_reading_errors(error);
    if (setjmp(error->jump)) {
        jpeg_destroy_decompress(cinfo);
        std::free(*pixels);
        *pixels = nullptr;
        return error->status == STATUS_OK ? Status{STATUS_CORRUPT} : error->status;
    }
    jpeg_create_decompress(cinfo);
    jpeg_memory_source(cinfo, &source, bytes, length);
    jpeg_read_header(cinfo, TRUE);
    if (fast) {
        cinfo->dct_method = JDCT_IFAST;
        cinfo->do_fancy_upsampling = FALSE;
    }
    jpeg_start_decompress(cinfo);
    const size_t line = static_cast<size_t>(cinfo->output_width) * static_cast<size_t>(cinfo->output_components);
    *pixels = static_cast<uint8_t*>(std::malloc(line * cinfo->output_height + 1));
    if (!*pixels) {
        jpeg_destroy_decompress(cinfo);
        return STATUS_NO_MEMORY;
    }
    while (cinfo->output_scanline < cinfo->output_height) {
        JSAMPROW row = *pixels + line * cinfo->output_scanline;
        jpeg_read_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_decompress(cinfo);
    return STATUS_OK;  // the caller still reads the output description, then destroys
}

}  // namespace

Status exif_thumbnail_read(const uint8_t* bytes, size_t length, int full_width, int full_height, int,
                           LoadContext* ctx)
{
    JpegError error;
    jpeg_decompress_struct cinfo;
    uint8_t* pixels = nullptr;
    const Status decoded = decode_in_memory(bytes, length, (ctx->params.flags & LOAD_PREVIEW) != 0, &cinfo, &error, &pixels);
    if (decoded != STATUS_OK) return decoded;

    HeaderInfo header;
    const bool known = describe(&cinfo, &header, DecodeOptions{nullptr, 0, false}, full_width, full_height);
    const size_t line = static_cast<size_t>(cinfo.output_width) * static_cast<size_t>(cinfo.output_components);
    const int height = static_cast<int>(cinfo.output_height);
    jpeg_destroy_decompress(&cinfo);
    if (!known) {
        std::free(pixels);
        return STATUS_UNKNOWN_FORMAT;
    }
    Status s = load_begin(ctx, &header);
    if (s == STATUS_OK) {
        if (ctx->info) ctx->info->preview = 1;
        for (int y = 0; y < height && s == STATUS_OK; ++y) {
            std::memcpy(header.line_buffer, pixels + line * static_cast<size_t>(y), line);
            s = load_put_lines(ctx, -1, -1, 1);
        }
        load_end(ctx, 0, 0, nullptr);
    }
    std::free(pixels);
    return s;
}
