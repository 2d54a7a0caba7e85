// Reading an X11 bitmap: "#define name_width w" and "#define name_height h", then the array
// declaration ("static [unsigned] char" for bytes, "static [unsigned] short" for 16-bit words)
// and its values in hexadecimal. The least significant bit of each byte is its leftmost pixel
// and a set bit is black.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/line_convert.h"
#include "formats/common/bilevel_palette.h"
#include "formats/x11/x11_codecs.h"
#include "formats/x11/xbm_bits.h"

namespace {

constexpr int LINE_MAX = 1024;
constexpr long SIDE_LIMIT = 16000;

// One text line without its end; a longer line is returned in pieces. -1 at the end of the file,
// 0 when the line holds control characters (not a text file), else 1.
int read_text_line(Stream* s, char* line)
{
    int n = 0, c = 0;
    bool text = true;
    while (n < LINE_MAX - 1 && (c = stream_getc(s)) != EOF && c != '\n') {
        if (c == '\r') continue;
        text &= c >= 0x20 || c == '\t' || c == '\f';
        line[n++] = static_cast<char>(c);
    }
    line[n] = '\0';
    if (n == 0 && c != '\n') return -1;
    return text ? 1 : 0;
}

bool blank(const char* line)
{
    for (; *line; ++line)
        if (*line != ' ' && *line != '\t') return false;
    return true;
}

// "#define NAME VALUE": the value for names holding "_width" or "_height".
bool read_definition(const char* line, long* width, long* height)
{
    while (*line == ' ' || *line == '\t') ++line;
    if (std::strncmp(line, "#define", 7) != 0) return false;
    line += 7;
    while (*line == ' ' || *line == '\t') ++line;
    const char* name = line;
    while (*line && *line != ' ' && *line != '\t') ++line;
    const std::string key(name, line);
    char* end = nullptr;
    const long value = std::strtol(line, &end, 10);
    if (end == line || key.empty()) return false;
    if (key.find("_width") != std::string::npos) *width = value;
    else if (key.find("_height") != std::string::npos) *height = value;
    return true;
}

// The array declaration: whether it holds 16-bit words. Its opening brace, after which the
// values start, may stand on a later line.
enum class Declaration { None, Started, Open };

Declaration read_declaration(const char* line, bool started, bool* words, const char** values)
{
    const char* brace = std::strchr(line, '{');
    if (!started) {
        const char* end = brace ? brace : line + std::strlen(line);
        const char* kind_short = std::strstr(line, "short");
        const char* kind_char = std::strstr(line, "char");
        if (!std::strstr(line, "static") || ((!kind_short || kind_short > end) && (!kind_char || kind_char > end)))
            return Declaration::None;
        // The type stands before the array's name, which may itself hold "short" or "char".
        *words = kind_short && kind_short < end && (!kind_char || kind_short < kind_char);
    }
    if (!brace) return Declaration::Started;
    *values = brace + 1;
    return Declaration::Open;
}

int hex_digit(int c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The array's values: first the rest of the declaration line, then the stream.
struct ValueReader {
    Stream* s;
    const char* pending;

    int next_char()
    {
        if (pending && *pending) return static_cast<unsigned char>(*pending++);
        pending = nullptr;
        return stream_getc(s);
    }
    void put_back(int c)
    {
        if (c == EOF) return;
        if (pending) --pending;
        else stream_ungetc(s, c);
    }

    // One hexadecimal value, "0x" prefix optional; false when the values run out.
    bool next(unsigned* out)
    {
        int c;
        do c = next_char();
        while (c == ' ' || c == ',' || c == '\n' || c == '\r' || c == '\t');
        unsigned v = 0;
        int digits = 0;
        bool prefix = false, valid = true;
        for (; c != EOF && std::isalnum(c); c = next_char()) {
            if ((c == 'x' || c == 'X') && digits == 1 && v == 0 && !prefix) {
                prefix = true;
                digits = 0;
                continue;
            }
            const int d = hex_digit(c);
            if (d < 0) valid = false;
            v = (v << 4 | static_cast<unsigned>(d & 15)) & 0xFFFF;
            ++digits;
        }
        put_back(c);
        if (!valid || digits == 0) return false;
        *out = v;
        return true;
    }
};

}  // namespace

bool xbm_signature(const uint8_t* head, size_t size)
{
    // The two definitions and the declaration take more than this.
    if (size < 32) return false;
    // Text: no control characters besides white space.
    for (size_t i = 0; i < size && i < 64; ++i)
        if (head[i] < 0x20 && head[i] != '\t' && head[i] != '\n' && head[i] != '\r' && head[i] != '\f') return false;
    return true;
}

Status xbm_read(Stream* s, LoadContext* ctx)
{
    char line[LINE_MAX];
    long width = 0, height = 0;
    bool words = false, found = false;
    Declaration declaration = Declaration::None;
    const char* values = nullptr;
    for (int got; !found && (got = read_text_line(s, line)) >= 0;) {
        if (got == 0) return STATUS_UNKNOWN_FORMAT;
        if (blank(line) || read_definition(line, &width, &height)) continue;
        declaration = read_declaration(line, declaration == Declaration::Started, &words, &values);
        found = declaration == Declaration::Open;
    }
    if (!found || width < 1 || width >= SIDE_LIMIT || height < 1 || height >= SIDE_LIMIT) return STATUS_UNKNOWN_FORMAT;

    HeaderInfo h;
    header_init(&h);
    std::snprintf(h.format_label, sizeof h.format_label, "X BitMap");
    h.width = static_cast<int32_t>(width);
    h.height = static_cast<int32_t>(height);
    h.bytes_per_plane_line = static_cast<int32_t>(words ? (width + 15) / 8 / 2 * 2 : (width + 7) / 8);
    // The declaration line is gone from the stream once read: its values are kept aside.
    char rest[LINE_MAX];
    std::snprintf(rest, sizeof rest, "%s", values);
    LUM_TRY(load_begin(ctx, &h));
    load_set_palette(ctx, 0, 8, PALETTE_SET_BITS_BLACK);

    ValueReader reader{s, rest};
    uint8_t* out = h.line_buffer;
    for (int y = 0; y < h.height; ++y) {
        for (int i = 0; i < h.bytes_per_plane_line; i += words ? 2 : 1) {
            unsigned v = 0;
            if (!reader.next(&v)) return STATUS_INCOMPLETE;
            out[i] = xbm_reverse_bits(v & 0xFF);
            if (words) out[i + 1] = xbm_reverse_bits(v >> 8);
        }
        LUM_TRY(load_put_lines(ctx, -1, y, 1));
    }
    return load_end(ctx, 0, 8, PALETTE_SET_BITS_BLACK);
}
