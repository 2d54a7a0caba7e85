// The file's structure: the header, the chain of image file directories (one per page) and the
// values of their entries. Every count and offset comes from the file, so every value read is
// checked against the file's size, and the chain is walked with its visited offsets remembered.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/status.h"
#include "core/stream.h"

enum : uint16_t {
    TIFF_BYTE = 1,
    TIFF_ASCII = 2,
    TIFF_SHORT = 3,
    TIFF_LONG = 4,
    TIFF_RATIONAL = 5,
    TIFF_SBYTE = 6,
    TIFF_UNDEFINED = 7,
    TIFF_SSHORT = 8,
    TIFF_SLONG = 9,
    TIFF_SRATIONAL = 10,
    TIFF_FLOAT = 11,
    TIFF_DOUBLE = 12,
    TIFF_IFD = 13,
    TIFF_LONG8 = 16,
    TIFF_SLONG8 = 17,
    TIFF_IFD8 = 18,
};

struct TiffFile {
    Stream* stream = nullptr;
    int64_t size = 0;
    bool big_endian = false;
    bool big_tiff = false;  // 64-bit offsets and counts, 20-byte entries
    uint64_t first_directory = 0;
};

struct TiffEntry {
    uint16_t tag = 0;
    uint16_t type = 0;
    uint64_t count = 0;
    uint8_t field[8] = {};  // the value field as stored: the value itself when it fits
};

struct TiffDirectory {
    std::vector<TiffEntry> entries;
    const TiffEntry* find(uint16_t tag) const;
};

// Reads the header. STATUS_INCOMPLETE when the first bytes cannot be read, STATUS_UNKNOWN_FORMAT
// when they are not a TIFF header.
Status tiff_open(Stream* stream, TiffFile* file);

// Counts the pages and finds the offset of page `wanted` (page 0 when there are fewer pages).
int tiff_count_pages(const TiffFile& file, int wanted, uint64_t* wanted_offset);

Status tiff_read_directory(const TiffFile& file, uint64_t offset, TiffDirectory* out);

int tiff_type_size(uint16_t type);

// Integer values of an entry (BYTE, SHORT, LONG, LONG8, IFD and their signed kinds; the
// numerators of rationals), at most `max_count` of them. False when they lie outside the file.
bool tiff_entry_numbers(const TiffFile& file, const TiffEntry& entry, std::vector<uint64_t>* out,
                        uint64_t max_count = UINT32_MAX);
// The first value, or `fallback` when the entry is absent or unreadable.
uint64_t tiff_entry_number(const TiffFile& file, const TiffEntry* entry, uint64_t fallback);
// Floating values: rationals divided out, floats and doubles as they are. Denominators of 0 give 0.
bool tiff_entry_reals(const TiffFile& file, const TiffEntry& entry, std::vector<double>* out, uint64_t max_count);
// The bytes of the value as stored, whatever its type, at most `max_bytes`.
bool tiff_entry_bytes(const TiffFile& file, const TiffEntry& entry, std::vector<uint8_t>* out, uint64_t max_bytes);
// Where an entry's value lies in the file, when it is stored outside the entry.
bool tiff_entry_offset(const TiffFile& file, const TiffEntry& entry, uint64_t* offset);

// Reads `bytes` bytes at an offset that must lie with them inside the file.
bool tiff_read_at(const TiffFile& file, uint64_t offset, void* out, size_t bytes);

uint16_t tiff_u16(const TiffFile& file, const uint8_t* p);
uint32_t tiff_u32(const TiffFile& file, const uint8_t* p);
uint64_t tiff_u64(const TiffFile& file, const uint8_t* p);
