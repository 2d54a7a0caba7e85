#include "formats/common/packbits.h"

#include <algorithm>
#include <cstring>

Status packbits_decode(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_size,
                       PackBitsResult* result)
{
    size_t i = 0, o = 0;
    Status status = STATUS_OK;
    while (o < out_size) {
        if (i >= in_size) {
            status = STATUS_INCOMPLETE;
            break;
        }
        const int n = in[i++];
        if (n < 128) {
            const size_t count = static_cast<size_t>(n) + 1;
            const size_t available = std::min(count, in_size - i);
            const size_t kept = std::min(available, out_size - o);
            std::memcpy(out + o, in + i, kept);
            o += kept;
            i += available;
            if (available < count) {
                status = STATUS_INCOMPLETE;
                break;
            }
        } else if (n > 128) {
            if (i >= in_size) {
                status = STATUS_INCOMPLETE;
                break;
            }
            const size_t count = static_cast<size_t>(257 - n);
            const size_t kept = std::min(count, out_size - o);
            std::memset(out + o, in[i++], kept);
            o += kept;
        }
    }
    if (result) *result = PackBitsResult{i, o};
    return status;
}

Status packbits_decode_stream(Stream* stream, uint8_t* out, size_t out_size)
{
    size_t o = 0;
    while (o < out_size) {
        const int n = stream_getc(stream);
        if (n == EOF) return STATUS_INCOMPLETE;
        if (n < 128) {
            const size_t count = static_cast<size_t>(n) + 1;
            const size_t kept = std::min(count, out_size - o);
            if (stream_read(stream, out + o, kept) != kept) return STATUS_INCOMPLETE;
            o += kept;
            if (kept < count && stream_skip(stream, static_cast<int64_t>(count - kept)))
                return STATUS_INCOMPLETE;
        } else if (n > 128) {
            const int value = stream_getc(stream);
            if (value == EOF) return STATUS_INCOMPLETE;
            const size_t kept = std::min(static_cast<size_t>(257 - n), out_size - o);
            std::memset(out + o, value, kept);
            o += kept;
        }
    }
    return STATUS_OK;
}

size_t packbits_encode(const uint8_t* in, size_t size, uint8_t* out)
{
    size_t i = 0, o = 0;
    size_t literal_start = 0;  // first byte not yet written
    auto flush_literals = [&](size_t end) {
        while (literal_start < end) {
            const size_t count = std::min<size_t>(128, end - literal_start);
            out[o++] = static_cast<uint8_t>(count - 1);
            std::memcpy(out + o, in + literal_start, count);
            o += count;
            literal_start += count;
        }
    };
    while (i < size) {
        size_t run = 1;
        while (i + run < size && run < 128 && in[i + run] == in[i]) ++run;
        if (run >= 3) {
            flush_literals(i);
            out[o++] = static_cast<uint8_t>(257 - run);
            out[o++] = in[i];
            i += run;
            literal_start = i;
        } else {
            i += run;
        }
    }
    flush_literals(size);
    return o;
}
