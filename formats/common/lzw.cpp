// The LZW decoder writes each string straight into its place, last byte first, by walking the
// prefix chain: the string's length is kept with its code, so no stack is needed and a whole
// string lands in the output at once. The encoder is the classic one: an open-addressing hash of
// (prefix, pixel) pairs.
#include "formats/common/lzw.h"

#include <atomic>
#include <cstring>

namespace {

std::atomic<bool> lzw_switch{true};

bool params_valid(const LzwParams& p, int highest_root)
{
    return p.root_bits >= 2 && p.root_bits <= highest_root &&
           (p.order == LZW_LSB_FIRST || p.order == LZW_MSB_FIRST);
}

// The first code number at which the width must grow; the early-change variant grows one code
// sooner. Decoders add a table entry one code after the encoder does, hence the encoder's +1.
int decoder_grow_at(int width, bool early) { return (1 << width) - (early ? 1 : 0); }
int encoder_grow_at(int width, bool early) { return (1 << width) + (early ? 0 : 1); }

void decoder_clear(LzwDecoder* d)
{
    const int clear = 1 << d->params.root_bits;
    d->width = d->params.root_bits + 1;
    d->next_code = clear + 2;
    d->previous = -1;
}

}  // namespace

bool lzw_enabled() { return lzw_switch.load(std::memory_order_relaxed); }
void lzw_set_enabled(bool on) { lzw_switch.store(on, std::memory_order_relaxed); }

// --- decoding -------------------------------------------------------------------------------

bool lzw_decoder_init(LzwDecoder* d, const LzwParams& params)
{
    // 9-bit roots occur in damaged GIF files; literals above 255 then read as bad codes.
    if (!params_valid(params, 9)) return false;
    d->params = params;
    d->in = d->in_end = nullptr;
    d->bit_buffer = 0;
    d->bit_count = 0;
    d->pending_at = d->pending_end = 0;
    d->ended = d->broken = false;
    const int clear = 1 << params.root_bits;
    std::memset(d->length, 0, sizeof d->length);
    std::memset(d->stamp, 0, sizeof d->stamp);
    d->call = 0;
    for (int i = 0; i < clear && i < 256; ++i) {
        d->prefix[i] = 0;
        d->suffix[i] = d->first[i] = static_cast<uint8_t>(i);
        d->length[i] = 1;
    }
    decoder_clear(d);
    return true;
}

void lzw_decoder_input(LzwDecoder* d, const uint8_t* data, size_t size)
{
    d->in = data;
    d->in_end = data + size;
}

