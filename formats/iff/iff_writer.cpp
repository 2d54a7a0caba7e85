// Writing FORM ILBM: bilevel, grey and colour-mapped pictures as bit planes with a colour map,
// true colour as 24 bit planes; each plane row raw or packed with ByteRun1. The FORM and BODY
// sizes are patched once the rows are written.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "formats/common/packbits.h"
#include "formats/common/writable_types.h"
#include "formats/iff/iff_codec.h"
#include "formats/common/write_file.h"

namespace {

constexpr uint32_t CAMG_MODE = 4096;

struct IffOut {
    Stream* out;
    bool failed = false;
    void bytes(const void* p, size_t n) { failed |= n && stream_write(out, p, n) != n; }
    void text(const char* four) { bytes(four, 4); }
    void u8(int v) { failed |= stream_putc(out, v) == EOF; }
    void u16(int v) { failed |= stream_write_u16be(out, static_cast<uint16_t>(v)) != 0; }
    void u32(uint32_t v) { failed |= stream_write_u32be(out, v) != 0; }
};

struct Layout {
    int planes;
    bool true_colour;
    size_t plane_bytes;  // even, as the format wants
};

Layout layout_for(const SaveContext* ctx)
{
    Layout l{};
    l.true_colour = (ctx->type & PIXEL_ANYCOLOR) != 0;
    if (l.true_colour) l.planes = 24;
    else if (ctx->type == PIXEL_BINARY) l.planes = 1;
    else l.planes = bits_for_colours(ctx->colour_used > 0 ? ctx->colour_used : 256);
    l.plane_bytes = static_cast<size_t>((ctx->width + 15) / 16 * 2);
    return l;
}

// The colours of 2^planes indices: bilevel black and white, grey levels, or the picture's map.
void write_cmap(IffOut& w, const SaveContext* ctx, int planes)
{
    const int entries = 1 << planes;
    w.text("CMAP");
    w.u32(static_cast<uint32_t>(3 * entries));
    const Picture* p = ctx->picture;
    const int top = ctx->colour_used > 1 && ctx->colour_used < 256 ? ctx->colour_used - 1 : 255;
    for (int i = 0; i < entries; ++i) {
        uint8_t rgb[3];
        if (ctx->type == PIXEL_BINARY) {
            rgb[0] = rgb[1] = rgb[2] = i ? 255 : 0;
        } else if (ctx->type == PIXEL_GREY) {
            rgb[0] = rgb[1] = rgb[2] = static_cast<uint8_t>(i > top ? 255 : i * 255 / top);
        } else if (p->colour_map) {
            rgb[0] = p->colour_map[i];
            rgb[1] = p->colour_map[256 + i];
            rgb[2] = p->colour_map[512 + i];
        } else {
            rgb[0] = rgb[1] = rgb[2] = 0;
        }
        w.bytes(rgb, 3);
    }
    // 3 x 2^planes is even for every planes count but 0.
}

void write_headers(IffOut& w, const SaveContext* ctx, const Layout& l)
{
    w.text("FORM");
    w.u32(0);  // patched at the end
    w.text("ILBM");
    w.text("BMHD");
    w.u32(20);
    w.u16(ctx->width);
    w.u16(ctx->height);
    w.u16(0);
    w.u16(0);
    w.u8(l.planes);
    w.u8(2);  // masking: a transparent colour
    w.u8(iff_save_packbits(ctx->params) ? 1 : 0);
    w.u8(0);
    w.u16(0);  // transparent colour
    w.u8(1);   // aspect 1:1
    w.u8(1);
    w.u16(ctx->width);
    w.u16(ctx->height);
    if (!l.true_colour) write_cmap(w, ctx, l.planes);
    w.text("CAMG");
    w.u32(4);
    w.u32(CAMG_MODE);
    w.text("BODY");
    w.u32(0);  // patched at the end
}

// One true-colour line (R, G, B a pixel) as 24 bit planes: red bits 0-7, green 8-15, blue 16-23.
void split_true_colour(const uint8_t* rgb, int width, size_t plane_bytes, uint8_t* planes)
{
    std::memset(planes, 0, plane_bytes * 24);
    for (int x = 0; x < width; ++x) {
        const uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
        const size_t at = static_cast<size_t>(x >> 3);
        for (int c = 0; c < 3; ++c) {
            const uint8_t v = rgb[3 * x + c];
            for (int b = 0; b < 8; ++b)
                if ((v >> b) & 1) planes[plane_bytes * static_cast<size_t>(8 * c + b) + at] |= bit;
        }
    }
}

Status write_file(Stream* out, SaveContext* ctx)
{
    const Layout l = layout_for(ctx);
    if (ctx->width > 65535 || ctx->height > 65535) return STATUS_BAD_PARAMETER;  // BMHD holds 16-bit sides
    IffOut w{out};
    write_headers(w, ctx, l);
    if (w.failed) return STATUS_WRITE_FAILED;
    const int64_t body_start = stream_tell(out);

    const bool packbits = iff_save_packbits(ctx->params);
    SaveHeader h;
    save_header_init(&h);
    if (l.true_colour) {
        h.bits_per_plane = 24;
    } else {
        h.planes = static_cast<int16_t>(l.planes);
        h.bits_per_plane = 1;
    }
    std::snprintf(h.label, sizeof h.label, "%s", packbits ? "IFF/ILBM Packbits" : "IFF/ILBM");
    LUM_TRY(save_begin(ctx, &h));

    // The pipeline's planes are (width + 7) / 8 bytes each; the file's are a whole number of words.
    const size_t pipeline_plane = static_cast<size_t>((ctx->width + 7) / 8);
    std::vector<uint8_t> planes(l.plane_bytes * static_cast<size_t>(l.planes));
    std::vector<uint8_t> packed(packbits_bound(l.plane_bytes));
    for (int y = 0; y < ctx->height; ++y) {
        LUM_TRY(save_get_lines(ctx, -1, 1));
        if (l.true_colour) {
            split_true_colour(h.line_buffer, ctx->width, l.plane_bytes, planes.data());
        } else {
            std::fill(planes.begin(), planes.end(), 0);
            for (int p = 0; p < l.planes; ++p)
                std::memcpy(planes.data() + l.plane_bytes * p, h.line_buffer + pipeline_plane * p, pipeline_plane);
        }
        for (int p = 0; p < l.planes; ++p) {
            const uint8_t* plane = planes.data() + l.plane_bytes * p;
            if (packbits) w.bytes(packed.data(), packbits_encode(plane, l.plane_bytes, packed.data()));
            else w.bytes(plane, l.plane_bytes);
        }
        if (w.failed) return STATUS_WRITE_FAILED;
    }
    save_end(ctx);

    int64_t end = stream_tell(out);
    const uint32_t body_size = static_cast<uint32_t>(end - body_start);
    if (end & 1) {
        w.u8(0);
        ++end;
    }
    stream_seek(out, 4, SEEK_SET);
    w.u32(static_cast<uint32_t>(end - 8));
    stream_seek(out, body_start - 4, SEEK_SET);
    w.u32(body_size);
    return w.failed ? STATUS_WRITE_FAILED : STATUS_OK;
}

}  // namespace

void iff_writable_types(WritableType list[FORMAT_WRITABLE_MAX])
{
    writable_types_set(list, {PIXEL_ANY24, PIXEL_COLORS, PIXEL_GREY, PIXEL_BINARY});
}

Status iff_write(const char* file_name, SaveContext* ctx)
{
    return write_file_with(file_name, [ctx](Stream* out) { return write_file(out, ctx); });
}
