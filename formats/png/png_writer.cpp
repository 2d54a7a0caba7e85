// Writing a PNG file: the header from the picture's pixel type, the resolution, the comment and
// the transparent index as chunks, then the rows as the saving pipeline converts them.
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/pixels.h"
#include "formats/png/png_codec.h"
#include "formats/common/resolution.h"
#include "formats/common/writable_types.h"
#include "formats/png/png_io.h"

namespace {

// As for reading: the state a jump back from libpng must still find.
struct PngWriter {
    Stream* stream;
    SaveContext* ctx;
    png_structp png;
    png_infop info;
    PngErrorText error;
    uint8_t* image;  // the whole picture, for interlaced output
    png_bytep* rows;
    png_color palette[256];
    png_byte trans[256];
    uint8_t levels[256];  // grey pictures of fewer than 256 levels, spread over 0..255
    png_text text;
};

struct PngLayout {
    int colour_type;
    int depth;
    int palette_entries;  // 0 without palette
    int bits_per_pixel;
};

PngLayout layout_for(const SaveContext* ctx)
{
    switch (ctx->type) {
    case PIXEL_BINARY: return {PNG_COLOR_TYPE_GRAY, 1, 0, 1};
    case PIXEL_GREY: return {PNG_COLOR_TYPE_GRAY, 8, 0, 8};
    case PIXEL_COLORS:
        if (ctx->colour_used <= 16) return {PNG_COLOR_TYPE_PALETTE, 4, 16, 4};
        return {PNG_COLOR_TYPE_PALETTE, 8, 256, 8};
    default:
        if (ctx->bits >= 32) return {PNG_COLOR_TYPE_RGB_ALPHA, 8, 0, 32};
        return {PNG_COLOR_TYPE_RGB, 8, 0, 24};
    }
}

int filter_set(uint16_t choice)
{
    switch (choice) {
    case PNG_SAVE_FILTER_SUB: return PNG_FILTER_SUB;
    case PNG_SAVE_FILTER_UP: return PNG_FILTER_UP;
    case PNG_SAVE_FILTER_AVERAGE: return PNG_FILTER_AVG;
    case PNG_SAVE_FILTER_PAETH: return PNG_FILTER_PAETH;
    case PNG_SAVE_FILTER_ALL: return PNG_ALL_FILTERS;
    default: return 0;
    }
}

void set_transparency(PngWriter* w, const PngLayout& layout)
{
    const int index = w->ctx->transparent_index;
    if (index < 0 || index >= 256 || layout.colour_type == PNG_COLOR_TYPE_RGB ||
        layout.colour_type == PNG_COLOR_TYPE_RGB_ALPHA)
        return;
    if (layout.colour_type == PNG_COLOR_TYPE_PALETTE) {
        if (index >= layout.palette_entries) return;
        for (int i = 0; i < index; ++i) w->trans[i] = 255;
        w->trans[index] = 0;
        png_set_tRNS(w->png, w->info, w->trans, index + 1, nullptr);
        return;
    }
    // Grey files carry a transparent level instead of a table.
    if (index >= (1 << layout.depth)) return;
    png_color_16 key{};
    key.gray = static_cast<png_uint_16>(index);
    png_set_tRNS(w->png, w->info, nullptr, 0, &key);
}

void set_palette(PngWriter* w, const PngLayout& layout)
{
    const Picture* p = w->ctx->picture;
    const int used = w->ctx->colour_used < layout.palette_entries ? w->ctx->colour_used : layout.palette_entries;
    for (int i = 0; i < used && p->colour_map; ++i)
        w->palette[i] = png_color{p->colour_map[i], p->colour_map[256 + i], p->colour_map[512 + i]};
    png_set_PLTE(w->png, w->info, w->palette, layout.palette_entries);
}

Status write_rows(PngWriter* w, const SaveHeader& h, bool interlaced)
{
    SaveContext* ctx = w->ctx;
    const int height = ctx->height;
    if (!interlaced) {
        for (int y = 0; y < height; ++y) {
            LUM_TRY(save_get_lines(ctx, -1, 1));
            png_write_row(w->png, h.line_buffer);
        }
        return STATUS_OK;
    }
    const size_t line = static_cast<size_t>(ctx->line_bytes);
    w->image = pixels_alloc(static_cast<uint64_t>(line) * static_cast<uint64_t>(height));
    w->rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * static_cast<size_t>(height)));
    if (!w->image || !w->rows) return STATUS_NO_MEMORY;
    for (int y = 0; y < height; ++y) {
        LUM_TRY(save_get_lines(ctx, -1, 1));
        w->rows[y] = w->image + line * y;
        std::memcpy(w->rows[y], h.line_buffer, line);
    }
    png_write_image(w->png, w->rows);
    return STATUS_OK;
}