LzwResult lzw_decode(LzwDecoder* d, uint8_t* out, size_t size, size_t* produced)
{
    size_t done = 0;
    if (d->pending_at < d->pending_end) {
        const size_t waiting = static_cast<size_t>(d->pending_end - d->pending_at);
        const size_t n = waiting < size ? waiting : size;
        std::memcpy(out, d->pending + d->pending_at, n);
        d->pending_at += static_cast<int>(n);
        done = n;
    }
    if (d->broken || d->ended) {
        *produced = done;
        if (d->pending_at < d->pending_end) return LZW_OUTPUT_FULL;
        return d->broken ? LZW_BAD_CODE : LZW_END;
    }

    // The working state lives in locals for the loop and goes back into the record on the way out.
    const int clear = 1 << d->params.root_bits;
    const int end_code = clear + 1;
    const bool lsb = d->params.order == LZW_LSB_FIRST;
    const bool early = d->params.early_change;
    const uint8_t* in = d->in;
    const uint8_t* const in_end = d->in_end;
    uint64_t bits = d->bit_buffer;
    int count = d->bit_count;
    int width = d->width;
    int next = d->next_code;
    int previous = d->previous;
    int grow_at = decoder_grow_at(width, early);
    uint16_t* const prefix = d->prefix;
    uint16_t* const length = d->length;
    uint8_t* const suffix = d->suffix;
    uint8_t* const first = d->first;
    uint32_t* const position = d->position;
    uint32_t* const stamp = d->stamp;
    const uint32_t call = ++d->call;
    int64_t previous_at = -1;  // where the previous code's string starts in this call's output
    LzwResult result;

    for (;;) {
        if (done == size) {
            result = LZW_OUTPUT_FULL;
            break;
        }
        if (count < width) {
            if (lsb) {
                while (count <= 56 && in < in_end) {
                    bits |= uint64_t{*in++} << count;
                    count += 8;
                }
            } else {
                while (count <= 56 && in < in_end) {
                    bits = bits << 8 | *in++;
                    count += 8;
                }
            }
            if (count < width) {
                result = LZW_NEED_INPUT;
                break;
            }
        }
        int code;
        if (lsb) {
            code = static_cast<int>(bits & ((1u << width) - 1));
            bits >>= width;
        } else {
            code = static_cast<int>((bits >> (count - width)) & ((1u << width) - 1));
        }
        count -= width;

        if (code == clear) {
            width = d->params.root_bits + 1;
            next = clear + 2;
            previous = -1;
            grow_at = decoder_grow_at(width, early);
            continue;
        }
        if (code == end_code) {
            d->ended = true;
            result = LZW_END;
            break;
        }
        // A code one past the table repeats the previous string plus its own first byte.
        if (code > next || (code == next && previous < 0) || (code < next && length[code] == 0)) {
            d->broken = true;
            result = LZW_BAD_CODE;
            break;
        }
        const bool repeat = code == next;
        if (previous >= 0 && next < LZW_TABLE_SIZE) {
            prefix[next] = static_cast<uint16_t>(previous);
            suffix[next] = code < next ? first[code] : first[previous];
            first[next] = first[previous];
            length[next] = static_cast<uint16_t>(length[previous] + 1);
            // The new string is the previous one and the first byte after it: it sits where the
            // previous string was written, once this code's string follows it.
            stamp[next] = previous_at >= 0 ? call : 0;
            position[next] = static_cast<uint32_t>(previous_at);
            ++next;
            if (next >= grow_at && width < LZW_MAX_BITS) grow_at = decoder_grow_at(++width, early);
        }
        previous = code;

        const int len = length[code];
        const size_t room = size - done;
        if (len == 1) {
            previous_at = static_cast<int64_t>(done);
            out[done++] = suffix[code];
            continue;
        }
        if (stamp[code] == call && static_cast<size_t>(len) <= room) {
            const uint32_t from = position[code];
            uint8_t* to = out + done;
            const uint8_t* source = out + from;
            if (len <= 16 && room >= 16) {
                // Most strings are a few bytes: one 16-byte move (a single load and store) beats a
                // call; the bytes past the string are overwritten by what follows.
                std::memmove(to, source, 16);
            } else {
                std::memmove(to, source, static_cast<size_t>(len) - (repeat ? 1 : 0));
            }
            // A repeated string ends with its own first byte.
            if (repeat) to[len - 1] = source[0];
            position[code] = static_cast<uint32_t>(done);
            previous_at = static_cast<int64_t>(done);
            done += static_cast<size_t>(len);
            continue;
        }
        uint8_t* at = static_cast<size_t>(len) <= room ? out + done : d->pending;
        int c = code;
        for (int i = len - 1; i > 0; --i) {
            at[i] = suffix[c];
            c = prefix[c];
        }
        at[0] = suffix[c];
        if (static_cast<size_t>(len) <= room) {
            stamp[code] = call;
            position[code] = static_cast<uint32_t>(done);
            previous_at = static_cast<int64_t>(done);
            done += static_cast<size_t>(len);
        } else {
            previous_at = -1;
            std::memcpy(out + done, d->pending, room);
            d->pending_at = static_cast<int>(room);
            d->pending_end = len;
            done = size;
        }
    }

    d->in = in;
    d->bit_buffer = bits;
    d->bit_count = count;
    d->width = width;
    d->next_code = next;
    d->previous = previous;
    *produced = done;
    return result;
}

// --- encoding -------------------------------------------------------------------------------

