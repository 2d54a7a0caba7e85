// Reading with the remaining file length in view: sizes, counts and offsets come from files, so
// every block read is checked against what the file still holds before memory is committed to it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/status.h"
#include "core/stream.h"

// Bytes between the stream's position and the end of the file (0 when past it).
int64_t stream_bytes_left(Stream* stream);

// Reads exactly `count` bytes; STATUS_INCOMPLETE when the file ends first.
Status stream_read_exact(Stream* stream, void* buffer, size_t count);

// Seeks to an absolute offset that must lie inside the file; STATUS_INCOMPLETE otherwise.
Status stream_seek_inside(Stream* stream, int64_t offset);
// Skips `count` bytes that must lie inside the file; STATUS_INCOMPLETE otherwise.
Status stream_skip_inside(Stream* stream, int64_t count);

// A block of `count` bytes the file must still hold, in a new heap block (std::free) at `out`:
// STATUS_INCOMPLETE, before anything is allocated, when the file is shorter; STATUS_NO_MEMORY.
Status stream_read_block(Stream* stream, size_t count, uint8_t** out);

// Integers that must be in the file: STATUS_INCOMPLETE (and 0 in `out`) when it ends first.
Status stream_get_u16le(Stream* stream, uint16_t* out);
Status stream_get_u16be(Stream* stream, uint16_t* out);
Status stream_get_u32le(Stream* stream, uint32_t* out);
Status stream_get_u32be(Stream* stream, uint32_t* out);

// Integers in bytes already in memory (a file's head, a block read whole).
inline uint16_t le16_at(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint16_t be16_at(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
inline uint32_t le32_at(const uint8_t* p)
{
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
inline uint32_t be32_at(const uint8_t* p)
{
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}
// The same, written into memory.
inline void put_le16_at(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void put_le32_at(uint8_t* p, uint32_t v)
{
    put_le16_at(p, v & 0xFFFF);
    put_le16_at(p + 2, v >> 16);
}

// One byte, or -1 at the end of the file.
inline int stream_next_byte(Stream* stream)
{
    const int c = stream_getc(stream);
    return c == EOF ? -1 : c;
}
