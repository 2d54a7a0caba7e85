// Reading an X11 pixmap (XPM 3): a C array of strings. The first string gives width, height,
// number of colours and characters per pixel; then one string per colour (its key characters and
// visual keys with values: "c" colour, "g" grey, "g4" four-level grey, "m" mono, "s" symbolic);
// then one string per picture line, characters-per-pixel characters a pixel.
#include <cctype>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/line_convert.h"
#include "formats/common/stream_bytes.h"
#include "formats/x11/x11_codecs.h"
#include "formats/x11/x11_colours.h"

namespace {

constexpr long SIDE_LIMIT = 32000;
constexpr long MAX_CHARS_PER_PIXEL = 4;
constexpr size_t ENTRY_TEXT_MAX = 4096;  // longer colour strings are cut: no value is that long
constexpr int PALETTE_COLOURS = 256;

struct XpmColour {
    uint8_t red = 0, green = 0, blue = 0;
    bool none = false;  // "None": the transparent colour
};

// Moves past the next `wanted` character; false at the end of the file.
bool skip_past(Stream* s, int wanted)
{
    for (int c; (c = stream_getc(s)) != EOF;)
        if (c == wanted) return true;
    return false;
}

// A decimal number inside the values string; false when something else stands there.
bool read_value(Stream* s, long* out)
{
    int c;
    do c = stream_getc(s);
    while (c == ' ' || c == '\t');
    if (c < '0' || c > '9') return false;
    long v = 0;
    for (; c >= '0' && c <= '9'; c = stream_getc(s)) v = v < 100000000 ? v * 10 + (c - '0') : v;
    if (c != EOF) stream_ungetc(s, c);
    *out = v;
    return true;
}

int hex_digit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    return (c | 0x20) - 'a' + 10;
}

// Up to `count` digits from `from` (fewer when the text ends), as a number.
int hex_value(const std::string& digits, size_t from, size_t count)
{
    int v = 0;
    for (size_t i = from; i < from + count && i < digits.size(); ++i) v = v << 4 | hex_digit(digits[i]);
    return v;
}

// "#" and hexadecimal digits: RRGGBBAA (alpha ignored), RGB, up to RRGGBB, or three longer groups
// (RRRRGGGGBBBB and the like) of which the high 8 bits are kept.
XpmColour hex_colour(const std::string& text)
{
    size_t n = 1;
    while (n < text.size() && std::isxdigit(static_cast<unsigned char>(text[n]))) ++n;
    const std::string d = text.substr(1, n - 1);
    const size_t len = d.size();
    XpmColour c;
    auto set = [&](int r, int g, int b) {
        c.red = static_cast<uint8_t>(r);
        c.green = static_cast<uint8_t>(g);
        c.blue = static_cast<uint8_t>(b);
    };
    if (len == 3) {
        set(hex_value(d, 0, 1) * 17, hex_value(d, 1, 1) * 17, hex_value(d, 2, 1) * 17);
    } else if (len <= 8 && len != 7) {
        set(hex_value(d, 0, 2), hex_value(d, 2, 2), hex_value(d, 4, 2));
    } else {
        const size_t group = len % 3 == 0 ? len / 3 : 4;
        set(hex_value(d, 0, 2), hex_value(d, group, 2), hex_value(d, 2 * group, 2));
    }
    return c;
}

XpmColour named_colour(std::string name)
{
    for (char& ch : name) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    XpmColour c;
    if (const X11Colour* x = x11_colour_find(name.c_str())) {
        c.red = x->red;
        c.green = x->green;
        c.blue = x->blue;
        c.none = x == x11_colour_find("none");
    }
    return c;  // unknown names are black
}

bool is_visual_key(const std::string& t) { return t == "c" || t == "m" || t == "g4" || t == "g" || t == "s"; }

