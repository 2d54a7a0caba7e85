#include "formats/bmp/bmp_rle.h"

#include <cstring>

#include "formats/common/stream_bytes.h"

namespace {

struct Decoder {
    const RleImage& t;
    Stream* in;
    int64_t x = 0;  // may run past the line: such pixels are counted and dropped
    int64_t y = 0;
    int64_t rows_painted = 0;

    void put_pixel(int value)
    {
        const int64_t column = x++;
        if (column >= t.width || y >= t.height) return;
        if (y >= rows_painted) rows_painted = y + 1;
        uint8_t* line = t.pixels + y * t.line_bytes;
        if (!t.nibbles) line[column] = static_cast<uint8_t>(value);
        else if (column & 1) line[column >> 1] = static_cast<uint8_t>((line[column >> 1] & 0xF0) | (value & 15));
        else line[column >> 1] = static_cast<uint8_t>((line[column >> 1] & 0x0F) | (value & 15) << 4);
    }
    // A run's pixels past the line's end would all be dropped: they are only counted.
    void run(int count, int value)
    {
        const int64_t room = x < t.width ? t.width - x : 0;
        const int painted = count < room ? count : static_cast<int>(room);
        for (int i = 0; i < painted; ++i) put_pixel(t.nibbles ? ((i & 1) ? value & 15 : value >> 4) : value);
        x += count - painted;
    }
    // Literal pixels: a byte each, or two nibbles a byte; the group ends on a 16-bit boundary.
    Status literal(int count)
    {
        const int bytes = t.nibbles ? (count + 1) / 2 : count;
        for (int i = 0; i < bytes; ++i) {
            const int b = stream_next_byte(in);
            if (b < 0) return STATUS_INCOMPLETE;
            if (!t.nibbles) {
                put_pixel(b);
            } else {
                put_pixel(b >> 4);
                if (2 * i + 1 < count) put_pixel(b & 15);
            }
        }
        if ((bytes & 1) && stream_next_byte(in) < 0) return STATUS_INCOMPLETE;
        return STATUS_OK;
    }
    Status decode()
    {
        while (y < t.height) {
            const int count = stream_next_byte(in);
            const int value = stream_next_byte(in);
            if (count < 0 || value < 0) return STATUS_INCOMPLETE;
            if (count > 0) {
                run(count, value);
            } else if (value == 0) {  // end of line
                ++y;
                x = 0;
            } else if (value == 1) {  // end of bitmap
                return STATUS_OK;
            } else if (value == 2) {  // delta: right and down
                const int dx = stream_next_byte(in);
                const int dy = stream_next_byte(in);
                if (dx < 0 || dy < 0) return STATUS_INCOMPLETE;
                x += dx;
                y += dy;
            } else {
                LUM_TRY(literal(value));
            }
        }
        return STATUS_OK;
    }
};

// An escape (0, n) for n of 3 and more is a literal group; shorter stretches are runs of one.
bool starts_run(const uint8_t* p, int i, int width) { return i + 1 < width && p[i] == p[i + 1]; }

// A stretch of differing pixels ends before two equal ones, one pixel before the end of the
// line (that one is written on its own), or at 254 pixels.
int literal_length(const uint8_t* p, int i, int width)
{
    int n = 0;
    while (i + n < width - 1 && p[i + n] != p[i + n + 1] && n < 254) ++n;
    return n;
}

int run_length(const uint8_t* p, int i, int width)
{
    int n = 1;
    while (i + n < width && n < 255 && p[i + n] == p[i]) ++n;
    return n;
}

}  // namespace

Status bmp_rle_decode(Stream* stream, const RleImage& image, int* rows_painted)
{
    Decoder d{image, stream};
    const Status status = d.decode();
    *rows_painted = static_cast<int>(d.rows_painted);
    return status;
}

namespace {

// Runs of 2 to 255 equal pixels; single pixels and pairs as runs (a pair of nibbles fits one run
// byte in RLE4, RLE8 needs two runs of one); longer stretches as literal groups padded to 16 bits.
size_t encode_line(const uint8_t* p, int width, bool nibbles, uint8_t* out)
{
    size_t o = 0;
    int i = 0;
    while (i < width) {
        if (starts_run(p, i, width)) {
            const int n = run_length(p, i, width);
            out[o++] = static_cast<uint8_t>(n);
            out[o++] = nibbles ? static_cast<uint8_t>((p[i] & 15) << 4 | (p[i] & 15)) : p[i];
            i += n;
            continue;
        }
        const int n = literal_length(p, i, width);
        if (n <= 2) {
            const int take = n == 0 ? 1 : n;  // 0: the line's last pixel, on its own
            if (nibbles) {
                out[o++] = static_cast<uint8_t>(take);
                out[o++] = static_cast<uint8_t>((p[i] & 15) << 4 | (p[i + take - 1] & 15));
            } else {
                for (int k = 0; k < take; ++k) {
                    out[o++] = 1;
                    out[o++] = p[i + k];
                }
            }
            i += take;
            continue;
        }
        out[o++] = 0;
        out[o++] = static_cast<uint8_t>(n);
        const size_t start = o;
        if (nibbles) {
            for (int k = 0; k < n; k += 2)
                out[o++] = static_cast<uint8_t>((p[i + k] & 15) << 4 | (k + 1 < n ? p[i + k + 1] & 15 : 0));
        } else {
            std::memcpy(out + o, p + i, static_cast<size_t>(n));
            o += static_cast<size_t>(n);
        }
        if ((o - start) & 1) out[o++] = 0;
        i += n;
    }
    out[o++] = 0;
    out[o++] = 0;
    return o;
}

}  // namespace

size_t bmp_rle8_encode_line(const uint8_t* p, int width, uint8_t* out) { return encode_line(p, width, false, out); }

size_t bmp_rle4_encode_line(const uint8_t* p, int width, uint8_t* out) { return encode_line(p, width, true, out); }
