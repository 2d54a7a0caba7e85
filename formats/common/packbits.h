// PackBits run-length coding: TIFF's compression 32773, Photoshop's RLE channels, the IFF ByteRun1
// body and PICT's packed bitmap rows all use the same byte code. A control byte n from 0 to 127
// announces n + 1 literal bytes, from 129 to 255 one byte repeated 257 - n times, and 128 is a
// no-op that some writers pad with.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/status.h"
#include "core/stream.h"

struct PackBitsResult {
    size_t consumed;  // input bytes used
    size_t produced;  // output bytes written
};

// Unpacks until `out_size` bytes are produced or the input ends. A run that would cross the end
// of `out` is cut there (writers that pad their rows do this), and its remaining bytes are still
// consumed so the next row starts in step. STATUS_INCOMPLETE when the input ends first; the bytes
// produced so far are kept.
Status packbits_decode(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_size,
                       PackBitsResult* result);

// The same, reading the code from a stream: for rows whose coded length the file does not give.
Status packbits_decode_stream(Stream* stream, uint8_t* out, size_t out_size);

// Largest coded size of `size` bytes: one control byte per 128 literals in the worst case.
constexpr size_t packbits_bound(size_t size) { return size + (size + 127) / 128; }

// Packs `size` bytes into `out` (at least packbits_bound(size) bytes) and returns the coded
// length. Runs of three or more equal bytes become repeats; shorter ones stay in literals, which
// is what keeps the code from growing on noisy photos.
size_t packbits_encode(const uint8_t* in, size_t size, uint8_t* out);
