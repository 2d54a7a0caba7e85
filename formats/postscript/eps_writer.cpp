// A one-page EPS file: structured header, our prolog, and the pixels as hexadecimal text drawn by
// the prolog's DisplayImage.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "formats/common/save_palette.h"
#include "formats/common/writable_types.h"
#include "formats/postscript/eps_prolog.h"
#include "formats/postscript/ps_codec.h"
#include "formats/postscript/ps_support.h"

namespace {

struct Placement {
    long x = 0, y = 0;
    double w = 0, h = 0;
};

Placement place(const SaveContext* ctx)
{
    Placement p;
    const double r = ctx->x_dpi > 0 ? ctx->x_dpi : 72;
    p.w = static_cast<long>(ctx->width * 72.0 / r);
    p.h = static_cast<long>(ctx->height * 72.0 / r);
    const int page_width = ctx->params.reserved_120, page_height = ctx->params.reserved_122;
    const int zoom = ctx->params.reserved_136;
    if (page_width > 0 && page_height > 0) {
        if (zoom > 0 && p.w > 0 && p.h > 0) {
            const double box_w = zoom * page_width / 100.0, box_h = zoom * page_height / 100.0;
            const double scale = std::min(box_w / p.w, box_h / p.h);
            p.w = static_cast<long>(p.w * scale);
            p.h = static_cast<long>(p.h * scale);
        }
        p.x = static_cast<long>((page_width - p.w) / 2);
        p.y = static_cast<long>((page_height - p.h) / 2);
    }
    return p;
}

// Hexadecimal bytes with a line feed after every `per_line` items, the count running on across
// picture lines.
struct HexOut {
    Stream* out;
    int per_line;
    int on_line = 0;
    std::string text;
    void item(const uint8_t* bytes, int n)
    {
        static const char DIGITS[] = "0123456789abcdef";
        for (int i = 0; i < n; ++i) {
            text += DIGITS[bytes[i] >> 4];
            text += DIGITS[bytes[i] & 15];
        }
        if (++on_line == per_line) {
            text += '\n';
            on_line = 0;
        }
    }
    bool flush()
    {
        const bool ok = stream_write(out, text.data(), text.size()) == text.size();
        text.clear();
        return ok;
    }
};

Status write_image(Stream* out, SaveContext* ctx)
{
    enum class Kind { Colour, Mapped, Grey, Bilevel } kind;
    if (ctx->type == PIXEL_BINARY) kind = Kind::Bilevel;
    else if (ctx->type == PIXEL_GREY) kind = Kind::Grey;
    else if (ctx->type == PIXEL_COLORS) kind = Kind::Mapped;
    else kind = Kind::Colour;

    SaveHeader h;
    save_header_init(&h);
    h.bits_per_plane = kind == Kind::Colour ? 24 : kind == Kind::Bilevel ? 1 : 8;
    std::snprintf(h.label, sizeof h.label, "Encapsulated Postscript");
    // Grey pictures of fewer levels hold level numbers: the file wants them as 0..255 greys.
    uint8_t rgb[768];
    uint8_t levels[256];
    struct Unset {
        SaveContext* ctx;
        ~Unset() { ctx->remap = nullptr; }
    } unset{ctx};
    if (kind == Kind::Grey && save_grey_levels(ctx) < 256) {
        save_palette_rgb(ctx, 256, rgb);
        for (int i = 0; i < 256; ++i) levels[i] = rgb[3 * i];
        ctx->remap = levels;
    }
    LUM_TRY(save_begin(ctx, &h));

    const unsigned long width = static_cast<unsigned long>(ctx->width), height = static_cast<unsigned long>(ctx->height);
    switch (kind) {
    case Kind::Colour: stream_printf(out, "%lu %lu\n%d\n%d\n", width, height, 0, 0); break;
    case Kind::Mapped:
        stream_printf(out, "%lu %lu\n1\n0\n0\n", width, height);
        save_palette_rgb(ctx, 256, rgb);
        stream_printf(out, "%d\n", 256);
        for (int i = 0; i < 256; ++i)
            stream_printf(out, "%02lx%02lx%02lx\n", static_cast<unsigned long>(rgb[3 * i]),
                          static_cast<unsigned long>(rgb[3 * i + 1]), static_cast<unsigned long>(rgb[3 * i + 2]));
        break;
    case Kind::Grey:
    case Kind::Bilevel:
        stream_printf(out, "%lu %lu\n1\n1\n1\n%d\n", width, height, kind == Kind::Grey ? 8 : 1);
        break;
    }
    HexOut hex{out, kind == Kind::Colour ? 12 : 36, 0, {}};
    const int items = kind == Kind::Bilevel ? (ctx->width + 7) / 8 : ctx->width;
    const int item_bytes = kind == Kind::Colour ? 3 : 1;
    for (int y = 0; y < ctx->height; ++y) {
        LUM_TRY(save_get_lines(ctx, -1, 1));
        for (int i = 0; i < items; ++i) hex.item(h.line_buffer + i * item_bytes, item_bytes);
        if (!hex.flush()) return STATUS_WRITE_FAILED;
    }
    save_end(ctx);
    return STATUS_OK;
}

}  // namespace

