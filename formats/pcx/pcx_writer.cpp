// Writing a PCX file: version 5 header, lines of bit planes or byte planes (RLE or raw), and
// the 256-colour table at the end for pictures of more than 16 colours.
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "formats/common/save_palette.h"
#include "formats/common/writable_types.h"
#include "formats/pcx/pcx_codec.h"
#include "formats/common/write_file.h"

namespace {

struct PcxLayout {
    int planes;
    int bits;
    int bytes_per_line;  // per plane, as the file holds it
    bool end_palette;
};

PcxLayout layout_for(const SaveContext* ctx)
{
    PcxLayout l{};
    if (ctx->type == PIXEL_BINARY) {
        l.planes = 1, l.bits = 1;
    } else if (ctx->type == PIXEL_COLORS && ctx->colour_used <= 16) {
        l.planes = 4, l.bits = 1;
    } else if (ctx->type == PIXEL_COLORS || ctx->type == PIXEL_GREY) {
        l.planes = 1, l.bits = 8, l.end_palette = true;
    } else {
        l.planes = 3, l.bits = 8;
    }
    // Bit-plane lines are kept to an even number of bytes.
    l.bytes_per_line = l.bits == 8 ? ctx->width : (ctx->width + 15) / 8 / 2 * 2;
    return l;
}

struct PcxOut {
    Stream* out;
    bool failed = false;
    void u16(int v) { failed |= stream_write_u16le(out, static_cast<uint16_t>(v)) != 0; }
    void bytes(const void* p, size_t n) { failed |= n && stream_write(out, p, n) != n; }
    void byte(int v) { failed |= stream_putc(out, v) == EOF; }
};

void write_header(PcxOut& o, const SaveContext* ctx, const PcxLayout& l, bool rle)
{
    const uint8_t start[4] = {10, 5, static_cast<uint8_t>(rle ? 1 : 0), static_cast<uint8_t>(l.bits)};
    o.bytes(start, 4);
    o.u16(0);
    o.u16(0);
    o.u16(ctx->width - 1);
    o.u16(ctx->height - 1);
    o.u16(ctx->x_dpi > 0 && ctx->x_dpi < 65536 ? ctx->x_dpi : 0);
    o.u16(ctx->y_dpi > 0 && ctx->y_dpi < 65536 ? ctx->y_dpi : 0);
    uint8_t rgb[768];
    const int depth = l.planes * l.bits;
    save_palette_rgb(ctx, depth <= 4 ? 1 << depth : 0, rgb);
    o.bytes(rgb, 48);
    o.byte(0);
    o.byte(l.planes);
    o.u16(l.bytes_per_line);
    o.u16(1);  // palette information: colour
    o.u16(0);
    o.u16(0);
    const uint8_t filler[54] = {};
    o.bytes(filler, sizeof filler);
}

Status write_lines(PcxOut& o, SaveContext* ctx, const PcxLayout& l, const SaveHeader& h, bool rle)
{
    const size_t file_plane = static_cast<size_t>(l.bytes_per_line);
    const size_t line_size = file_plane * static_cast<size_t>(l.planes);
    // The pipeline's planes are as long as their pixels; the file's may be longer.
    const size_t pipeline_plane = l.bits == 8 ? static_cast<size_t>(ctx->width) : static_cast<size_t>(ctx->width + 7) / 8;
    std::unique_ptr<uint8_t[]> line(new (std::nothrow) uint8_t[line_size]);
    std::unique_ptr<uint8_t[]> coded(new (std::nothrow) uint8_t[2 * line_size]);
    if (!line || !coded) return STATUS_NO_MEMORY;
    std::memset(line.get(), 0, line_size);
    for (int y = 0; y < ctx->height; ++y) {
        LUM_TRY(save_get_lines(ctx, y, 1));
        for (int p = 0; p < l.planes; ++p)
            std::memcpy(line.get() + p * file_plane, h.line_buffer + p * pipeline_plane, pipeline_plane);
        if (rle) o.bytes(coded.get(), pcx_rle_encode(line.get(), line_size, coded.get()));
        else o.bytes(line.get(), line_size);
        if (o.failed) return STATUS_WRITE_FAILED;
    }
    return STATUS_OK;
}

Status write_file(Stream* out, SaveContext* ctx)
{
    if (ctx->width > 65535 || ctx->height > 65535) return STATUS_BAD_PARAMETER;
    const PcxLayout l = layout_for(ctx);
    const bool rle = pcx_save_rle(ctx->params);
    PcxOut o{out};
    write_header(o, ctx, l, rle);
    if (o.failed) return STATUS_WRITE_FAILED;

    SaveHeader h;
    save_header_init(&h);
    h.planes = static_cast<int16_t>(l.planes);
    h.bits_per_plane = static_cast<int16_t>(l.bits);
    std::snprintf(h.label, sizeof h.label, "%s", rle ? "Pcx Rle" : "Pcx");
    LUM_TRY(save_begin(ctx, &h));
    LUM_TRY(write_lines(o, ctx, l, h, rle));
    save_end(ctx);
    if (l.end_palette) {
        uint8_t rgb[768];
        save_palette_rgb(ctx, 256, rgb);
        o.byte(12);
        o.bytes(rgb, sizeof rgb);
    }
    return o.failed ? STATUS_WRITE_FAILED : STATUS_OK;
}

}  // namespace

size_t pcx_rle_encode(const uint8_t* line, size_t size, uint8_t* out)
{
    size_t n = 0;
    for (size_t i = 0; i < size;) {
        const uint8_t v = line[i];
        size_t run = 1;
        while (run < 63 && i + run < size && line[i + run] == v) ++run;
        if (run == 1 && v < 0xC0) {
            out[n++] = v;
        } else {
            out[n++] = static_cast<uint8_t>(0xC0 + run);
            out[n++] = v;
        }
        i += run;
    }
    return n;
}

void pcx_writable_types(WritableType list[FORMAT_WRITABLE_MAX])
{
    writable_types_set(list, {PIXEL_ANY24, PIXEL_COLORS, PIXEL_GREY, PIXEL_BINARY});
}

Status pcx_write(const char* file_name, SaveContext* ctx)
{
    const Status status = write_file_with(file_name, [ctx](Stream* out) { return write_file(out, ctx); });
    save_end(ctx);
    return status;
}
