// TIFF's LZW: codes of 9 to 12 bits, Clear 256 and End 257, most significant bit first with the
// code width growing one code early; the old variant packs codes least significant bit first and
// grows on time. Output is produced in pieces of any size, so rows can be asked for one by one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/status.h"
#include "formats/common/bit_reader.h"

class TiffLzwDecoder {
public:
    // Old-style data is recognised by its first two bytes (0x00 0x01).
    static bool is_old_style(const uint8_t* data, size_t size) { return size >= 2 && data[0] == 0 && (data[1] & 1); }

    void start(const uint8_t* data, size_t size, bool old_style);
    // Fills `out` with the next `size` bytes. STATUS_BAD_HEADER when the data does not begin with
    // Clear, STATUS_INCOMPLETE when it ends (or holds an impossible code) first; the bytes
    // decoded are kept.
    Status read(uint8_t* out, size_t size);

private:
    struct Entry {
        uint16_t prefix;
        uint16_t length;
        uint8_t first;
        uint8_t last;
    };
    uint32_t next_code();
    void reset_table();
    size_t emit(uint16_t code, uint8_t* out, size_t room);

    MsbBitReader msb_;
    LsbBitReader lsb_;
    bool old_style_ = false;
    bool started_ = false;
    bool ended_ = false;
    int width_ = 9;
    uint32_t next_ = 258;
    int32_t previous_ = -1;
    Entry table_[4096];
    uint8_t pending_[4096];  // the part of a string that did not fit the last request
    size_t pending_at_ = 0, pending_size_ = 0;
};

// Codes one strip: Clear first, then the codes, End, and the last partial byte.
class TiffLzwEncoder {
public:
    void start(std::vector<uint8_t>* out);
    void write(const uint8_t* data, size_t size);
    void finish();

private:
    void put(uint32_t code);
    void clear_table();
    void widen();

    std::vector<uint8_t>* out_ = nullptr;
    uint64_t bits_ = 0;
    int bit_count_ = 0;
    int width_ = 9;
    uint32_t next_ = 258;
    int32_t current_ = -1;
    // Open addressing over (prefix, byte); a generation mark empties it without clearing.
    static constexpr uint32_t HASH_SIZE = 1 << 14;
    uint32_t keys_[HASH_SIZE];
    uint16_t codes_[HASH_SIZE];
    uint32_t generation_[HASH_SIZE];
    uint32_t current_generation_ = 0;
};