namespace {

bool flush_out(LzwEncoder* e)
{
    if (e->out_used && !e->failed && !e->sink(e->sink_data, e->out, e->out_used)) e->failed = true;
    e->out_used = 0;
    return !e->failed;
}

inline void put_code(LzwEncoder* e, int code)
{
    if (e->params.order == LZW_LSB_FIRST) {
        e->bit_buffer |= uint64_t(code) << e->bit_count;
        e->bit_count += e->width;
        while (e->bit_count >= 8) {
            e->out[e->out_used++] = static_cast<uint8_t>(e->bit_buffer);
            e->bit_buffer >>= 8;
            e->bit_count -= 8;
        }
    } else {
        e->bit_buffer = e->bit_buffer << e->width | uint64_t(code);
        e->bit_count += e->width;
        while (e->bit_count >= 8) {
            e->out[e->out_used++] = static_cast<uint8_t>(e->bit_buffer >> (e->bit_count - 8));
            e->bit_count -= 8;
        }
    }
    if (e->out_used > LZW_OUT_SIZE - 8) flush_out(e);
}

void encoder_clear(LzwEncoder* e)
{
    std::memset(e->hash_key, 0, sizeof e->hash_key);
    e->width = e->params.root_bits + 1;
    e->next_code = (1 << e->params.root_bits) + 2;
}

}  // namespace

bool lzw_encoder_init(LzwEncoder* e, const LzwParams& params, LzwSink sink, void* sink_data)
{
    if (!params_valid(params, 8) || !sink) return false;
    e->params = params;
    e->sink = sink;
    e->sink_data = sink_data;
    e->bit_buffer = 0;
    e->bit_count = 0;
    // With early change the decoder would need a 13th bit for code 4095, so the table is cleared
    // two codes sooner.
    e->limit = params.early_change ? LZW_TABLE_SIZE - 2 : LZW_TABLE_SIZE;
    e->current = -1;
    e->failed = false;
    e->out_used = 0;
    encoder_clear(e);
    put_code(e, 1 << params.root_bits);
    return true;
}

bool lzw_encode(LzwEncoder* e, const uint8_t* pixels, size_t count)
{
    if (e->failed) return false;
    if (count == 0) return true;
    const unsigned pixel_mask = (1u << e->params.root_bits) - 1;
    const int clear = 1 << e->params.root_bits;
    const bool early = e->params.early_change;
    size_t i = 0;
    int current = e->current;
    if (current < 0) current = pixels[i++] & pixel_mask;
    int grow_at = encoder_grow_at(e->width, early);
    for (; i < count; ++i) {
        const unsigned pixel = pixels[i] & pixel_mask;
        const uint32_t key = (static_cast<uint32_t>(current) << 8 | pixel) + 1;
        int h = static_cast<int>(pixel * 16 + static_cast<unsigned>(current));
        if (h >= LZW_HASH_SIZE) h -= LZW_HASH_SIZE;
        if (e->hash_key[h] == key) {
            current = e->hash_code[h];
            continue;
        }
        if (e->hash_key[h] != 0) {
            const int step = h == 0 ? 1 : LZW_HASH_SIZE - h;
            bool found = false;
            for (;;) {
                h -= step;
                if (h < 0) h += LZW_HASH_SIZE;
                if (e->hash_key[h] == key) {
                    found = true;
                    break;
                }
                if (e->hash_key[h] == 0) break;
            }
            if (found) {
                current = e->hash_code[h];
                continue;
            }
        }
        put_code(e, current);
        current = static_cast<int>(pixel);
        e->hash_key[h] = key;
        e->hash_code[h] = static_cast<uint16_t>(e->next_code++);
        if (e->next_code >= e->limit) {
            put_code(e, clear);
            encoder_clear(e);
            grow_at = encoder_grow_at(e->width, early);
        } else if (e->next_code >= grow_at && e->width < LZW_MAX_BITS) {
            grow_at = encoder_grow_at(++e->width, early);
        }
    }
    e->current = current;
    return !e->failed;
}

bool lzw_encode_finish(LzwEncoder* e)
{
    if (e->failed) return false;
    if (e->current >= 0) {
        put_code(e, e->current);
        // The decoder adds an entry for this last code, and may widen before the End code.
        if (e->next_code + 1 >= encoder_grow_at(e->width, e->params.early_change) && e->width < LZW_MAX_BITS)
            ++e->width;
    }
    put_code(e, (1 << e->params.root_bits) + 1);
    if (e->bit_count > 0) {
        const int pad = 8 - e->bit_count;
        e->out[e->out_used++] = e->params.order == LZW_LSB_FIRST
                                    ? static_cast<uint8_t>(e->bit_buffer)
                                    : static_cast<uint8_t>(e->bit_buffer << pad);
        e->bit_buffer = 0;
        e->bit_count = 0;
    }
    e->current = -1;
    return flush_out(e);
}
