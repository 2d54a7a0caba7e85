#include "core/save.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "core/format.h"
#include "core/line_convert.h"
#include "core/progress.h"

#include <fcntl.h>
#include <sys/stat.h>

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

enum class Fetch { Colour3, Colour4, Bilevel, Bytes, Native };

}  // namespace

struct SaveConversion {
    Fetch fetch = Fetch::Colour3;
    uint32_t flags = 0;
    int planes = 1;
    int bits = 8;          // per plane, or per component
    int total_bits = 8;
    int plane_bytes = 0;   // bytes of one plane's part of a line, planes side by side
    bool flip_rows = false;
    bool reverse_columns = false;
    bool invert_bilevel = false;
    int lines_per_call = 1;
    int next_line = 0;
    int64_t lines_done = 0;
    int dashes = 0;
    bool stopped = false;
    std::vector<uint8_t> line_buffer;
    std::vector<uint8_t> samples;  // one row as R, G, B, A (or C, M, Y, K), or one byte a pixel
};

namespace {

const uint8_t* row_of(const Picture* p, int y) { return p->data + static_cast<ptrdiff_t>(y) * p->bytes_per_line; }

uint8_t sample8(const Picture* p, const uint8_t* px, int c)
{
    if (p->bits_per_component <= 8) return px[c];
    uint16_t v;
    std::memcpy(&v, px + 2 * c, 2);
    const unsigned max = p->bits_per_component >= 16 ? 65535u : (1u << p->bits_per_component) - 1;
    return static_cast<uint8_t>((std::min<unsigned>(v, max) * 255u + max / 2) / max);
}

uint8_t grey_level(const Picture* p, uint8_t v)
{
    const int levels = p->colour_used;
    if (levels > 1 && levels < 256) return static_cast<uint8_t>(std::min<int>(v, levels - 1) * 255 / (levels - 1));
    return v;
}

// One picture row as four bytes a pixel: R, G, B, A (C, M, Y, K for CMYK pictures).
void row_to_rgba(const Picture* p, const uint8_t* row, uint8_t* out)
{
    const int w = p->width;
    const int bpp = p->bytes_per_pixel;
    switch (p->type) {
    case PIXEL_BINARY:
        for (int x = 0; x < w; ++x) {
            const uint8_t v = bit_get(row, x) ? 255 : 0;
            out[4 * x] = out[4 * x + 1] = out[4 * x + 2] = v;
            out[4 * x + 3] = 255;
        }
        return;
    case PIXEL_GREY:
        for (int x = 0; x < w; ++x) {
            const uint8_t v = grey_level(p, sample8(p, row + static_cast<size_t>(x) * bpp, 0));
            out[4 * x] = out[4 * x + 1] = out[4 * x + 2] = v;
            out[4 * x + 3] = 255;
        }
        return;
    case PIXEL_COLORS:
        for (int x = 0; x < w; ++x) {
            const uint8_t i = row[x];
            const uint8_t* map = p->colour_map;
            out[4 * x] = map ? map[i] : i;
            out[4 * x + 1] = map ? map[256 + i] : i;
            out[4 * x + 2] = map ? map[512 + i] : i;
            out[4 * x + 3] = i == p->transparent_index ? 0 : 255;
        }
        return;
    default: break;
    }
    int order = 0;  // channel order of the picture's pixels
    switch (p->type) {
    case PIXEL_BGR: case PIXEL_ABGR: order = 1; break;
    case PIXEL_BGRA: order = 2; break;
    case PIXEL_ARGB: order = 3; break;
    default: break;
    }
    const bool four = p->components_per_pixel >= 4;
    const ChannelPositions pos = p->type == PIXEL_CMYK ? ChannelPositions{0, 1, 2, 3}
                                                       : channel_positions(four ? 4 : 3, order);
    if (p->bits_per_component <= 8 && !four && order == 0) {
        for (int x = 0; x < w; ++x) {
            std::memcpy(out + 4 * x, row + 3 * x, 3);
            out[4 * x + 3] = 255;
        }
        return;
    }
    for (int x = 0; x < w; ++x) {
        const uint8_t* px = row + static_cast<size_t>(x) * bpp;
        out[4 * x] = sample8(p, px, pos.r);
        out[4 * x + 1] = sample8(p, px, pos.g);
        out[4 * x + 2] = sample8(p, px, pos.b);
        out[4 * x + 3] = four ? sample8(p, px, pos.a) : 255;
    }
}

// One picture row as one byte a pixel: an index, a grey level, a bit value 0/1, or a luminance.
void row_to_bytes(const Picture* p, const uint8_t* row, uint8_t* out, std::vector<uint8_t>& scratch)
{
    const int w = p->width;
    switch (p->type) {
    case PIXEL_BINARY:
        for (int x = 0; x < w; ++x) out[x] = static_cast<uint8_t>(bit_get(row, x));
        return;
    case PIXEL_COLORS:
        std::memcpy(out, row, static_cast<size_t>(w));
        return;
    case PIXEL_GREY:
        for (int x = 0; x < w; ++x) out[x] = sample8(p, row + static_cast<size_t>(x) * p->bytes_per_pixel, 0);
        return;
    default:
        scratch.resize(static_cast<size_t>(w) * 4);
        row_to_rgba(p, row, scratch.data());
        for (int x = 0; x < w; ++x) {
            const uint8_t* q = scratch.data() + 4 * x;
            out[x] = static_cast<uint8_t>((77 * q[0] + 150 * q[1] + 29 * q[2]) >> 8);
        }
        return;
    }
}

void pack_colour(const SaveConversion* cv, const uint8_t* rgba, uint8_t* out, int w, bool cmyk_invert)
{
    const uint32_t f = cv->flags;
    if (cv->fetch == Fetch::Colour3) {
        const bool bgr = f & (LAYOUT_REVERSED | LAYOUT_BGRA);
        if (cv->planes == 3) {
            for (int c = 0; c < 3; ++c) {
                uint8_t* plane = out + static_cast<size_t>(c) * cv->plane_bytes;
                const int from = bgr ? 2 - c : c;
                for (int x = 0; x < w; ++x) plane[x] = rgba[4 * x + from];
            }
            return;
        }
        for (int x = 0; x < w; ++x) {
            out[3 * x] = rgba[4 * x + (bgr ? 2 : 0)];
            out[3 * x + 1] = rgba[4 * x + 1];
            out[3 * x + 2] = rgba[4 * x + (bgr ? 0 : 2)];
        }
        return;
    }
    int order[4] = {0, 1, 2, 3};  // the rgba byte each output byte takes
    if (f & LAYOUT_REVERSED) { order[0] = 3; order[1] = 2; order[2] = 1; order[3] = 0; }
    else if (f & LAYOUT_ALPHA_FIRST) { order[0] = 3; order[1] = 0; order[2] = 1; order[3] = 2; }
    else if (f & LAYOUT_BGRA) { order[0] = 2; order[1] = 1; order[2] = 0; order[3] = 3; }
    const uint8_t flip = cmyk_invert ? 0xFF : 0;
    if (cv->planes == 4) {
        for (int c = 0; c < 4; ++c) {
            uint8_t* plane = out + static_cast<size_t>(c) * cv->plane_bytes;
            for (int x = 0; x < w; ++x) plane[x] = rgba[4 * x + order[c]] ^ flip;
        }
        return;
    }
    for (int x = 0; x < w; ++x)
        for (int c = 0; c < 4; ++c) out[4 * x + c] = rgba[4 * x + order[c]] ^ flip;
}

void pack_bytes(const SaveConversion* cv, const uint8_t* in, uint8_t* out, int w)
{
    if (cv->planes > 1) {
        // Bit planes side by side: bit p of each index goes to plane p.
        std::memset(out, 0, static_cast<size_t>(cv->plane_bytes) * cv->planes);
        for (int p = 0; p < cv->planes; ++p) {
            uint8_t* plane = out + static_cast<size_t>(p) * cv->plane_bytes;
            for (int x = 0; x < w; ++x)
                if ((in[x] >> p) & 1) plane[x >> 3] = static_cast<uint8_t>(plane[x >> 3] | (0x80 >> (x & 7)));
        }
        return;
    }
    const int bits = cv->bits;
    if (bits >= 8 || (cv->flags & LAYOUT_BYTE_PER_PIXEL)) {
        std::memcpy(out, in, static_cast<size_t>(w));
        return;
    }
    const int per_byte = 8 / bits;
    const unsigned mask = (1u << bits) - 1;
    std::memset(out, 0, static_cast<size_t>((int64_t{w} * bits + 7) / 8));
    for (int x = 0; x < w; ++x)
        out[x / per_byte] = static_cast<uint8_t>(out[x / per_byte] | ((in[x] & mask) << (8 - bits * (x % per_byte + 1))));
}

void convert_row(SaveContext* ctx, SaveConversion* cv, int row, uint8_t* out)
{
    const Picture* p = ctx->picture;
    const uint8_t* src = row_of(p, row);
    const int w = p->width;
    uint8_t* s = cv->samples.data();
    static thread_local std::vector<uint8_t> scratch;
    switch (cv->fetch) {
    case Fetch::Native:
        std::memcpy(out, src, static_cast<size_t>(w) * p->bytes_per_pixel);
        if (cv->reverse_columns) reverse_line(out, w, p->bytes_per_pixel);
        return;
    case Fetch::Bilevel:
        std::memcpy(out, src, static_cast<size_t>((w + 7) / 8));
        if (cv->reverse_columns) reverse_line(out, w, 0);
        if (cv->invert_bilevel)
            for (int i = 0; i < (w + 7) / 8; ++i) out[i] = static_cast<uint8_t>(~out[i]);
        if (w % 8) out[w / 8] = static_cast<uint8_t>(out[w / 8] & (0xFF00 >> (w % 8)));
        return;
    case Fetch::Bytes:
        row_to_bytes(p, src, s, scratch);
        if (cv->reverse_columns) reverse_line(s, w, 1);
        if (ctx->remap)
            for (int x = 0; x < w; ++x) s[x] = ctx->remap[s[x]];
        if (cv->invert_bilevel && p->type == PIXEL_BINARY)
            for (int x = 0; x < w; ++x) s[x] ^= 1;
        pack_bytes(cv, s, out, w);
        return;
    case Fetch::Colour3:
    case Fetch::Colour4:
        // Three-byte pictures already in the writer's order need no detour.
        if (cv->fetch == Fetch::Colour3 && cv->planes == 1 && !cv->reverse_columns && p->bits_per_component <= 8 &&
            p->bytes_per_pixel == 3) {
            const bool want_bgr = cv->flags & (LAYOUT_REVERSED | LAYOUT_BGRA);
            const bool have_bgr = p->type == PIXEL_BGR;
            if (want_bgr == have_bgr) {
                std::memcpy(out, src, static_cast<size_t>(w) * 3);
                return;
            }
        }
        row_to_rgba(p, src, s);
        if (cv->reverse_columns) reverse_line(s, w, 4);
        pack_colour(cv, s, out, w, ctx->cmyk && (cv->flags & HEADER_CMYK_INVERTED));
        return;
    }
}

bool accepts(const WritableType& entry, const Picture* p)
{
    if (entry.type == PIXEL_ANY24 || entry.type == PIXEL_ANY32) return (p->type & PIXEL_ANYCOLOR) != 0;
    if (!(entry.type & p->type)) return false;
    if (entry.type & (PIXEL_GREY | PIXEL_COLORS))
        return entry.max_colours == WRITABLE_NO_LIMIT || entry.max_colours >= p->colour_used;
    return true;
}

// A name beside the target that no other file has, created empty so nobody else takes it.
bool sibling_temp_name(const std::string& target, std::string* out)
{
    static unsigned counter = 0;
#if defined(_WIN32)
    const unsigned id = GetCurrentProcessId();
#else
    const unsigned id = static_cast<unsigned>(getpid());
#endif
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[64];
        std::snprintf(suffix, sizeof suffix, ".%u-%u.saving", id, ++counter);
        const std::string candidate = target + suffix;
#if defined(_WIN32)
        const int fd = _open(candidate.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
        const int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
#endif
        if (fd >= 0) {
#if defined(_WIN32)
            _close(fd);
#else
            // The saved file keeps the permissions of the one it replaces.
            struct stat st;
            if (stat(target.c_str(), &st) == 0) fchmod(fd, st.st_mode & 07777);
            close(fd);
#endif
            *out = candidate;
            return true;
        }
        if (errno != EEXIST) return false;  // the folder cannot be written to
    }
    return false;
}

bool replace_file(const std::string& from, const std::string& to)
{
#if defined(_WIN32)
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

}  // namespace

void save_params_init(SaveParams* p)
{
    *p = SaveParams{};
    p->format_index = -1;
    p->quality = 100;
    p->reserved_80 = 6;
    p->dct_method = 65535;
    p->write_exif = 1;
    p->write_iptc = 1;
    p->reserved_122 = 1;
    p->reserved_124 = 10;
    p->reserved_128 = 100;
    p->reserved_132 = 1024;
    p->reserved_136 = 1;
    p->reserved_138 = 3;
    p->reserved_140 = 8;
    p->reserved_144 = 1;
    p->reserved_146 = 1;
}

void save_header_init(SaveHeader* h)
{
    *h = SaveHeader{};
    h->lines_per_call = 1;
    h->planes = 1;
    h->bits_per_plane = 1;
    h->component_bits = 1;
}

int bits_for_colours(int n)
{
    if (n < 3) return 1;
    if (n < 5) return 2;
    if (n < 9) return 3;
    if (n < 17) return 4;
    if (n < 33) return 5;
    if (n < 65) return 6;
    if (n <= 128) return 7;
    return 8;
}

int save_get_param(const SaveContext* ctx, int which)
{
    switch (which) {
    case 0: return ctx->params.quality;
    case 1: return ctx->params.reserved_98;
    case 2: return ctx->params.reserved_100;
    default: return 0;
    }
}

void save_name_with_extension(const char* file_name, const char* extension, char* out, size_t size)
{
    std::string name = file_name ? file_name : "";
    const size_t slash = name.find_last_of("/\\");
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash) &&
        !(dot + 1 < name.size() && name[dot + 1] >= '0' && name[dot + 1] <= '9'))
        name.erase(dot);
    name += '.';
    name += extension ? extension : "";
    std::snprintf(out, size, "%s", name.c_str());
}

