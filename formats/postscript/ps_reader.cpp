// PostScript and EPS: the text is copied to a temporary file behind a translation line, its
// structuring comments read on the way, then rendered to raw PNM by the interpreter.
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "formats/common/stream_bytes.h"
#include "formats/pnm/pnm_codec.h"
#include "formats/postscript/eps_dos_header.h"
#include "formats/postscript/ghostscript.h"
#include "formats/postscript/ps_codec.h"
#include "formats/postscript/ps_support.h"

namespace {

constexpr int LINE_MAX_CHARS = 9999;
constexpr int LINE_BUFFER = 10100;
// The first line of the copy, rewritten at the end with the real translation.
constexpr int TRANSLATE_ROOM = 32;

// What the structuring comments told.
struct PsComments {
    bool eps = false;
    bool have_box = false;
    double llx = 0, lly = 0, urx = 0, ury = 0;
    int pages = 0;
    double hx1 = 0, hy1 = 0, hx2 = 0, hy2 = 0;
    int image_width = 0, image_height = 0;
};

// One line as the file holds it, terminator included: ends at CR or LF or after 9999 characters.
// Returns the byte count, 0 at the end of the text.
int read_line(Stream* s, char* line, int64_t* left)
{
    int n = 0;
    while (n < LINE_MAX_CHARS && *left > 0) {
        const int c = stream_next_byte(s);
        if (c < 0) {
            *left = 0;
            break;
        }
        --*left;
        line[n++] = static_cast<char>(c);
        if (c == '\n' || c == '\r') break;
    }
    line[n] = 0;
    return n;
}

int hex_value(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A Photoshop resource block in hexadecimal comment lines, stored as a chunk at its end.
struct PhotoshopBlock {
    std::vector<uint8_t> bytes;
    size_t limit = 0;
    bool open = false;

    void begin(int length)
    {
        static const char PREFIX[] = "Photoshop 3.0";
        bytes.resize(sizeof PREFIX);
        std::memcpy(bytes.data(), PREFIX, sizeof PREFIX);
        limit = sizeof PREFIX + static_cast<size_t>(length);
        open = true;
    }
    void add_line(const char* line, int length)
    {
        for (int i = 2; i + 1 < length && bytes.size() < limit; i += 2) {
            const int high = hex_value(line[i]), low = hex_value(line[i + 1]);
            if (high < 0 || low < 0) break;
            bytes.push_back(static_cast<uint8_t>(high << 4 | low));
        }
    }
};

void parse_comment(const char* line, int length, PsComments* c, PhotoshopBlock* block, LoadContext* ctx)
{
    const bool keep_chunks = (ctx->params.flags & LOAD_KEEP_CHUNKS) != 0;
    if (block->open) {
        if (std::strncmp(line, "%EndPhotoshop", 13) == 0) {
            load_add_chunk(ctx, 2, block->bytes.data(), static_cast<uint32_t>(block->bytes.size()));
            block->open = false;
        } else {
            block->add_line(line, length);
        }
        return;
    }
    if (line[0] != '%') return;
    int major, minor;
    if (std::strncmp(line, "%!PS-Adobe-", 11) == 0) {
        if (std::sscanf(line, "%%!PS-Adobe-%d.0 EPSF-%d.0", &major, &minor) == 2) c->eps = true;
    } else if (std::strncmp(line, "%%BoundingBox:", 14) == 0) {
        double a, b, x, y;
        if (!c->have_box && std::sscanf(line, "%%%%BoundingBox: %lf %lf %lf %lf", &a, &b, &x, &y) == 4) {
            c->llx = a, c->lly = b, c->urx = x, c->ury = y;
            c->have_box = true;
        }
    } else if (std::strncmp(line, "%%Pages:", 8) == 0) {
        std::sscanf(line, "%%%%Pages: %d", &c->pages);
    } else if (std::strncmp(line, "%%HiResBoundingBox", 18) == 0) {
        std::sscanf(line, "%%%%HiResBoundingBox: %lf %lf %lf %lf", &c->hx1, &c->hy1, &c->hx2, &c->hy2);
    } else if (std::strncmp(line, "%ImageData", 10) == 0) {
        std::sscanf(line, "%%ImageData: %d %d", &c->image_width, &c->image_height);
    } else if (std::strncmp(line, "%BeginPhotoshop:", 16) == 0) {
        int announced = 0;
        // The announced length bounds the buffer; a file may not make it absurd.
        if (keep_chunks && std::sscanf(line, "%%BeginPhotoshop: %d", &announced) == 1 && announced > 0 &&
            announced < (64 << 20))
            block->begin(announced);
    }
}

// Sizes come from the file's text: kept within what an int holds before truncation.
double whole_points(double points)
{
    if (!(points > 0)) return 0;
    return points > 1e6 ? 1e6 : static_cast<int>(points);
}

// The pixel size for the interpreter's -g: points at the resolution, less half a pixel.
int pixels(double points, double resolution)
{
    const double p = points * resolution / 72.0 - 0.5;
    return p < 0 ? 0 : p > 1e7 ? 10000000 : static_cast<int>(p);
}

Status ps_render(Stream* s, LoadContext* ctx)
{
    uint8_t head[EPS_DOS_HEADER_SIZE];
    const size_t got = stream_read(s, head, sizeof head);
    if (got >= 5 && std::memcmp(head, "%PDF-", 5) == 0) return STATUS_UNKNOWN_FORMAT;
    int64_t text_start = 0;
    int64_t text_left = s->size;
    if (got < 2 || head[0] != '%' || head[1] != '!') {
        EpsDosHeader dos;
        if (got < 3 || head[0] != 0xC5 || head[1] != 0xD0 || head[2] != 0xD3) return STATUS_UNKNOWN_FORMAT;
        if (!eps_dos_header_parse(head, got, &dos) || dos.ps_offset == 0) return STATUS_UNKNOWN_FORMAT;
        char start[2];
        if (stream_seek_inside(s, dos.ps_offset) != STATUS_OK || stream_read(s, start, 2) != 2 || start[0] != '%' ||
            start[1] != '!')
            return STATUS_UNKNOWN_FORMAT;
        text_start = dos.ps_offset;
        text_left = std::min<int64_t>(dos.ps_length, s->size - text_start);
        if ((ctx->params.flags & LOAD_KEEP_CHUNKS) && dos.tiff_offset && dos.tiff_offset < s->size) {
            const int64_t length = std::min<int64_t>(dos.tiff_length, s->size - dos.tiff_offset);
            uint8_t* tiff = nullptr;
            if (length > 0 && stream_seek_inside(s, dos.tiff_offset) == STATUS_OK &&
                stream_read_block(s, static_cast<size_t>(length), &tiff) == STATUS_OK) {
                const std::vector<uint8_t> chunk = eps_preview_photoshop(tiff, static_cast<size_t>(length));
                if (!chunk.empty()) load_add_chunk(ctx, 2, chunk.data(), static_cast<uint32_t>(chunk.size()));
            }
            std::free(tiff);
        }
    }
    if (!ghostscript_available()) return STATUS_UNKNOWN_FORMAT;
    ScratchFile copy;
    if (!copy.made()) return STATUS_OPEN_FAILED;
    FILE* out = std::fopen(copy.name(), "wb");
    if (!out) return STATUS_OPEN_FAILED;

    std::fprintf(out, "%s%*s\n", (c_number("%f", 0) + " " + c_number("%f", 0) + " translate").c_str(),
                 TRANSLATE_ROOM, "");
    stream_seek(s, text_start, SEEK_SET);
    PsComments comments;
    PhotoshopBlock block;
    std::vector<char> line(LINE_BUFFER);
    for (int n; (n = read_line(s, line.data(), &text_left)) > 0;) {
        std::fwrite(line.data(), 1, static_cast<size_t>(n), out);
        parse_comment(line.data(), n, &comments, &block, ctx);
    }
    if (comments.eps) std::fputs("showpage\n", out);
    std::rewind(out);
    // A box far outside any page would print longer than the room kept: no translation then.
    std::string translate = c_number("%f", -comments.llx) + " " + c_number("%f", -comments.lly) + " translate";
    if (translate.size() > 27 + TRANSLATE_ROOM) translate = c_number("%f", 0) + " " + c_number("%f", 0) + " translate";
    std::fputs(translate.c_str(), out);
    const bool written = std::fflush(out) == 0;
    std::fclose(out);
    if (!written) return STATUS_OPEN_FAILED;

    double width = whole_points(comments.urx - comments.llx);
    double height = whole_points(comments.ury - comments.lly);
    // A box upside down or empty says nothing about the page: the default page instead.
    if (width <= 0) width = 612;
    if (height <= 0) height = 792;
    if (ctx->params.render_width > 0 && ctx->params.render_height > 0) {
        width = ctx->params.render_width;
        height = ctx->params.render_height;
    }
    double resolution = 72;
    int pixel_width, pixel_height;
    if (ctx->params.render_resolution > 0) {
        resolution = ctx->params.render_resolution;
        pixel_width = pixels(width, resolution);
        pixel_height = pixels(height, resolution);
    } else if (comments.image_width > 0 && comments.hx1 < comments.hx2 && comments.hy1 < comments.hy2) {
        resolution = comments.image_width * 72.0 / (comments.hx2 - comments.hx1);
        if (!(resolution < 1e5)) resolution = 1e5;
        pixel_width = comments.image_width;
        pixel_height = comments.image_height;
    } else {
        pixel_width = pixels(width, resolution);
        pixel_height = pixels(height, resolution);
    }

    ScratchFile raster;
    if (!raster.made()) return STATUS_OPEN_FAILED;
    std::vector<std::string> args = {"-dMaxBitmap=300000000", "-sDEVICE=pnmraw", "-q", "-dNOPAUSE", "-dSAFER",
                                     "-dTextAlphaBits=4", "-dGraphicsAlphaBits=4"};
    args.push_back("-g" + std::to_string(pixel_width) + "x" + std::to_string(pixel_height));
    args.push_back("-r" + c_number("%.2f", resolution));
    args.push_back(std::string("-sOutputFile=") + raster.name());
    if (ctx->params.cie_colours) args.push_back("-dUseCIEColors");
    args.push_back(copy.name());
    args.push_back("-c quit");
    args.push_back("-c quit");
    ghostscript_run(args);
    copy.remove_now();

    const char* label = comments.eps ? "Encapsuled Postscript" : "Postscript";
    const int skip = ctx->params.image_index > 0 ? ctx->params.image_index : 0;
    return read_rendered(raster.name(), ctx, pnm_read_as, label, static_cast<int>(resolution), skip);
}

}  // namespace

Status ps_read(Stream* s, LoadContext* ctx) { return ps_render(s, ctx); }

Status eps_read(Stream* s, LoadContext* ctx)
{
    char line[256];
    int major, minor;
    if (!stream_read_line(line, sizeof line, s) || std::sscanf(line, "%%!PS-Adobe-%d.0 EPSF-%d.0", &major, &minor) != 2)
        return STATUS_UNKNOWN_FORMAT;
    stream_seek(s, 0, SEEK_SET);
    return ps_render(s, ctx);
}

bool ps_signature(const uint8_t* head, size_t size)
{
    if (size >= 5 && std::memcmp(head, "%PDF-", 5) == 0) return false;
    if (size >= 2 && head[0] == '%' && head[1] == '!') return true;
    if (size >= 4) return le32_at(head) == EPS_DOS_SIGNATURE;
    return size >= 2 && head[0] == 0xC5;
}

bool eps_signature(const uint8_t* head, size_t size)
{
    if (size < 2 || head[0] != '%' || head[1] != '!') return false;
    // When the whole first line is in view it must announce EPS.
    const void* end = std::memchr(head, '\n', size);
    if (!end) return true;
    const std::string first(reinterpret_cast<const char*>(head), static_cast<const uint8_t*>(end) - head);
    int major, minor;
    return std::sscanf(first.c_str(), "%%!PS-Adobe-%d.0 EPSF-%d.0", &major, &minor) == 2;
}
