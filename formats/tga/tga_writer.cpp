// Writing a Targa file, top line first: 32- and 24-bit truecolour, colour-mapped pictures with a
// 256-entry map, grey and bilevel pictures; raw or RLE (bilevel always raw).
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "core/line_convert.h"
#include "formats/common/save_palette.h"
#include "formats/common/writable_types.h"
#include "formats/tga/tga_codec.h"
#include "formats/common/write_file.h"

namespace {

struct TgaLayout {
    int map_type;
    int image_type;
    int map_length;
    int map_entry_bits;
    int depth;
    int pixel_bytes;  // 0 for bilevel lines of packed bits
    bool rle;
};

TgaLayout layout_for(const SaveContext* ctx)
{
    const bool rle = tga_save_rle(ctx->params);
    TgaLayout l{};
    switch (ctx->type) {
    case PIXEL_BINARY: l = {0, 3, 0, 0, 1, 0, false}; break;
    case PIXEL_GREY: l = {0, rle ? 11 : 3, 0, 0, 8, 1, rle}; break;
    case PIXEL_COLORS: l = {1, rle ? 9 : 1, 256, 24, 8, 1, rle}; break;
    default:
        if (ctx->bits >= 32) l = {0, rle ? 10 : 2, 0, 0, 32, 4, rle};
        else l = {0, rle ? 10 : 2, 0, 0, 24, 3, rle};
        break;
    }
    return l;
}

struct TgaOut {
    Stream* out;
    bool failed = false;
    void bytes(const void* p, size_t n) { failed |= n && stream_write(out, p, n) != n; }
};

void write_header(TgaOut& o, const SaveContext* ctx, const TgaLayout& l)
{
    const size_t comment_length = ctx->comment ? std::strlen(ctx->comment) : 0;
    const int id_length = ctx->comment && comment_length < 255 ? static_cast<int>(comment_length) + 1 : 0;
    const uint8_t b[18] = {static_cast<uint8_t>(id_length),
                           static_cast<uint8_t>(l.map_type),
                           static_cast<uint8_t>(l.image_type),
                           0, 0,
                           static_cast<uint8_t>(l.map_length & 0xFF), static_cast<uint8_t>(l.map_length >> 8),
                           static_cast<uint8_t>(l.map_entry_bits),
                           0, 0, 0, 0,
                           static_cast<uint8_t>(ctx->width & 0xFF), static_cast<uint8_t>(ctx->width >> 8),
                           static_cast<uint8_t>(ctx->height & 0xFF), static_cast<uint8_t>(ctx->height >> 8),
                           static_cast<uint8_t>(l.depth),
                           0x20};
    o.bytes(b, sizeof b);
    if (id_length) o.bytes(ctx->comment, static_cast<size_t>(id_length));
    if (l.map_type) {
        uint8_t rgb[768], bgr[768];
        save_palette_rgb(ctx, 256, rgb);
        for (int i = 0; i < 256; ++i) {
            bgr[3 * i] = rgb[3 * i + 2];
            bgr[3 * i + 1] = rgb[3 * i + 1];
            bgr[3 * i + 2] = rgb[3 * i];
        }
        o.bytes(bgr, sizeof bgr);
    }
}

Status write_lines(TgaOut& o, SaveContext* ctx, const TgaLayout& l, const SaveHeader& h)
{
    const size_t line_bytes = l.pixel_bytes ? static_cast<size_t>(ctx->width) * l.pixel_bytes : static_cast<size_t>(ctx->width + 7) / 8;
    std::unique_ptr<uint8_t[]> coded;
    if (l.rle) {
        coded.reset(new (std::nothrow) uint8_t[static_cast<size_t>(ctx->width) * (l.pixel_bytes + 1)]);
        if (!coded) return STATUS_NO_MEMORY;
    }
    for (int y = 0; y < ctx->height; ++y) {
        LUM_TRY(save_get_lines(ctx, y, 1));
        if (l.rle) o.bytes(coded.get(), tga_rle_encode(h.line_buffer, ctx->width, l.pixel_bytes, coded.get()));
        else o.bytes(h.line_buffer, line_bytes);
        if (o.failed) return STATUS_WRITE_FAILED;
    }
    return STATUS_OK;
}

// `grey_values` outlives the writing: the pipeline reads it through the context.
Status write_file(Stream* out, SaveContext* ctx, uint8_t grey_values[256])
{
    if (ctx->width > 65535 || ctx->height > 65535) return STATUS_BAD_PARAMETER;
    const TgaLayout l = layout_for(ctx);
    TgaOut o{out};
    write_header(o, ctx, l);
    if (o.failed) return STATUS_WRITE_FAILED;

    SaveHeader h;
    save_header_init(&h);
    h.planes = 1;
    h.bits_per_plane = static_cast<int16_t>(l.depth);
    if (l.depth == 24) h.layout_flags = LAYOUT_REVERSED;
    if (l.depth == 32) h.layout_flags = LAYOUT_BGRA;
    std::snprintf(h.label, sizeof h.label, "%s", l.rle ? "Targa RLE" : "Targa");
    // Grey pictures of fewer levels hold level numbers; the file holds grey values.
    if (ctx->type == PIXEL_GREY && save_grey_levels(ctx) < 256) {
        const int top = save_grey_levels(ctx) - 1;
        for (int v = 0; v < 256; ++v) grey_values[v] = static_cast<uint8_t>((v < top ? v : top) * 255 / top);
        ctx->remap = grey_values;
    }
    LUM_TRY(save_begin(ctx, &h));
    LUM_TRY(write_lines(o, ctx, l, h));
    save_end(ctx);
    return o.failed ? STATUS_WRITE_FAILED : STATUS_OK;
}

}  // namespace

size_t tga_rle_encode(const uint8_t* line, int count, int pixel_bytes, uint8_t* out)
{
    const size_t pb = static_cast<size_t>(pixel_bytes);
    auto same = [&](int a, int b) { return std::memcmp(line + a * pb, line + b * pb, pb) == 0; };
    size_t n = 0;
    int x = 0;
    while (x < count) {
        if (x + 1 < count && same(x, x + 1)) {
            int run = 2;
            while (run < 128 && x + run < count && same(x, x + run)) ++run;
            out[n++] = static_cast<uint8_t>(0x80 | (run - 1));
            std::memcpy(out + n, line + x * pb, pb);
            n += pb;
            x += run;
        } else {
            int literal = 1;
            while (literal < 128 && x + literal < count && !(x + literal + 1 < count && same(x + literal, x + literal + 1)))
                ++literal;
            out[n++] = static_cast<uint8_t>(literal - 1);
            std::memcpy(out + n, line + x * pb, pb * static_cast<size_t>(literal));
            n += pb * static_cast<size_t>(literal);
            x += literal;
        }
    }
    return n;
}

void tga_writable_types(WritableType list[FORMAT_WRITABLE_MAX])
{
    writable_types_set(list, {PIXEL_ANY32, PIXEL_ANY24, PIXEL_COLORS, PIXEL_GREY, PIXEL_BINARY});
}

Status tga_write(const char* file_name, SaveContext* ctx)
{
    uint8_t grey_values[256];
    const Status status =
        write_file_with(file_name, [&](Stream* out) { return write_file(out, ctx, grey_values); });
    save_end(ctx);
    ctx->remap = nullptr;
    return status;
}