Status save_picture(const char* file_name, const Picture* picture, SaveParams* params, char* returned_name,
                    size_t returned_size)
{
    if (!file_name || !picture || !picture->data) return STATUS_BAD_PARAMETER;
    const int index = params->format_index;
    if (index < 0 || index >= format_count()) return STATUS_NO_WRITER;
    const FormatEntry& row = format_rows()[index];
    if (!row.writer) return STATUS_NO_WRITER;

    // Which of the writer's entries takes this picture.
    FormatInfo info;
    format_get_info(index, &info, 1);
    const char* extension = nullptr;
    bool any_entry = false, accepted = false;
    for (int i = 0; i < FORMAT_WRITABLE_MAX && info.writable[i].type != WRITABLE_END; ++i) {
        any_entry = true;
        if (accepts(info.writable[i], picture)) {
            accepted = true;
            extension = row.writable_types ? info.writable[i].extension : nullptr;
            break;
        }
    }
    if (any_entry && !accepted) return STATUS_TYPE_UNSUPPORTED;

    std::string name = file_name;
    if (params->flags & SAVE_SET_EXTENSION) {
        std::vector<char> buffer(name.size() + 64);
        save_name_with_extension(file_name, extension ? extension : row.extensions[0], buffer.data(), buffer.size());
        name = buffer.data();
    }
    if ((params->flags & SAVE_RETURN_NAME) && returned_name && returned_size > 0)
        std::snprintf(returned_name, returned_size, "%s", name.c_str());

    SaveContext ctx{};
    ctx.params = *params;
    ctx.picture = picture;
    ctx.width = picture->width;
    ctx.height = picture->height;
    ctx.x_dpi = picture->x_dpi;
    ctx.y_dpi = picture->y_dpi;
    ctx.transparent_index = picture->transparent_index;
    ctx.chunks = picture->chunks;
    ctx.comment = picture->comment;
    ctx.colour_used = picture->colour_used;
    ctx.private_value = row.private_value;
    if (picture->type & PIXEL_ANYCOLOR) {
        ctx.type = PIXEL_ANYCOLOR;
        ctx.cmyk = picture->type == PIXEL_CMYK;
        ctx.bits = picture->components_per_pixel >= 4 && !ctx.cmyk ? 32 : 24;
        ctx.components = picture->components_per_pixel;
    } else {
        ctx.type = picture->type;
        ctx.bits = picture->type == PIXEL_BINARY ? 1 : bits_for_colours(picture->colour_used > 0 ? picture->colour_used : 256);
        ctx.components = 1;
    }
    if (picture->bits_per_component > 8 && picture->type == PIXEL_GREY) ctx.bits = 8;

    // The user's file is replaced only once the writer has written all of it.
    std::string temp;
    if (!sibling_temp_name(name, &temp)) return STATUS_CREATE_FAILED;
    ctx.file_name = temp.c_str();
    ctx.target_name = name.c_str();
    const Status status = row.writer(temp.c_str(), &ctx);
    save_end(&ctx);
    if (status != STATUS_OK) {
        std::remove(temp.c_str());
        return status;
    }
    if (!replace_file(temp, name)) {
        std::remove(temp.c_str());
        return STATUS_CREATE_FAILED;
    }
    return STATUS_OK;
}

