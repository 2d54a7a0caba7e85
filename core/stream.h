// A byte stream over a C file with typed reads and writes in both byte orders. Every codec reads
// and writes through it.
#pragma once

#include <cstdint>
#include <cstdio>

#include "core/status.h"

enum : int {
    STREAM_MODE_READ_BIT = 0x1,
    STREAM_MODE_WRITE_BIT = 0x2,
    STREAM_READ = 17,
    STREAM_WRITE = 18,
};

struct Stream {
    FILE* file;
    int64_t size;      // taken from the file system when opened for reading
    int standard;      // the process's standard input (read through a copy) or output: never closed
    int seekable;      // 0: forward skips read and drop the bytes
    int writing;
    char* name;
};

// Null on every failure: missing file, folder, empty file for reading, refused standard stream.
Stream* stream_open(const char* name, int mode);
void stream_close(Stream* stream);

int stream_seek(Stream* stream, int64_t offset, int whence);
int64_t stream_tell(Stream* stream);
int stream_eof(Stream* stream);
// Returns 1 if the file ended before `count` bytes were skipped.
int stream_skip(Stream* stream, int64_t count);

inline int stream_getc(Stream* s)
{
#if defined(_WIN32)
    return _getc_nolock(s->file);
#else
    return getc_unlocked(s->file);
#endif
}
inline int stream_ungetc(Stream* s, int c) { return ungetc(c, s->file); }
inline size_t stream_read(Stream* s, void* buffer, size_t count) { return fread(buffer, 1, count, s->file); }

// Integer reads: missing bytes at the end of the file read as zero; codecs detect truncation
// with stream_eof and the counts of block reads.
uint16_t stream_read_u16le(Stream* s);
uint16_t stream_read_u16be(Stream* s);
uint32_t stream_read_u32le(Stream* s);
uint32_t stream_read_u32be(Stream* s);
// 0, or STATUS_INCOMPLETE when fewer bytes than needed were read.
Status stream_read_float_be(Stream* s, float* out);
Status stream_read_float_le(Stream* s, float* out);
Status stream_read_double_be(Stream* s, double* out);
Status stream_read_double_le(Stream* s, double* out);

int stream_read_number(Stream* s, long* out);
int stream_read_token(Stream* s, char* buffer, int size, int delimiter);
char* stream_read_line(char* buffer, int size, Stream* s);

inline int stream_putc(Stream* s, int c) { return putc(c, s->file); }
inline size_t stream_write(Stream* s, const void* buffer, size_t count)
{
    return fwrite(buffer, 1, count, s->file);
}
int stream_write_text(Stream* s, const char* text);
int stream_printf(Stream* s, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;
int stream_write_u16le(Stream* s, uint16_t v);
int stream_write_u16be(Stream* s, uint16_t v);
int stream_write_u32le(Stream* s, uint32_t v);
int stream_write_u32be(Stream* s, uint32_t v);
Status stream_write_float_be(Stream* s, float v);
Status stream_write_float_le(Stream* s, float v);

// Byte order: the host is little-endian.
inline uint16_t swap16(uint16_t v) { return static_cast<uint16_t>((v >> 8) | (v << 8)); }
inline uint32_t swap32(uint32_t v)
{
    return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}
inline uint16_t be16_to_host(uint16_t v) { return swap16(v); }
inline uint32_t be32_to_host(uint32_t v) { return swap32(v); }
inline uint16_t le16_to_host(uint16_t v) { return v; }
inline uint32_t le32_to_host(uint32_t v) { return v; }

constexpr int TEMP_NAME_MAX = 260;
// A new, empty file with a unique name beginning "x_" in the system's temporary folder.
// Returns 1 and the name in `buffer`, or 0.
int temp_file_name(char buffer[TEMP_NAME_MAX]);