// The visual keys after the entry's key characters, each with its value (several words for names
// such as "alice blue"). The colour key wins, then the greys, then mono; a symbolic name alone
// rarely names a real colour but is tried last.
XpmColour entry_colour(const std::string& rest)
{
    std::vector<std::string> words;
    size_t i = 0;
    while (i < rest.size()) {
        while (i < rest.size() && std::isspace(static_cast<unsigned char>(rest[i]))) ++i;
        const size_t start = i;
        while (i < rest.size() && !std::isspace(static_cast<unsigned char>(rest[i]))) ++i;
        if (i > start) words.push_back(rest.substr(start, i - start));
    }
    std::unordered_map<std::string, std::string> values;
    for (size_t w = 0; w < words.size(); ++w) {
        if (!is_visual_key(words[w])) continue;
        std::string value;
        size_t v = w + 1;
        for (; v < words.size() && !is_visual_key(words[v]); ++v) value += (value.empty() ? "" : " ") + words[v];
        values.emplace(words[w], value);
        w = v - 1;
    }
    for (const char* key : {"c", "g", "g4", "m", "s"}) {
        const auto it = values.find(key);
        if (it == values.end() || it->second.empty()) continue;
        return it->second[0] == '#' ? hex_colour(it->second) : named_colour(it->second);
    }
    return XpmColour{};
}

struct XpmReader {
    Stream* s = nullptr;
    LoadContext* ctx = nullptr;
    long width = 0, height = 0, colours = 0, chars_per_pixel = 0;
    std::vector<XpmColour> entries;
    std::vector<int32_t> short_keys;                 // 1 or 2 characters: the key as an index
    std::unordered_map<uint32_t, int32_t> long_keys;  // 3 or 4 characters

    static uint32_t key_of(const uint8_t* chars, long n)
    {
        uint32_t k = 0;
        for (long i = 0; i < n; ++i) k = k << 8 | chars[i];
        return k;
    }

    // The entry a pixel's characters name; the first entry for keys no entry has.
    int32_t entry_for(const uint8_t* chars) const
    {
        const uint32_t k = key_of(chars, chars_per_pixel);
        if (chars_per_pixel <= 2) return short_keys[k] < 0 ? 0 : short_keys[k];
        const auto it = long_keys.find(k);
        return it == long_keys.end() ? 0 : it->second;
    }
};

Status read_values(XpmReader& r)
{
    if (!skip_past(r.s, '"')) return STATUS_UNKNOWN_FORMAT;
    if (!read_value(r.s, &r.width) || !read_value(r.s, &r.height) || !read_value(r.s, &r.colours) ||
        !read_value(r.s, &r.chars_per_pixel))
        return STATUS_UNKNOWN_FORMAT;
    if (r.width < 1 || r.width > SIDE_LIMIT || r.height < 1 || r.height > SIDE_LIMIT || r.chars_per_pixel < 1 ||
        r.chars_per_pixel > MAX_CHARS_PER_PIXEL)
        return STATUS_UNKNOWN_FORMAT;
    if (!skip_past(r.s, ',')) return STATUS_UNKNOWN_FORMAT;
    // Every colour takes a quoted string of its own: a count beyond the file is a damaged header.
    if (r.colours < 1 || r.colours > stream_bytes_left(r.s) / 2) return STATUS_UNKNOWN_FORMAT;
    return STATUS_OK;
}

Status read_colours(XpmReader& r)
{
    try {
        r.entries.resize(static_cast<size_t>(r.colours));
        if (r.chars_per_pixel <= 2) r.short_keys.assign(size_t{1} << (8 * r.chars_per_pixel), -1);
    } catch (const std::bad_alloc&) {
        return STATUS_NO_MEMORY;
    }
    std::string text;
    for (long i = 0; i < r.colours; ++i) {
        if (!skip_past(r.s, '"')) return STATUS_UNKNOWN_FORMAT;
        text.clear();
        int c;
        while ((c = stream_getc(r.s)) != EOF && c != '"')
            if (text.size() < ENTRY_TEXT_MAX) text += static_cast<char>(c);
        if (c == EOF) return STATUS_UNKNOWN_FORMAT;
        uint8_t key[MAX_CHARS_PER_PIXEL] = {};
        for (long k = 0; k < r.chars_per_pixel && k < static_cast<long>(text.size()); ++k) key[k] = static_cast<uint8_t>(text[k]);
        const uint32_t code = XpmReader::key_of(key, r.chars_per_pixel);
        if (r.chars_per_pixel <= 2) {
            if (r.short_keys[code] < 0) r.short_keys[code] = static_cast<int32_t>(i);
        } else {
            r.long_keys.emplace(code, static_cast<int32_t>(i));
        }
        const size_t skip = static_cast<size_t>(r.chars_per_pixel) < text.size() ? static_cast<size_t>(r.chars_per_pixel) : text.size();
        r.entries[static_cast<size_t>(i)] = entry_colour(text.substr(skip));
    }
    return STATUS_OK;
}

