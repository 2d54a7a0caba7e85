// Writing a portable anymap: bitmaps as P4 (P1), grey pictures as P5 (P2), colour pictures as P6
// (P3), with 8-bit samples. Colour-mapped pictures have no form here.
#include <algorithm>
#include <cstdio>
#include <string>

#include "core/line_convert.h"
#include "formats/common/writable_types.h"
#include "formats/pnm/pnm_codec.h"
#include "formats/common/write_file.h"

namespace {

enum class Kind { Bitmap, Grey, Pixmap };

struct PnmOut {
    Stream* out;
    bool failed = false;
    void text(const std::string& t) { failed |= stream_write(out, t.data(), t.size()) != t.size(); }
    void bytes(const uint8_t* p, size_t n) { failed |= stream_write(out, p, n) != n; }
};

// One line of samples as "%d " texts; bitmaps give one digit per pixel, leftmost bit first.
void ascii_line(Kind kind, const uint8_t* line, int width, std::string& text)
{
    text.clear();
    char number[8];
    if (kind == Kind::Bitmap) {
        for (int x = 0; x < width; ++x) {
            text += static_cast<char>('0' + bit_get(line, x));
            text += ' ';
        }
    } else {
        const int n = kind == Kind::Pixmap ? 3 * width : width;
        for (int i = 0; i < n; ++i) {
            const int len = std::snprintf(number, sizeof number, "%d ", line[i]);
            text.append(number, static_cast<size_t>(len));
        }
    }
    text += '\n';
}

Status write_file(PnmOut& w, SaveContext* ctx, Kind kind)
{
    const bool ascii = pnm_save_ascii(ctx->params);
    const int digit = (kind == Kind::Bitmap ? 1 : kind == Kind::Grey ? 2 : 3) + (ascii ? 0 : 3);
    char header[64];
    std::snprintf(header, sizeof header, "P%d\n%d %d\n%s", digit, ctx->width, ctx->height,
                  kind == Kind::Bitmap ? "" : "255\n");
    w.text(header);
    if (w.failed) return STATUS_WRITE_FAILED;

    SaveHeader h;
    save_header_init(&h);
    if (kind == Kind::Bitmap) {
        h.layout_flags = SAVE_LAYOUT_BILEVEL_SET_BLACK;  // the format's 1 is black
    } else {
        h.bits_per_plane = kind == Kind::Grey ? 8 : 24;
    }
    std::snprintf(h.label, sizeof h.label, "%s", kind == Kind::Bitmap ? "PBM" : kind == Kind::Grey ? "PGM" : "PPM");
    LUM_TRY(save_begin(ctx, &h));
    // Grey pictures of fewer levels hold level numbers; the file wants them spread over 0..255.
    uint8_t levels[256];
    struct Unset {
        SaveContext* ctx;
        ~Unset() { ctx->remap = nullptr; }
    } unset{ctx};
    if (kind == Kind::Grey && ctx->colour_used > 1 && ctx->colour_used < 256) {
        for (int i = 0; i < 256; ++i) levels[i] = static_cast<uint8_t>(std::min(i, ctx->colour_used - 1) * 255 / (ctx->colour_used - 1));
        ctx->remap = levels;
    }

    const size_t line_bytes = kind == Kind::Bitmap ? (static_cast<size_t>(ctx->width) + 7) / 8
                              : kind == Kind::Grey ? static_cast<size_t>(ctx->width)
                                                   : 3 * static_cast<size_t>(ctx->width);
    std::string text;
    for (int y = 0; y < ctx->height; ++y) {
        LUM_TRY(save_get_lines(ctx, -1, 1));
        if (ascii) {
            ascii_line(kind, h.line_buffer, ctx->width, text);
            w.text(text);
        } else {
            w.bytes(h.line_buffer, line_bytes);
        }
        if (w.failed) return STATUS_WRITE_FAILED;
    }
    save_end(ctx);
    return STATUS_OK;
}

}  // namespace

void pbm_writable_types(WritableType list[FORMAT_WRITABLE_MAX]) { writable_types_set(list, {PIXEL_BINARY}); }
void pgm_writable_types(WritableType list[FORMAT_WRITABLE_MAX]) { writable_types_set(list, {PIXEL_GREY}); }
void ppm_writable_types(WritableType list[FORMAT_WRITABLE_MAX]) { writable_types_set(list, {PIXEL_ANY24}); }
void pnm_writable_types(WritableType list[FORMAT_WRITABLE_MAX])
{
    writable_types_set(list, {PIXEL_ANY24, PIXEL_GREY, PIXEL_BINARY});
}

Status pnm_write(const char* file_name, SaveContext* ctx)
{
    Kind kind;
    if (ctx->type == PIXEL_BINARY) kind = Kind::Bitmap;
    else if (ctx->type == PIXEL_GREY) kind = Kind::Grey;
    else if (ctx->type & PIXEL_ANYCOLOR) kind = Kind::Pixmap;
    else return STATUS_TYPE_UNSUPPORTED;
    return write_file_with(file_name, [&](Stream* out) {
        PnmOut w{out};
        return write_file(w, ctx, kind);
    });
}
