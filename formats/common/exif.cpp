#include "formats/common/exif.h"

namespace {

constexpr size_t TIFF_AT = 6;
constexpr int MAX_DIRECTORIES = 32;

// A directory's entries; false when the directory does not lie inside the block.
template <typename Visit>
bool walk_directory(const ExifBlock& b, uint32_t offset, Visit&& visit, uint32_t* next)
{
    if (offset < 8 || static_cast<uint64_t>(offset) + 2 > b.size) return false;
    const uint16_t count = exif_u16(b, offset);
    if (count == 0) return false;
    const uint64_t end = static_cast<uint64_t>(offset) + 2 + 12ull * count;
    for (uint16_t i = 0; i < count; ++i) {
        const size_t at = offset + 2 + 12u * i;
        if (at + 12 > b.size) return false;
        ExifEntry e{exif_u16(b, at), exif_u16(b, at + 2), exif_u32(b, at + 4), at + 8};
        // Values longer than four bytes lie elsewhere and must end inside the block.
        const uint64_t bytes = static_cast<uint64_t>(e.count) * exif_type_size(e.type);
        if (bytes > 4) {
            const uint64_t where = exif_u32(b, e.value_at);
            if (where + bytes > b.size) continue;
        }
        visit(e);
    }
    *next = end + 4 <= b.size ? exif_u32(b, static_cast<size_t>(end)) : 0;
    if (*next != 0 && *next <= offset) *next = 0;  // only forwards: a loop cannot hang the walk
    return true;
}

}  // namespace

bool exif_open(const uint8_t* payload, size_t length, ExifBlock* out)
{
    if (!payload || length < TIFF_AT + 8) return false;
    const uint8_t* t = payload + TIFF_AT;
    bool big;
    if (t[0] == 'I' && t[1] == 'I') big = false;
    else if (t[0] == 'M' && t[1] == 'M') big = true;
    else return false;
    *out = ExifBlock{const_cast<uint8_t*>(t), length - TIFF_AT, big};
    return exif_u16(*out, 2) == 42;
}

uint16_t exif_u16(const ExifBlock& b, size_t at)
{
    if (at + 2 > b.size) return 0;
    const uint8_t* p = b.tiff + at;
    return b.big_endian ? static_cast<uint16_t>(p[0] << 8 | p[1]) : static_cast<uint16_t>(p[1] << 8 | p[0]);
}

uint32_t exif_u32(const ExifBlock& b, size_t at)
{
    if (at + 4 > b.size) return 0;
    const uint8_t* p = b.tiff + at;
    return b.big_endian ? uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3]
                        : uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
}

uint32_t exif_first_directory(const ExifBlock& b) { return exif_u32(b, 4); }

int exif_type_size(uint16_t type)
{
    switch (type) {
    case 1: case 2: case 6: case 7: return 1;     // BYTE, ASCII, SBYTE, UNDEFINED
    case 3: case 8: return 2;                     // SHORT, SSHORT
    case 4: case 9: case 11: case 13: return 4;   // LONG, SLONG, FLOAT, IFD
    case 5: case 10: case 12: return 8;           // RATIONAL, SRATIONAL, DOUBLE
    default: return 0;
    }
}

bool exif_find_thumbnail(const uint8_t* payload, size_t length, ExifThumbnail* out)
{
    ExifBlock b;
    if (!exif_open(payload, length, &b)) return false;
    uint32_t directory = exif_first_directory(b);
    if (static_cast<uint64_t>(directory) + TIFF_AT >= length - 2) return false;
    uint32_t exif_directory = 0;
    uint32_t after_exif = 0;  // the next directory of the one that pointed at the Exif directory
    for (int walked = 0; directory != 0 && walked < MAX_DIRECTORIES; ++walked) {
        uint32_t offset = 0, size = 0, next = 0;
        const bool ok = walk_directory(b, directory, [&](const ExifEntry& e) {
            if (e.tag == 0x8769 && e.count == 1) {
                const uint32_t v = exif_u32(b, e.value_at);
                if (v >= 8 && v < b.size) exif_directory = v;
            } else if (e.tag == 0x201 && e.type == 4 && e.count == 1) {
                offset = exif_u32(b, e.value_at);
            } else if (e.tag == 0x202 && e.type == 4 && e.count == 1) {
                size = exif_u32(b, e.value_at);
            }
        }, &next);
        if (!ok) return false;
        if (offset && size) {
            if (static_cast<uint64_t>(offset) + size > b.size) return false;
            *out = ExifThumbnail{offset + TIFF_AT, size};
            return true;
        }
        if (exif_directory && exif_directory != directory) {
            // Cameras keep the thumbnail in the second directory, which the first one names
            // after its entries: it is walked once the Exif directory is done.
            directory = exif_directory;
            exif_directory = 0;
            after_exif = next;
            continue;
        }
        directory = next ? next : after_exif;
        if (directory == after_exif) after_exif = 0;
    }
    return false;
}

namespace {

// Where the first directory keeps its orientation value, or 0.
size_t orientation_at(const ExifBlock& b)
{
    size_t at = 0;
    uint32_t next = 0;
    walk_directory(b, exif_first_directory(b), [&](const ExifEntry& e) {
        if (e.tag == 0x112 && e.type == 3 && e.count >= 1) at = e.value_at;
    }, &next);
    return at;
}

}  // namespace

int exif_orientation(const uint8_t* payload, size_t length)
{
    ExifBlock b;
    if (!exif_open(payload, length, &b)) return 0;
    const size_t at = orientation_at(b);
    if (!at) return 0;
    const uint16_t v = exif_u16(b, at);
    return v >= 1 && v <= 8 ? v : 0;
}

bool exif_set_orientation(uint8_t* payload, size_t length, int orientation)
{
    ExifBlock b;
    if (!exif_open(payload, length, &b)) return false;
    const size_t at = orientation_at(b);
    if (!at) return false;
    uint8_t* p = b.tiff + at;
    const uint16_t v = static_cast<uint16_t>(orientation);
    if (b.big_endian) {
        p[0] = static_cast<uint8_t>(v >> 8);
        p[1] = static_cast<uint8_t>(v);
    } else {
        p[0] = static_cast<uint8_t>(v);
        p[1] = static_cast<uint8_t>(v >> 8);
    }
    return true;
}
