// Walking Exif blocks (the payload of a JPEG APP1 marker: "Exif", two zero bytes, then a TIFF
// header and its directories). Every offset read from the block is checked against its size.
#pragma once

#include <cstddef>
#include <cstdint>

struct ExifBlock {
    uint8_t* tiff;    // the TIFF header inside the payload; offsets count from here
    size_t size;      // bytes from the TIFF header to the payload's end
    bool big_endian;
};

// Finds the TIFF header at offset 6 of an APP1 payload ("II" or "MM", then 42). The block may be
// written through (exif_set_orientation) when the payload is writable.
bool exif_open(const uint8_t* payload, size_t length, ExifBlock* out);
uint16_t exif_u16(const ExifBlock& block, size_t offset);
uint32_t exif_u32(const ExifBlock& block, size_t offset);
uint32_t exif_first_directory(const ExifBlock& block);

// One directory entry as stored: tag, type, count, and the offset of its 4-byte value field.
struct ExifEntry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    size_t value_at;
};
// Bytes one value of a TIFF type takes (0 for unknown types).
int exif_type_size(uint16_t type);

// The thumbnail of tags 0x201/0x202, as an offset from the start of the payload, and its length.
struct ExifThumbnail {
    size_t offset;
    size_t length;
};
bool exif_find_thumbnail(const uint8_t* payload, size_t length, ExifThumbnail* out);

// The orientation of the first directory (tag 0x112): 1 to 8, or 0 when there is none.
int exif_orientation(const uint8_t* payload, size_t length);
// Rewrites the orientation value in place; false when the block holds none.
bool exif_set_orientation(uint8_t* payload, size_t length, int orientation);