void eps_writable_types(WritableType list[FORMAT_WRITABLE_MAX])
{
    writable_types_set(list, {PIXEL_ANY32, PIXEL_ANY24, PIXEL_COLORS, PIXEL_GREY, PIXEL_BINARY});
}

Status eps_write(const char* file_name, SaveContext* ctx)
{
    Stream* out = stream_open(file_name, STREAM_WRITE);
    if (!out) return STATUS_CREATE_FAILED;
    const Placement p = place(ctx);
    const char* title = ctx->target_name ? ctx->target_name : file_name;
    char date[128] = {};
    const std::time_t now = std::time(nullptr);
    if (const std::tm* local = std::localtime(&now)) {
        std::snprintf(date, sizeof date, "%s", std::asctime(local));
        if (char* feed = std::strchr(date, '\n')) *feed = 0;
    }
    stream_printf(out, "%%!PS-Adobe-3.0 EPSF-3.0\n");
    stream_printf(out, "%%%%Creator: (Oxvane)\n");
    stream_printf(out, "%%%%Title: (%.1024s)\n", title);
    stream_printf(out, "%%%%CreationDate: (%.1024s)\n", date);
    stream_printf(out, "%%%%BoundingBox: %s %s %s %s\n", c_number("%g", static_cast<double>(p.x)).c_str(),
                  c_number("%g", static_cast<double>(p.y)).c_str(), c_number("%g", p.x + p.w).c_str(),
                  c_number("%g", p.y + p.h).c_str());
    stream_printf(out, "%%%%DocumentData: Clean7Bit\n%%%%LanguageLevel: 1\n%%%%Orientation: Portrait\n"
                       "%%%%PageOrder: Ascend\n%%%%Pages: 1\n%%%%EndComments\n");
    stream_printf(out, "\n%%%%BeginDefaults\n%%%%EndDefaults\n\n");
    for (int i = 0; i < eps_prolog_lines; ++i) stream_printf(out, "%.255s\n", eps_prolog[i]);
    stream_printf(out, "} bind def\n%%%%EndProlog\n");
    stream_printf(out, "%%%%Page:  1 1\n");
    stream_printf(out, "%%%%PageBoundingBox: %ld %ld %ld %ld\n", p.x, p.y, static_cast<long>(p.x + p.w),
                  static_cast<long>(p.y + p.h));
    stream_printf(out, "userdict begin\nDisplayImage\n");
    stream_printf(out, "%ld %ld\n%s %s\n%s\n", p.x, p.y, c_number("%g", p.w).c_str(), c_number("%g", p.h).c_str(),
                  c_number("%f", 0).c_str());
    // A failed begin leaves the picture out, but the file still ends as a document.
    const Status status = write_image(out, ctx);
    stream_printf(out, "\nend\n%%%%PageTrailer\n%%%%Trailer\n%%%%EOF\n");
    const bool flushed = std::fflush(out->file) == 0 && !std::ferror(out->file);
    stream_close(out);
    if (status != STATUS_OK) return status;
    return flushed ? STATUS_OK : STATUS_WRITE_FAILED;
}
