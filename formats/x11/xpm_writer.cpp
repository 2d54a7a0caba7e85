// Writing an X11 pixmap: colour-mapped, grey and bilevel pictures, one or two characters a pixel,
// the colours as "#rrggbb" and the transparent one as "None". The array is named after the file.
#include <cstdio>
#include <string>

#include "core/line_convert.h"
#include "formats/common/writable_types.h"
#include "formats/x11/x11_codecs.h"
#include "formats/common/write_file.h"

const char XPM_PIXEL_CHARACTERS[66] = "`.#abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

namespace {

constexpr int ONE_CHARACTER_COLOURS = 64;

// The file's base name without its extension, and "_xpm".
std::string variable_name(const char* file_name)
{
    if (!file_name || !*file_name) return "Oxvane";
    std::string name = file_name;
    const size_t slash = name.find_last_of("/\\");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos) name.erase(dot);
    return name + "_xpm";
}

struct Colour {
    uint8_t red, green, blue;
};

Colour colour_of(const SaveContext* ctx, int i)
{
    const Picture* p = ctx->picture;
    if (ctx->type == PIXEL_BINARY) {
        const uint8_t v = i ? 255 : 0;  // clear bits are black
        return {v, v, v};
    }
    if (ctx->type == PIXEL_GREY) {
        const int top = ctx->colour_used > 1 && ctx->colour_used < 256 ? ctx->colour_used - 1 : 255;
        const uint8_t v = static_cast<uint8_t>(i * 255 / top);
        return {v, v, v};
    }
    if (!p->colour_map) return {0, 0, 0};
    return {p->colour_map[i], p->colour_map[256 + i], p->colour_map[512 + i]};
}

// The characters naming colour i.
std::string pixel_chars(int i, int chars_per_pixel)
{
    if (chars_per_pixel == 1) return std::string(1, XPM_PIXEL_CHARACTERS[i]);
    return {XPM_PIXEL_CHARACTERS[i >> 6], XPM_PIXEL_CHARACTERS[i & 63]};
}

Status write_file(Stream* out, SaveContext* ctx)
{
    int colours = ctx->type == PIXEL_BINARY ? 2 : ctx->colour_used;
    if (colours < 1 || colours > 256) colours = 256;
    const int cpp = colours < ONE_CHARACTER_COLOURS ? 1 : 2;
    char buffer[128];
    std::string text = "/* XPM */\nstatic char *" + variable_name(ctx->target_name ? ctx->target_name : ctx->file_name) +
                       "[] = {\n/* width height num_colors chars_per_pixel */\n\"";
    std::snprintf(buffer, sizeof buffer, "   %3d   %3d   %6d            %1d", ctx->width, ctx->height, colours, cpp);
    text += buffer;
    text += "\",\n/* colors */\n";
    for (int i = 0; i < colours; ++i) {
        const Colour c = colour_of(ctx, i);
        text += '"' + pixel_chars(i, cpp);
        if (i == ctx->transparent_index) {
            text += " c None";
        } else {
            std::snprintf(buffer, sizeof buffer, " c #%02x%02x%02x", c.red, c.green, c.blue);
            text += buffer;
        }
        text += "\",\n";
    }
    text += "/* pixels */\n";

    SaveHeader h;
    save_header_init(&h);
    h.layout_flags = LAYOUT_BYTE_PER_PIXEL;
    h.bits_per_plane = 8;
    std::snprintf(h.label, sizeof h.label, "X PixMap");
    LUM_TRY(save_begin(ctx, &h));
    for (int y = 0; y < ctx->height; ++y) {
        LUM_TRY(save_get_lines(ctx, -1, 1));
        text += '"';
        for (int x = 0; x < ctx->width; ++x) {
            // Indices beyond the colours written would name no colour: they take the last one.
            const int i = h.line_buffer[x] < colours ? h.line_buffer[x] : colours - 1;
            text += pixel_chars(i, cpp);
        }
        if (y + 1 < ctx->height) text += "\",\n";
        if (stream_write(out, text.data(), text.size()) != text.size()) return STATUS_WRITE_FAILED;
        text.clear();
    }
    text = "\"\n};\n";
    if (stream_write(out, text.data(), text.size()) != text.size()) return STATUS_WRITE_FAILED;
    save_end(ctx);
    return STATUS_OK;
}

}  // namespace

void xpm_writable_types(WritableType list[FORMAT_WRITABLE_MAX])
{
    writable_types_set(list, {PIXEL_COLORS, PIXEL_GREY, PIXEL_BINARY});
}

Status xpm_write(const char* file_name, SaveContext* ctx)
{
    if (ctx->type & PIXEL_ANYCOLOR) return STATUS_TYPE_UNSUPPORTED;
    return write_file_with(file_name, [ctx](Stream* out) { return write_file(out, ctx); });
}
