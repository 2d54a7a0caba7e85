#include "core/stream.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

const char* c_mode(int mode)
{
    switch (mode) {
    case 17: return "rb";
    case 33: return "r";
    case 18: return "wb";
    case 19:
    case 27: return "w+b";
    case 20: return "r+b";
    case 34: return "w";
    case 35:
    case 43: return "w+";
    case 36: return "r+";
    default: return "rb";
    }
}

bool reads_only(int mode) { return mode == 17 || mode == 33; }

// Size of a regular, non-empty file; -1 for folders, missing and empty files.
int64_t readable_file_size(const char* name)
{
#if defined(_WIN32)
    struct __stat64 st;
    if (_stat64(name, &st) != 0) return -1;
#else
    struct stat st;
    if (stat(name, &st) != 0) return -1;
#endif
    if ((st.st_mode & S_IFMT) == S_IFDIR || st.st_size <= 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

// The standard input copied into an anonymous temporary file: a pipe has no size and cannot go
// back, and the readers and the recognition both need to. Null when the input is empty or the
// copy cannot be made.
FILE* spool_standard_input(int64_t* size)
{
#if defined(_WIN32)
    _setmode(_fileno(stdin), _O_BINARY);
    char name[TEMP_NAME_MAX];
    if (!temp_file_name(name)) return nullptr;
    // T: kept in memory when it can be; D: the file goes when it is closed.
    FILE* spool = std::fopen(name, "w+bTD");
    if (!spool) {
        std::remove(name);
        return nullptr;
    }
#else
    FILE* spool = std::tmpfile();
    if (!spool) return nullptr;
#endif
    char buffer[64 * 1024];
    int64_t total = 0;
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) {
        if (std::fwrite(buffer, 1, got, spool) != got) {
            std::fclose(spool);
            return nullptr;
        }
        total += static_cast<int64_t>(got);
    }
    if (total == 0 || std::fflush(spool) != 0) {
        std::fclose(spool);
        return nullptr;
    }
    std::rewind(spool);
    *size = total;
    return spool;
}

uint32_t read_bytes(Stream* s, int n, bool big_endian)
{
    uint8_t b[4] = {0, 0, 0, 0};
    stream_read(s, b, static_cast<size_t>(n));
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) {
        const int k = big_endian ? i : n - 1 - i;
        v = (v << 8) | b[k];
    }
    return v;
}

int write_bytes(Stream* s, uint32_t v, int n, bool big_endian)
{
    uint8_t b[4];
    for (int i = 0; i < n; ++i) {
        const int shift = 8 * (big_endian ? n - 1 - i : i);
        b[i] = static_cast<uint8_t>(v >> shift);
    }
    return stream_write(s, b, static_cast<size_t>(n)) == static_cast<size_t>(n) ? 0 : 1;
}

template <typename T>
Status read_real(Stream* s, T* out, bool big_endian)
{
    uint8_t b[sizeof(T)];
    if (stream_read(s, b, sizeof b) != sizeof b) return STATUS_INCOMPLETE;
    if (big_endian) {
        for (size_t i = 0; i < sizeof b / 2; ++i) {
            const uint8_t t = b[i];
            b[i] = b[sizeof b - 1 - i];
            b[sizeof b - 1 - i] = t;
        }
    }
    std::memcpy(out, b, sizeof b);
    return STATUS_OK;
}

Status write_float(Stream* s, float v, bool big_endian)
{
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return write_bytes(s, bits, 4, big_endian) ? STATUS_INCOMPLETE : STATUS_OK;
}

bool is_space(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool is_printable(int c) { return c >= 0x20 && c != 0x7F && c != EOF; }

}  // namespace

Stream* stream_open(const char* name, int mode)
{
    if (!name) return nullptr;
    FILE* file = nullptr;
    int standard = 0;
    int64_t size = 0;
    if (std::strcmp(name, "stdin") == 0 || std::strcmp(name, "stdout") == 0) {
        const bool in = name[3] == 'i';
        if (in && (mode & STREAM_MODE_WRITE_BIT)) return nullptr;
        if (!in && (mode & STREAM_MODE_READ_BIT)) return nullptr;
        file = in ? spool_standard_input(&size) : stdout;
        if (!file) return nullptr;
        standard = 1;
    } else {
        if (reads_only(mode)) {
            size = readable_file_size(name);
            if (size < 0) return nullptr;
        }
        if (mode == 27 || mode == 43) {
            FILE* create = std::fopen(name, "wb");
            if (!create) return nullptr;
            std::fclose(create);
        }
        file = std::fopen(name, c_mode(mode));
        if (!file) return nullptr;
        // Codecs read in blocks of a few kilobytes; a larger buffer saves most system calls.
        std::setvbuf(file, nullptr, _IOFBF, 64 * 1024);
    }

    auto* s = static_cast<Stream*>(std::calloc(1, sizeof(Stream)));
    const size_t name_bytes = std::strlen(name) + 1;
    char* name_copy = static_cast<char*>(std::malloc(name_bytes));
    if (!s || !name_copy) {
        std::free(s);
        std::free(name_copy);
        if (file != stdout) std::fclose(file);
        return nullptr;
    }
    std::memcpy(name_copy, name, name_bytes);
    s->file = file;
    s->size = size;
    s->standard = standard;
    s->writing = reads_only(mode) ? 0 : 1;
    s->name = name_copy;
    return s;
}

