#include "formats/tiff/tiff_directory.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "formats/common/stream_bytes.h"

namespace {

constexpr int MAX_PAGES = 1 << 16;

}  // namespace

bool tiff_read_at(const TiffFile& f, uint64_t offset, void* out, size_t bytes)
{
    if (offset > static_cast<uint64_t>(f.size) || bytes > static_cast<uint64_t>(f.size) - offset) return false;
    if (stream_seek(f.stream, static_cast<int64_t>(offset), SEEK_SET) != 0) return false;
    return stream_read(f.stream, out, bytes) == bytes;
}

namespace {

bool read_at(const TiffFile& f, uint64_t offset, void* out, size_t bytes) { return tiff_read_at(f, offset, out, bytes); }

size_t field_bytes(const TiffFile& f) { return f.big_tiff ? 8 : 4; }
size_t entry_bytes(const TiffFile& f) { return f.big_tiff ? 20 : 12; }
size_t count_bytes(const TiffFile& f) { return f.big_tiff ? 8 : 2; }

uint64_t offset_value(const TiffFile& f, const uint8_t* p) { return f.big_tiff ? tiff_u64(f, p) : tiff_u32(f, p); }

// The raw bytes of `count` values starting at `first`, from the entry's field or the file.
bool value_bytes(const TiffFile& f, const TiffEntry& e, uint64_t count, std::vector<uint8_t>* out)
{
    const int size = tiff_type_size(e.type);
    if (size == 0) return false;
    count = std::min(count, e.count);
    const uint64_t total = count * static_cast<uint64_t>(size);
    if (e.count > static_cast<uint64_t>(f.size) + 8) return false;  // cannot be stored in this file
    if (e.count * static_cast<uint64_t>(size) <= field_bytes(f)) {
        out->assign(e.field, e.field + total);
        return true;
    }
    if (total > static_cast<uint64_t>(f.size)) return false;
    out->resize(static_cast<size_t>(total));
    return read_at(f, offset_value(f, e.field), out->data(), out->size());
}

}  // namespace

uint16_t tiff_u16(const TiffFile& f, const uint8_t* p)
{
    return f.big_endian ? static_cast<uint16_t>(p[0] << 8 | p[1]) : static_cast<uint16_t>(p[1] << 8 | p[0]);
}

uint32_t tiff_u32(const TiffFile& f, const uint8_t* p)
{
    return f.big_endian ? uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3]
                        : uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
}

uint64_t tiff_u64(const TiffFile& f, const uint8_t* p)
{
    const uint64_t a = tiff_u32(f, p), b = tiff_u32(f, p + 4);
    return f.big_endian ? a << 32 | b : b << 32 | a;
}

int tiff_type_size(uint16_t type)
{
    switch (type) {
    case TIFF_BYTE: case TIFF_ASCII: case TIFF_SBYTE: case TIFF_UNDEFINED: return 1;
    case TIFF_SHORT: case TIFF_SSHORT: return 2;
    case TIFF_LONG: case TIFF_SLONG: case TIFF_FLOAT: case TIFF_IFD: return 4;
    case TIFF_RATIONAL: case TIFF_SRATIONAL: case TIFF_DOUBLE: case TIFF_LONG8: case TIFF_SLONG8: case TIFF_IFD8: return 8;
    default: return 0;
    }
}

const TiffEntry* TiffDirectory::find(uint16_t tag) const
{
    for (const TiffEntry& e : entries)
        if (e.tag == tag) return &e;
    return nullptr;
}

Status tiff_open(Stream* stream, TiffFile* f)
{
    uint8_t head[16];
    f->stream = stream;
    f->size = stream->size;
    if (stream_read(stream, head, 2) != 2) return STATUS_INCOMPLETE;
    if (head[0] == 'I' && head[1] == 'I') f->big_endian = false;
    else if (head[0] == 'M' && head[1] == 'M') f->big_endian = true;
    else return STATUS_UNKNOWN_FORMAT;
    if (stream_read(stream, head + 2, 2) != 2) return STATUS_INCOMPLETE;
    // Some writers put the version in the other byte order than the header announces.
    const bool classic = (head[2] == 42 && head[3] == 0) || (head[2] == 0 && head[3] == 42);
    const bool big = (head[2] == 43 && head[3] == 0) || (head[2] == 0 && head[3] == 43);
    if (!classic && !big) return STATUS_UNKNOWN_FORMAT;
    f->big_tiff = big;
    if (big) {
        // Offset size (8) and a zero word, then the 64-bit first offset.
        if (stream_read(stream, head + 4, 12) != 12) return STATUS_UNKNOWN_FORMAT;
        if (tiff_u16(*f, head + 4) != 8) return STATUS_UNKNOWN_FORMAT;
        f->first_directory = tiff_u64(*f, head + 8);
    } else {
        if (stream_read(stream, head + 4, 4) != 4) return STATUS_UNKNOWN_FORMAT;
        f->first_directory = tiff_u32(*f, head + 4);
    }
    return STATUS_OK;
}

int tiff_count_pages(const TiffFile& f, int wanted, uint64_t* wanted_offset)
{
    std::set<uint64_t> visited;
    uint64_t offset = f.first_directory;
    int pages = 0;
    *wanted_offset = f.first_directory;
    while (offset != 0 && offset < static_cast<uint64_t>(f.size) && pages < MAX_PAGES) {
        if (!visited.insert(offset).second) break;  // a chain that loops back ends here
        uint8_t n[8];
        if (!read_at(f, offset, n, count_bytes(f))) break;
        const uint64_t entries = f.big_tiff ? tiff_u64(f, n) : tiff_u16(f, n);
        const uint64_t next_at = offset + count_bytes(f) + entries * entry_bytes(f);
        if (entries > static_cast<uint64_t>(f.size) || next_at > static_cast<uint64_t>(f.size)) break;
        if (pages == wanted) *wanted_offset = offset;
        ++pages;
        uint8_t next[8];
        if (!read_at(f, next_at, next, field_bytes(f))) break;
        offset = offset_value(f, next);
    }
    return pages;
}