Status save_begin(SaveContext* ctx, SaveHeader* h)
{
    const Picture* p = ctx->picture;
    if (!p || !p->data) return STATUS_BAD_PARAMETER;
    save_end(ctx);
    auto* cv = new (std::nothrow) SaveConversion;
    if (!cv) return STATUS_NO_MEMORY;
    ctx->conversion = cv;

    cv->flags = h->layout_flags;
    cv->planes = std::max<int>(1, h->planes);
    cv->lines_per_call = std::max<int>(1, h->lines_per_call);
    const bool by_components = h->components >= 1;
    cv->bits = by_components ? h->component_bits : h->bits_per_plane;
    cv->total_bits = by_components ? h->components * h->component_bits : cv->planes * h->bits_per_plane;

    switch (p->type) {
    case PIXEL_BGR: case PIXEL_ABGR: ctx->params.channel_order = 1; break;
    case PIXEL_BGRA: ctx->params.channel_order = 2; break;
    case PIXEL_ARGB: ctx->params.channel_order = 3; break;
    case PIXEL_CMYK: ctx->params.channel_order = 4; break;
    default: ctx->params.channel_order = 0; break;
    }

    const int64_t w = p->width;
    int64_t line;
    if (by_components && h->component_bits > 8) {
        cv->fetch = Fetch::Native;
        line = w * p->bytes_per_pixel;
    } else if (cv->total_bits >= 32) {
        cv->fetch = Fetch::Colour4;
        line = 4 * w;
    } else if (cv->total_bits >= 24) {
        cv->fetch = Fetch::Colour3;
        line = 3 * w;
    } else if (p->type == PIXEL_BINARY && cv->total_bits == 1 && !(cv->flags & LAYOUT_BYTE_PER_PIXEL)) {
        cv->fetch = Fetch::Bilevel;
        line = (w + 7) / 8;
    } else {
        cv->fetch = Fetch::Bytes;
        line = cv->planes > 1 ? cv->planes * ((w + 7) / 8)
               : (cv->flags & LAYOUT_BYTE_PER_PIXEL) ? w
                                                     : (w * std::min(cv->bits, 8) + 7) / 8;
    }
    if ((cv->fetch == Fetch::Colour3 && cv->planes == 3) || (cv->fetch == Fetch::Colour4 && cv->planes == 4)) cv->plane_bytes = static_cast<int>(w);
    if (cv->fetch == Fetch::Bytes && cv->planes > 1) cv->plane_bytes = static_cast<int>((w + 7) / 8);
    const int64_t padding = std::max<int>(1, p->line_padding);
    line = (line + padding - 1) / padding * padding;
    if (line > INT32_MAX / 2) return STATUS_NO_MEMORY;
    ctx->line_bytes = static_cast<int>(line);
    cv->invert_bilevel = (cv->flags & SAVE_LAYOUT_BILEVEL_SET_BLACK) != 0;
    const uint16_t picture_order = p->origin;
    cv->flip_rows = ((h->orientation ^ picture_order) & PICTURE_ORIGIN_BOTTOM) != 0;
    cv->reverse_columns = ((h->orientation ^ picture_order) & PICTURE_ORIGIN_RIGHT_TO_LEFT) != 0;

    if (ctx->params.flags & SAVE_VERBOSE) {
        std::fprintf(stderr, "A %s was writen : %s\n", h->label, ctx->file_name ? ctx->file_name : "");
        std::fprintf(stderr, "    Width:%d Height:%d with %ld colors\n", p->width, p->height, 1L << std::min(cv->total_bits, 24));
    }
    if (ctx->params.flags & SAVE_PROGRESS_DASHES) progress_start();

    try {
        cv->line_buffer.assign(static_cast<size_t>(cv->lines_per_call) * static_cast<size_t>(line) + 1024, 0);
        cv->samples.assign(static_cast<size_t>(w) * 4 + 16, 0);
    } catch (const std::bad_alloc&) {
        return STATUS_NO_MEMORY;
    }
    h->line_buffer = cv->line_buffer.data();
    return STATUS_OK;
}