void describe(const XpmReader& r, HeaderInfo* h)
{
    header_init(h);
    std::snprintf(h->format_label, sizeof h->format_label, "X PixMap");
    h->width = static_cast<int32_t>(r.width);
    h->height = static_cast<int32_t>(r.height);
    if (r.colours <= PALETTE_COLOURS) {
        h->layout_flags = LAYOUT_BYTE_PER_PIXEL;
        h->bits_per_plane = static_cast<int16_t>(bits_for_colours(static_cast<int>(r.colours)));
        h->bytes_per_plane_line = h->width;
        for (long i = 0; i < r.colours; ++i)
            if (r.entries[static_cast<size_t>(i)].none) {
                h->transparent_index = static_cast<uint16_t>(i);
                break;
            }
    } else {
        h->bits_per_plane = 24;
        h->bytes_per_plane_line = 3 * h->width;
    }
}

Status read_pixels(XpmReader& r, HeaderInfo* h)
{
    const bool indexed = r.colours <= PALETTE_COLOURS;
    uint8_t chars[MAX_CHARS_PER_PIXEL];
    const size_t n = static_cast<size_t>(r.chars_per_pixel);
    for (int y = 0; y < h->height; ++y) {
        if (!skip_past(r.s, '"')) return STATUS_INCOMPLETE;
        uint8_t* out = h->line_buffer;
        for (int x = 0; x < h->width; ++x) {
            for (size_t k = 0; k < n; ++k) {
                const int c = stream_getc(r.s);
                if (c == EOF) return STATUS_INCOMPLETE;
                chars[k] = static_cast<uint8_t>(c);
            }
            const int32_t e = r.entry_for(chars);
            if (indexed) {
                out[x] = static_cast<uint8_t>(e);
            } else {
                const XpmColour& c = r.entries[static_cast<size_t>(e)];
                out[3 * x] = c.red;
                out[3 * x + 1] = c.green;
                out[3 * x + 2] = c.blue;
            }
        }
        stream_getc(r.s);  // the closing quote
        LUM_TRY(load_put_lines(r.ctx, -1, y, 1));
    }
    return STATUS_OK;
}

}  // namespace

bool xpm_signature(const uint8_t* head, size_t size)
{
    for (size_t i = 0; i < size && i < 6; ++i)
        if (head[i] >= 128) return false;
    static const char tag[] = "XPM";
    for (size_t i = 3; i < size && i < 6; ++i)
        if (head[i] != static_cast<uint8_t>(tag[i - 3])) return false;
    return true;
}

Status xpm_read(Stream* s, LoadContext* ctx)
{
    uint8_t head[6];
    if (stream_read(s, head, sizeof head) != sizeof head || !xpm_signature(head, sizeof head)) return STATUS_UNKNOWN_FORMAT;
    XpmReader r;
    r.s = s;
    r.ctx = ctx;
    LUM_TRY(read_values(r));
    LUM_TRY(read_colours(r));
    HeaderInfo h;
    describe(r, &h);
    const bool indexed = r.colours <= PALETTE_COLOURS;
    uint8_t palette[3 * PALETTE_COLOURS] = {};
    for (long i = 0; indexed && i < r.colours; ++i) {
        const XpmColour& c = r.entries[static_cast<size_t>(i)];
        palette[3 * i] = c.red;
        palette[3 * i + 1] = c.green;
        palette[3 * i + 2] = c.blue;
    }
    LUM_TRY(load_begin(ctx, &h));
    load_set_palette(ctx, 0, 8, indexed ? palette : nullptr);
    LUM_TRY(read_pixels(r, &h));
    return load_end(ctx, 0, 8, indexed ? palette : nullptr);
}