// The frame libpng may jump back to: no object with a destructor lives here.
Status write_guarded(PngWriter* w)
{
    SaveContext* ctx = w->ctx;
    w->png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &w->error, png_io_error, png_io_warning);
    if (!w->png) return STATUS_NO_MEMORY;
    w->info = png_create_info_struct(w->png);
    if (!w->info) return STATUS_NO_MEMORY;
    if (setjmp(png_jmpbuf(w->png))) return STATUS_WRITE_FAILED;

    png_set_write_fn(w->png, w->stream, png_io_write, png_io_flush);
    png_set_compression_level(w->png, png_save_level(ctx->params));
    if (const int filters = filter_set(png_save_filter(ctx->params))) png_set_filter(w->png, PNG_FILTER_TYPE_BASE, filters);

    const PngLayout layout = layout_for(ctx);
    const bool interlaced = png_save_interlace(ctx->params);
    png_set_IHDR(w->png, w->info, static_cast<png_uint_32>(ctx->width), static_cast<png_uint_32>(ctx->height),
                 layout.depth, layout.colour_type, interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    if (ctx->x_dpi > 0 && ctx->y_dpi > 0)
        png_set_pHYs(w->png, w->info, dots_per_metre_from_dpi(ctx->x_dpi), dots_per_metre_from_dpi(ctx->y_dpi),
                     PNG_RESOLUTION_METER);
    if (ctx->comment && ctx->comment[0]) {
        w->text.compression = PNG_TEXT_COMPRESSION_NONE;
        w->text.key = const_cast<char*>("Comment");
        w->text.text = const_cast<char*>(ctx->comment);
        png_set_text(w->png, w->info, &w->text, 1);
    }
    set_transparency(w, layout);

    SaveHeader h;
    save_header_init(&h);
    h.planes = 1;
    h.bits_per_plane = static_cast<int16_t>(layout.bits_per_pixel);
    std::snprintf(h.label, sizeof h.label, "PiNG");
    LUM_TRY(save_begin(ctx, &h));
    if (ctx->type == PIXEL_GREY && ctx->colour_used > 1 && ctx->colour_used < 256) {
        // Grey pictures of C levels hold 0 to C - 1; the file's levels span 0 to 255.
        const int top = ctx->colour_used - 1;
        for (int v = 0; v < 256; ++v) w->levels[v] = static_cast<uint8_t>((v < top ? v : top) * 255 / top);
        ctx->remap = w->levels;
    }
    if (layout.palette_entries) set_palette(w, layout);
    png_write_info(w->png, w->info);
    LUM_TRY(write_rows(w, h, interlaced));
    save_end(ctx);
    png_write_end(w->png, w->info);
    return STATUS_OK;
}

}  // namespace

void png_writable_types(WritableType list[FORMAT_WRITABLE_MAX])
{
    writable_types_set(list, {PIXEL_ANY32, PIXEL_ANY24, PIXEL_GREY, PIXEL_COLORS, PIXEL_BINARY});
}

Status png_write(const char* file_name, SaveContext* ctx)
{
    Stream* out = stream_open(file_name, STREAM_WRITE);
    if (!out) return STATUS_CREATE_FAILED;
    PngWriter w{};
    w.stream = out;
    w.ctx = ctx;
    Status status = write_guarded(&w);
    png_destroy_write_struct(&w.png, &w.info);
    ctx->remap = nullptr;
    pixels_free(w.image);
    std::free(w.rows);
    if (status == STATUS_OK && (std::fflush(out->file) != 0 || std::ferror(out->file))) status = STATUS_WRITE_FAILED;
    stream_close(out);
    return status;
}
