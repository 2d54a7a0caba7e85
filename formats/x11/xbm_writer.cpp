// Writing an X11 bitmap: bilevel pictures only, as bytes with the leftmost pixel in the least
// significant bit and set bits black.
#include <cstdio>
#include <string>

#include "formats/common/writable_types.h"
#include "formats/x11/x11_codecs.h"
#include "formats/x11/xbm_bits.h"
#include "formats/common/write_file.h"

namespace {

Status write_file(Stream* out, SaveContext* ctx)
{
    std::string text = "#define x_width " + std::to_string(ctx->width) + "\n#define x_height " +
                       std::to_string(ctx->height) + "\nstatic char x_bits[] = {\n";
    SaveHeader h;
    save_header_init(&h);
    h.layout_flags = SAVE_LAYOUT_BILEVEL_SET_BLACK;
    std::snprintf(h.label, sizeof h.label, "X BitMap file");
    LUM_TRY(save_begin(ctx, &h));
    const int line_bytes = (ctx->width + 7) / 8;
    char value[8];
    for (int y = 0; y < ctx->height; ++y) {
        LUM_TRY(save_get_lines(ctx, -1, 1));
        for (int i = 0; i < line_bytes; ++i) {
            std::snprintf(value, sizeof value, "0x%02x, ", xbm_reverse_bits(h.line_buffer[i]));
            text += value;
        }
        text += '\n';
        if (stream_write(out, text.data(), text.size()) != text.size()) return STATUS_WRITE_FAILED;
        text.clear();
    }
    text = "}; \n";
    if (stream_write(out, text.data(), text.size()) != text.size()) return STATUS_WRITE_FAILED;
    save_end(ctx);
    return STATUS_OK;
}

}  // namespace

void xbm_writable_types(WritableType list[FORMAT_WRITABLE_MAX]) { writable_types_set(list, {PIXEL_BINARY}); }

Status xbm_write(const char* file_name, SaveContext* ctx)
{
    if (ctx->type != PIXEL_BINARY) return STATUS_TYPE_UNSUPPORTED;
    return write_file_with(file_name, [ctx](Stream* out) { return write_file(out, ctx); });
}