void stream_close(Stream* stream)
{
    if (!stream) return;
    std::fflush(stream->file);
    // The standard input is read through a copy of its own, which goes with the stream.
    if (!stream->standard || stream->file != stdout) std::fclose(stream->file);
    std::free(stream->name);
    std::free(stream);
}

int stream_seek(Stream* s, int64_t offset, int whence)
{
#if defined(_WIN32)
    return _fseeki64(s->file, offset, whence);
#else
    return fseeko(s->file, static_cast<off_t>(offset), whence);
#endif
}

int64_t stream_tell(Stream* s)
{
#if defined(_WIN32)
    return _ftelli64(s->file);
#else
    return static_cast<int64_t>(ftello(s->file));
#endif
}

int stream_eof(Stream* s) { return std::feof(s->file) ? 1 : 0; }

int stream_skip(Stream* s, int64_t count)
{
    if (count == 0) return 0;
    if (count < 0 || s->seekable) return stream_seek(s, count, SEEK_CUR) == 0 ? 0 : 1;
    uint8_t scratch[4096];
    while (count > 0) {
        const size_t want = count < static_cast<int64_t>(sizeof scratch) ? static_cast<size_t>(count)
                                                                         : sizeof scratch;
        const size_t got = stream_read(s, scratch, want);
        count -= static_cast<int64_t>(got);
        if (got < want) return 1;
    }
    return 0;
}

uint16_t stream_read_u16le(Stream* s) { return static_cast<uint16_t>(read_bytes(s, 2, false)); }
uint16_t stream_read_u16be(Stream* s) { return static_cast<uint16_t>(read_bytes(s, 2, true)); }
uint32_t stream_read_u32le(Stream* s) { return read_bytes(s, 4, false); }
uint32_t stream_read_u32be(Stream* s) { return read_bytes(s, 4, true); }
Status stream_read_float_be(Stream* s, float* out) { return read_real(s, out, true); }
Status stream_read_float_le(Stream* s, float* out) { return read_real(s, out, false); }
Status stream_read_double_be(Stream* s, double* out) { return read_real(s, out, true); }
Status stream_read_double_le(Stream* s, double* out) { return read_real(s, out, false); }

int stream_read_number(Stream* s, long* out)
{
    int c;
    do c = stream_getc(s);
    while (is_space(c));
    char digits[64];
    int n = 0;
    while (c >= '0' && c <= '9' && n < 63) {
        digits[n++] = static_cast<char>(c);
        c = stream_getc(s);
    }
    digits[n] = '\0';
    if (c != EOF) stream_ungetc(s, c);
    *out = std::strtol(digits, nullptr, 10);
    return c == EOF ? 0 : 1;
}

int stream_read_token(Stream* s, char* buffer, int size, int delimiter)
{
    int c;
    do c = stream_getc(s);
    while (is_space(c));
    int n = 0;
    while (c != EOF && c != delimiter && is_printable(c) && n < size - 1) {
        buffer[n++] = static_cast<char>(c);
        c = stream_getc(s);
    }
    if (size > 0) buffer[n] = '\0';
    return c == EOF ? 0 : 1;
}

char* stream_read_line(char* buffer, int size, Stream* s)
{
    if (size < 1) return nullptr;
    int n = 0;
    int c = EOF;
    while (n < size - 1) {
        c = stream_getc(s);
        if (c == EOF) break;
        if (c == '\r') continue;
        if (c == '\n') break;
        if (!is_printable(c) && c != '\t') break;
        buffer[n++] = static_cast<char>(c);
    }
    buffer[n] = '\0';
    return c == EOF && n == 0 ? nullptr : buffer;
}

int stream_write_text(Stream* s, const char* text)
{
    const size_t n = std::strlen(text);
    return stream_write(s, text, n) == n ? 0 : 1;
}

int stream_printf(Stream* s, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int n = std::vfprintf(s->file, format, args);
    va_end(args);
    return n;
}

int stream_write_u16le(Stream* s, uint16_t v) { return write_bytes(s, v, 2, false); }
int stream_write_u16be(Stream* s, uint16_t v) { return write_bytes(s, v, 2, true); }
int stream_write_u32le(Stream* s, uint32_t v) { return write_bytes(s, v, 4, false); }
int stream_write_u32be(Stream* s, uint32_t v) { return write_bytes(s, v, 4, true); }
Status stream_write_float_be(Stream* s, float v) { return write_float(s, v, true); }
Status stream_write_float_le(Stream* s, float v) { return write_float(s, v, false); }

int temp_file_name(char buffer[TEMP_NAME_MAX])
{
#if defined(_WIN32)
    char folder[MAX_PATH + 1];
    const DWORD n = GetTempPathA(sizeof folder, folder);
    if (n == 0 || n > sizeof folder) return 0;
    // GetTempFileName creates the empty file, so the name cannot be taken twice.
    return GetTempFileNameA(folder, "x_", 0, buffer) != 0 ? 1 : 0;
#else
    const char* folder = std::getenv("TMPDIR");
    if (!folder || !*folder) folder = "/tmp";
    const int n = std::snprintf(buffer, TEMP_NAME_MAX, "%s/x_XXXXXX", folder);
    if (n < 0 || n >= TEMP_NAME_MAX) return 0;
    const int fd = mkstemp(buffer);
    if (fd < 0) return 0;
    close(fd);
    return 1;
#endif
}