Status save_get_lines(SaveContext* ctx, int line, int count)
{
    SaveConversion* cv = ctx->conversion;
    if (!cv) return STATUS_BAD_PARAMETER;
    const Picture* p = ctx->picture;
    count = std::clamp(count, 0, cv->lines_per_call);
    for (int i = 0; i < count; ++i) {
        int index = line < 0 ? cv->next_line : line + i;
        if (line < 0) cv->next_line = cv->next_line + 1 >= p->height ? 0 : cv->next_line + 1;
        uint8_t* out = cv->line_buffer.data() + static_cast<size_t>(i) * ctx->line_bytes;
        if (index < 0 || index >= p->height) {
            std::memset(out, 0, static_cast<size_t>(ctx->line_bytes));
            continue;
        }
        const int row = cv->flip_rows ? p->height - 1 - index : index;
        ++cv->lines_done;
        if (ctx->params.flags & SAVE_PROGRESS_DASHES) progress_advance(cv->lines_done, p->height, &cv->dashes);
        if (ctx->params.line_callback && !(cv->flags & SAVE_LAYOUT_NO_STOP) &&
            ctx->params.line_callback(index, p->height, ctx->params.line_callback_data))
            cv->stopped = true;
        convert_row(ctx, cv, row, out);
    }
    return cv->stopped ? STATUS_STOPPED : STATUS_OK;
}

void save_end(SaveContext* ctx)
{
    if (!ctx->conversion) return;
    if (ctx->params.flags & (SAVE_VERBOSE | SAVE_PROGRESS_DASHES)) std::fputc('\n', stderr);
    delete ctx->conversion;
    ctx->conversion = nullptr;
}