Status tiff_read_directory(const TiffFile& f, uint64_t offset, TiffDirectory* out)
{
    uint8_t n[8];
    if (!read_at(f, offset, n, count_bytes(f))) return STATUS_INCOMPLETE;
    const uint64_t count = f.big_tiff ? tiff_u64(f, n) : tiff_u16(f, n);
    const uint64_t bytes = count * entry_bytes(f);
    if (count > static_cast<uint64_t>(f.size) || bytes > static_cast<uint64_t>(f.size)) return STATUS_INCOMPLETE;
    std::vector<uint8_t> raw(static_cast<size_t>(bytes));
    if (!read_at(f, offset + count_bytes(f), raw.data(), raw.size())) return STATUS_INCOMPLETE;
    out->entries.clear();
    out->entries.reserve(static_cast<size_t>(count));
    for (uint64_t i = 0; i < count; ++i) {
        const uint8_t* p = raw.data() + i * entry_bytes(f);
        TiffEntry e;
        e.tag = tiff_u16(f, p);
        e.type = tiff_u16(f, p + 2);
        e.count = f.big_tiff ? tiff_u64(f, p + 4) : tiff_u32(f, p + 4);
        std::memcpy(e.field, p + (f.big_tiff ? 12 : 8), field_bytes(f));
        out->entries.push_back(e);
    }
    return STATUS_OK;
}

bool tiff_entry_numbers(const TiffFile& f, const TiffEntry& e, std::vector<uint64_t>* out, uint64_t max_count)
{
    std::vector<uint8_t> raw;
    if (!value_bytes(f, e, max_count, &raw)) return false;
    const size_t size = static_cast<size_t>(tiff_type_size(e.type));
    const size_t n = raw.size() / size;
    out->resize(n);
    for (size_t i = 0; i < n; ++i) {
        const uint8_t* p = raw.data() + i * size;
        uint64_t v;
        switch (e.type) {
        case TIFF_BYTE: case TIFF_UNDEFINED: case TIFF_ASCII: v = p[0]; break;
        case TIFF_SBYTE: v = static_cast<uint64_t>(static_cast<int8_t>(p[0])); break;
        case TIFF_SHORT: v = tiff_u16(f, p); break;
        case TIFF_SSHORT: v = static_cast<uint64_t>(static_cast<int16_t>(tiff_u16(f, p))); break;
        case TIFF_LONG: case TIFF_IFD: case TIFF_RATIONAL: v = tiff_u32(f, p); break;
        case TIFF_SLONG: case TIFF_SRATIONAL: v = static_cast<uint64_t>(static_cast<int32_t>(tiff_u32(f, p))); break;
        case TIFF_LONG8: case TIFF_SLONG8: case TIFF_IFD8: v = tiff_u64(f, p); break;
        default: return false;  // floats are not counts
        }
        (*out)[i] = v;
    }
    return true;
}

uint64_t tiff_entry_number(const TiffFile& f, const TiffEntry* e, uint64_t fallback)
{
    if (!e || e->count == 0) return fallback;
    std::vector<uint64_t> v;
    if (!tiff_entry_numbers(f, *e, &v, 1) || v.empty()) return fallback;
    return v[0];
}

bool tiff_entry_reals(const TiffFile& f, const TiffEntry& e, std::vector<double>* out, uint64_t max_count)
{
    std::vector<uint8_t> raw;
    if (!value_bytes(f, e, max_count, &raw)) return false;
    const size_t size = static_cast<size_t>(tiff_type_size(e.type));
    const size_t n = raw.size() / size;
    out->resize(n);
    for (size_t i = 0; i < n; ++i) {
        const uint8_t* p = raw.data() + i * size;
        double v;
        switch (e.type) {
        case TIFF_RATIONAL: {
            const uint32_t d = tiff_u32(f, p + 4);
            v = d ? static_cast<double>(tiff_u32(f, p)) / d : 0.0;
            break;
        }
        case TIFF_SRATIONAL: {
            const int32_t d = static_cast<int32_t>(tiff_u32(f, p + 4));
            v = d ? static_cast<double>(static_cast<int32_t>(tiff_u32(f, p))) / d : 0.0;
            break;
        }
        case TIFF_FLOAT: {
            const uint32_t bits = tiff_u32(f, p);
            float x;
            std::memcpy(&x, &bits, 4);
            v = x;
            break;
        }
        case TIFF_DOUBLE: {
            const uint64_t bits = tiff_u64(f, p);
            std::memcpy(&v, &bits, 8);
            break;
        }
        case TIFF_SHORT: v = tiff_u16(f, p); break;
        case TIFF_LONG: v = tiff_u32(f, p); break;
        case TIFF_BYTE: v = p[0]; break;
        default: return false;
        }
        (*out)[i] = v;
    }
    return true;
}

bool tiff_entry_bytes(const TiffFile& f, const TiffEntry& e, std::vector<uint8_t>* out, uint64_t max_bytes)
{
    const int size = tiff_type_size(e.type);
    if (size == 0) return false;
    return value_bytes(f, e, max_bytes / static_cast<uint64_t>(size), out);
}

bool tiff_entry_offset(const TiffFile& f, const TiffEntry& e, uint64_t* offset)
{
    const uint64_t bytes = e.count * static_cast<uint64_t>(tiff_type_size(e.type));
    if (bytes <= field_bytes(f)) return false;
    *offset = offset_value(f, e.field);
    return *offset < static_cast<uint64_t>(f.size);
}
