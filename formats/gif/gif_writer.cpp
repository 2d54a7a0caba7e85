// Writing a single-image GIF file: header, logical screen and global colour table, the optional
// transparency and comment extensions, the image descriptor and its LZW data in sub-blocks.
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "core/line_convert.h"
#include "formats/common/lzw.h"
#include "formats/common/save_palette.h"
#include "formats/common/writable_types.h"
#include "formats/gif/gif_codec.h"
#include "formats/common/write_file.h"

namespace {

constexpr size_t SUB_BLOCK_BYTES = 254;

struct GifOut {
    Stream* out;
    bool failed = false;
    uint8_t block[SUB_BLOCK_BYTES + 1];
    size_t block_used = 0;

    void byte(int v) { failed |= stream_putc(out, v) == EOF; }
    void u16(int v) { failed |= stream_write_u16le(out, static_cast<uint16_t>(v)) != 0; }
    void bytes(const void* p, size_t n) { failed |= n && stream_write(out, p, n) != n; }

    void flush_block()
    {
        if (!block_used) return;
        block[0] = static_cast<uint8_t>(block_used);
        bytes(block, block_used + 1);
        block_used = 0;
    }
};

// The coder's bytes, cut into sub-blocks.
bool to_sub_blocks(void* data, const uint8_t* bytes, size_t size)
{
    GifOut& o = *static_cast<GifOut*>(data);
    while (size) {
        size_t n = SUB_BLOCK_BYTES - o.block_used;
        if (n > size) n = size;
        std::memcpy(o.block + 1 + o.block_used, bytes, n);
        o.block_used += n;
        bytes += n;
        size -= n;
        if (o.block_used == SUB_BLOCK_BYTES) o.flush_block();
    }
    return !o.failed;
}

int bits_for(const SaveContext* ctx)
{
    if (ctx->type == PIXEL_BINARY) return 1;
    const int colours = ctx->type == PIXEL_GREY ? save_grey_levels(ctx) : ctx->colour_used > 0 ? ctx->colour_used : 256;
    return bits_for_colours(colours);
}

void write_header(GifOut& o, const SaveContext* ctx, int bits, bool interlace)
{
    o.bytes(gif_save_87a(ctx->params) ? "GIF87a" : "GIF89a", 6);
    o.u16(ctx->width);
    o.u16(ctx->height);
    o.byte(0x80 | (bits - 1));
    o.byte(0);  // background
    o.byte(1);  // aspect byte as written since the first version of this writer
    uint8_t rgb[768];
    save_palette_rgb(ctx, 1 << bits, rgb);
    o.bytes(rgb, static_cast<size_t>(3) << bits);

    // A transparent index outside the table could never match a pixel.
    if (ctx->transparent_index >= 0 && ctx->transparent_index < (1 << bits)) {
        const uint8_t control[8] = {0x21, 0xF9, 4, 1, 0, 0, static_cast<uint8_t>(ctx->transparent_index), 0};
        o.bytes(control, sizeof control);
    }
    if (ctx->comment) {
        const size_t length = std::strlen(ctx->comment);
        if (length < 255) {
            o.byte(0x21);
            o.byte(0xFE);
            o.byte(static_cast<int>(length + 1));
            o.bytes(ctx->comment, length + 1);
            o.byte(0);
        }
    }
    o.byte(0x2C);
    o.u16(0);
    o.u16(0);
    o.u16(ctx->width);
    o.u16(ctx->height);
    o.byte((interlace ? 0x40 : 0) | (bits - 1));
}

Status write_file(Stream* out, SaveContext* ctx)
{
    if (ctx->width > 65535 || ctx->height > 65535) return STATUS_BAD_PARAMETER;
    const int bits = bits_for(ctx);
    const bool interlace = gif_save_interlace(ctx->params);
    std::unique_ptr<GifOut> o(new (std::nothrow) GifOut);
    std::unique_ptr<LzwEncoder> coder(new (std::nothrow) LzwEncoder);
    if (!o || !coder) return STATUS_NO_MEMORY;
    o->out = out;
    write_header(*o, ctx, bits, interlace);
    const int root_bits = bits < 2 ? 2 : bits;
    o->byte(root_bits);
    if (o->failed) return STATUS_WRITE_FAILED;

    SaveHeader h;
    save_header_init(&h);
    h.planes = 1;
    h.bits_per_plane = 8;
    h.layout_flags = LAYOUT_BYTE_PER_PIXEL;
    std::snprintf(h.label, sizeof h.label, "%s", interlace ? "Gif interlaced" : "Gif");
    LUM_TRY(save_begin(ctx, &h));
    lzw_encoder_init(coder.get(), LZW_GIF(root_bits), to_sub_blocks, o.get());
    for (int n = 0; n < ctx->height; ++n) {
        LUM_TRY(save_get_lines(ctx, interlace ? gif_interlaced_row(n, ctx->height) : n, 1));
        if (!lzw_encode(coder.get(), h.line_buffer, static_cast<size_t>(ctx->width))) return STATUS_WRITE_FAILED;
    }
    save_end(ctx);
    if (!lzw_encode_finish(coder.get())) return STATUS_WRITE_FAILED;
    o->flush_block();
    o->byte(0);
    o->byte(0x3B);
    return o->failed ? STATUS_WRITE_FAILED : STATUS_OK;
}

}  // namespace

void gif_writable_types(WritableType list[FORMAT_WRITABLE_MAX])
{
    writable_types_set(list, {PIXEL_COLORS, PIXEL_GREY, PIXEL_BINARY});
}

Status gif_write(const char* file_name, SaveContext* ctx)
{
    if (!lzw_enabled() || (ctx->type & PIXEL_ANYCOLOR)) return STATUS_TYPE_UNSUPPORTED;
    const Status status = write_file_with(file_name, [ctx](Stream* out) { return write_file(out, ctx); });
    save_end(ctx);
    return status;
}
