// Reading a portable anymap: "P" and the type digit, then decimal numbers (width, height and,
// except for bitmaps, the maximum sample value) separated by white space and "#" comments, then
// the samples, as decimal numbers (P1 to P3) or bytes (P4 to P7; 16-bit big-endian when the
// maximum is above 255).
#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>

#include "core/line_convert.h"
#include "formats/common/bilevel_palette.h"
#include "formats/common/stream_bytes.h"
#include "formats/pnm/pnm_codec.h"

namespace {

constexpr int SIDE_LIMIT = 16000;
constexpr unsigned NUMBER_LIMIT = 65535;  // numbers are held in 16 bits; larger ones saturate
constexpr char BAD_SIZE[] = "Portable Bitmap : Bad picture's size !";

const char* const LABELS[8] = {
    "",
    "Portable Bitmap (Type 1 - ASCII)",
    "Portable Graymap (Type 2 - ASCII)",
    "Portable Pixmap (Type 3 - ASCII)",
    "Portable Bitmap (Type 4 - Binary)",
    "Portable Graymap (Type 5 - Binary)",
    "Portable Pixmap (Type 6 - Binary)",
    "XV visual schnauzer",
};

bool is_space(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Skips white space and comments up to the next significant character, which is returned
// (EOF at the end of the file).
int next_significant(Stream* s)
{
    for (;;) {
        int c = stream_getc(s);
        if (c == '#') {
            do c = stream_getc(s);
            while (c != EOF && c != '\n' && c != '\r');
            if (c == EOF) return EOF;
            continue;
        }
        if (!is_space(c)) return c;
    }
}

// One decimal number. The white space character that ends it is consumed, so that after the
// header's last number the stream stands on the first sample byte; anything else that ends it
// is left for the next read.
Status read_number(Stream* s, unsigned* out, Status not_a_digit)
{
    int c = next_significant(s);
    if (c == EOF) return STATUS_INCOMPLETE;
    if (c < '0' || c > '9') return not_a_digit;
    unsigned v = 0;
    while (c >= '0' && c <= '9') {
        v = std::min(v * 10 + static_cast<unsigned>(c - '0'), NUMBER_LIMIT);
        c = stream_getc(s);
    }
    if (c != EOF && !is_space(c)) stream_ungetc(s, c);
    *out = v;
    return STATUS_OK;
}

struct PnmHeader {
    int type = 0;  // the digit after "P"
    unsigned width = 0;
    unsigned height = 0;
    unsigned maximum = 255;
};

bool is_bitmap(int type) { return type == 1 || type == 4; }
bool is_ascii(int type) { return type <= 3; }
int samples_per_pixel(int type) { return type == 3 || type == 6 ? 3 : 1; }

Status read_header(Stream* s, PnmHeader* h)
{
    const int p = stream_getc(s);
    const int digit = stream_getc(s);
    if (p != 'P' || digit < '1' || digit > '7') return STATUS_UNKNOWN_FORMAT;
    h->type = digit - '0';
    unsigned ignored = 0;
    if (h->type == 7) LUM_TRY(read_number(s, &ignored, STATUS_UNKNOWN_FORMAT));
    LUM_TRY(read_number(s, &h->width, STATUS_UNKNOWN_FORMAT));
    LUM_TRY(read_number(s, &h->height, STATUS_UNKNOWN_FORMAT));
    if (!is_bitmap(h->type)) LUM_TRY(read_number(s, &h->maximum, STATUS_UNKNOWN_FORMAT));
    return STATUS_OK;
}

// Samples scaled from 0..maximum to 0..255; samples above the maximum are taken as it.
struct Scale {
    unsigned maximum;
    uint8_t operator()(unsigned v) const
    {
        if (maximum == 255) return static_cast<uint8_t>(std::min(v, 255u));
        return static_cast<uint8_t>(std::min(v, maximum) * 255u / maximum);
    }
};

struct PnmReader {
    Stream* s;
    LoadContext* ctx;
    const PnmHeader& h;
    HeaderInfo info;
    size_t samples;  // per line
};

// P1: one digit per pixel. The digits need no white space between them ("0110" is four pixels),
// so they are read one character at a time rather than as numbers.
Status read_ascii_bits(PnmReader& r, uint8_t* line)
{
    for (size_t x = 0; x < r.samples; ++x) {
        const int c = next_significant(r.s);
        if (c == EOF) return STATUS_INCOMPLETE;
        if (c != '0' && c != '1') return STATUS_CORRUPT;
        line[x] = static_cast<uint8_t>(c - '0');
    }
    return STATUS_OK;
}

Status read_ascii_samples(PnmReader& r, uint8_t* line)
{
    const Scale scale{r.h.maximum};
    for (size_t i = 0; i < r.samples; ++i) {
        unsigned v = 0;
        LUM_TRY(read_number(r.s, &v, STATUS_CORRUPT));
        line[i] = scale(v);
    }
    return STATUS_OK;
}

Status read_binary_bytes(PnmReader& r, uint8_t* line, const uint8_t* lut)
{
    const size_t n = static_cast<size_t>(r.info.bytes_per_plane_line);
    LUM_TRY(stream_read_exact(r.s, line, n));
    if (lut)
        for (size_t i = 0; i < n; ++i) line[i] = lut[line[i]];
    return STATUS_OK;
}

Status read_binary_words(PnmReader& r, uint8_t* line, uint8_t* words)
{
    LUM_TRY(stream_read_exact(r.s, words, 2 * r.samples));
    const Scale scale{r.h.maximum};
    for (size_t i = 0; i < r.samples; ++i) line[i] = scale(unsigned{words[2 * i]} << 8 | words[2 * i + 1]);
    return STATUS_OK;
}

void describe(const PnmHeader& h, const char* label, int dpi, HeaderInfo* info)
{
    header_init(info);
    std::snprintf(info->format_label, sizeof info->format_label, "%s", label ? label : LABELS[h.type]);
    info->width = static_cast<int32_t>(h.width);
    info->height = static_cast<int32_t>(h.height);
    info->x_dpi = info->y_dpi = dpi > 0 ? static_cast<uint32_t>(dpi) : 0;
    const int32_t w = info->width;
    switch (h.type) {
    case 1:
        info->layout_flags = LAYOUT_BYTE_PER_PIXEL;
        info->bytes_per_plane_line = w;
        break;
    case 4: info->bytes_per_plane_line = (w + 7) / 8; break;
    case 3:
    case 6:
        info->bits_per_plane = 24;
        info->bytes_per_plane_line = 3 * w;
        break;
    default:
        info->bits_per_plane = 8;
        info->bytes_per_plane_line = w;
        break;
    }
}

Status read_lines(PnmReader& r)
{
    const int type = r.h.type;
    const bool words = !is_ascii(type) && r.h.maximum > 255;
    std::unique_ptr<uint8_t[]> word_buffer;
    if (words) {
        word_buffer.reset(new (std::nothrow) uint8_t[2 * r.samples]);
        if (!word_buffer) return STATUS_NO_MEMORY;
    }
    uint8_t lut[256];
    const bool scaled_bytes = !is_ascii(type) && !is_bitmap(type) && r.h.maximum != 255;
    for (unsigned v = 0; v < 256; ++v) lut[v] = Scale{r.h.maximum}(v);

    LUM_TRY(load_begin(r.ctx, &r.info));
    // Bitmaps store 1 for black, the opposite of the picture's bilevel polarity.
    const uint8_t* palette = is_bitmap(type) ? PALETTE_SET_BITS_BLACK : nullptr;
    load_set_palette(r.ctx, 0, 8, palette);
    uint8_t* line = r.info.line_buffer;
    Status status = STATUS_OK;
    for (int y = 0; y < r.info.height; ++y) {
        if (type == 1) status = read_ascii_bits(r, line);
        else if (is_ascii(type)) status = read_ascii_samples(r, line);
        else if (words) status = read_binary_words(r, line, word_buffer.get());
        else status = read_binary_bytes(r, line, scaled_bytes ? lut : nullptr);
        if (status != STATUS_OK) return status;
        LUM_TRY(load_put_lines(r.ctx, -1, y, 1));
    }
    return load_end(r.ctx, 0, 8, palette);
}

}  // namespace

bool pnm_signature(const uint8_t* head, size_t size)
{
    if (size >= 1 && head[0] != 'P') return false;
    if (size >= 2 && (head[1] < '1' || head[1] > '7')) return false;
    return true;
}

Status pnm_read_as(Stream* s, LoadContext* ctx, const char* label, int dpi)
{
    PnmHeader h;
    LUM_TRY(read_header(s, &h));
    if (h.width < 1 || h.width >= SIDE_LIMIT || h.height < 1 || h.height >= SIDE_LIMIT)
        return load_fail(ctx, STATUS_BAD_HEADER, BAD_SIZE);
    // A maximum of 0 leaves nothing to scale the samples by.
    if (!is_bitmap(h.type) && h.maximum == 0)
        return load_fail(ctx, STATUS_BAD_HEADER, "Portable Bitmap : Bad maximum value !");
    PnmReader r{s, ctx, h, {}, size_t{h.width} * static_cast<size_t>(samples_per_pixel(h.type))};
    describe(h, label, dpi, &r.info);
    return read_lines(r);
}

Status pnm_read(Stream* s, LoadContext* ctx) { return pnm_read_as(s, ctx, nullptr, 0); }

Status pnm_skip_image(Stream* s)
{
    if (stream_bytes_left(s) <= 0) return STATUS_INCOMPLETE;
    PnmHeader h;
    const Status status = read_header(s, &h);
    if (status != STATUS_OK) return status == STATUS_INCOMPLETE ? STATUS_INCOMPLETE : STATUS_UNKNOWN_FORMAT;
    if (h.type != 4 && h.type != 5 && h.type != 6) return STATUS_UNKNOWN_FORMAT;
    const int64_t w = h.width;
    int64_t line = h.type == 4 ? (w + 7) / 8 : w * samples_per_pixel(h.type);
    if (h.type != 4 && h.maximum > 255) line *= 2;
    const int64_t bytes = line * h.height;
    if (bytes > stream_bytes_left(s)) return STATUS_INCOMPLETE;
    return stream_skip(s, bytes) ? STATUS_INCOMPLETE : STATUS_OK;
}
