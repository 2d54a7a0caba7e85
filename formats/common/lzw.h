// Lempel-Ziv-Welch coding as GIF and TIFF use it: codes of 3 to 12 bits after a root alphabet of
// 2 to 8 bits (9 is tolerated when decoding: literals above 255 then count as bad codes), a Clear
// code 2^root and an End code one above it. The variants differ in the order codes are packed
// into bytes and in when the code width grows: TIFF's coder switches one code early.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int LZW_MAX_BITS = 12;
constexpr int LZW_TABLE_SIZE = 1 << LZW_MAX_BITS;

enum LzwBitOrder : uint8_t {
    LZW_LSB_FIRST,  // GIF, and TIFF files of the first LZW flavour
    LZW_MSB_FIRST,  // TIFF
};

struct LzwParams {
    int root_bits;         // 2..8 (GIF: the minimum code size; TIFF: 8)
    LzwBitOrder order;
    bool early_change;     // the width grows when the next code is one below 2^width (TIFF)
};

inline constexpr LzwParams LZW_GIF(int root_bits) { return {root_bits, LZW_LSB_FIRST, false}; }
inline constexpr LzwParams LZW_TIFF = {8, LZW_MSB_FIRST, true};

// The library-wide switch that must be on for LZW data to be read or written (on by default).
bool lzw_enabled();
void lzw_set_enabled(bool on);

// --- decoding -------------------------------------------------------------------------------

enum LzwResult : uint8_t {
    LZW_OUTPUT_FULL,  // the output asked for is complete; more may follow
    LZW_NEED_INPUT,   // every input byte is used: give more, then call again
    LZW_END,          // the End code was read
    LZW_BAD_CODE,     // a code beyond the table (or a literal the alphabet lacks): the data is corrupt
};

// Input arrives in pieces of any size (GIF sub-blocks, TIFF strips) and output is asked for in
// pieces of any size (rows): a string that does not fit the output waits for the next call.
// The record is large (about 30 KB); keep it on the heap.
struct LzwDecoder {
    LzwParams params;
    const uint8_t* in;
    const uint8_t* in_end;
    uint64_t bit_buffer;
    int bit_count;
    int width;      // bits of the next code
    int next_code;  // the next table entry
    int previous;   // the last code read, -1 right after a Clear
    int pending_at;  // unread part of `pending`
    int pending_end;
    bool ended;
    bool broken;
    uint16_t prefix[LZW_TABLE_SIZE];
    uint16_t length[LZW_TABLE_SIZE];  // 0: no string (Clear, End, unused literals)
    uint8_t suffix[LZW_TABLE_SIZE];
    uint8_t first[LZW_TABLE_SIZE];
    uint8_t pending[LZW_TABLE_SIZE];
    // Where each code's string last landed in the output of the current call, valid when its
    // stamp is the call's: such strings are copied whole instead of walked back byte by byte.
    uint32_t call;
    uint32_t position[LZW_TABLE_SIZE];
    uint32_t stamp[LZW_TABLE_SIZE];
};

// False when the parameters are out of range.
bool lzw_decoder_init(LzwDecoder* d, const LzwParams& params);
// The next piece of input; the bytes must stay in place until the decoder asks for more.
void lzw_decoder_input(LzwDecoder* d, const uint8_t* data, size_t size);
// Writes up to `size` bytes into `out` and says why it stopped; `*produced` tells how many.
// After LZW_END or LZW_BAD_CODE every further call gives the same result and no bytes.
LzwResult lzw_decode(LzwDecoder* d, uint8_t* out, size_t size, size_t* produced);

// --- encoding -------------------------------------------------------------------------------

// Receives the coded bytes in pieces; false stops the encoder (a write failed).
using LzwSink = bool (*)(void* data, const uint8_t* bytes, size_t size);

constexpr int LZW_HASH_SIZE = 5003;  // a prime a little above the table, as the classic coders use
constexpr int LZW_OUT_SIZE = 4096;

struct LzwEncoder {
    LzwParams params;
    LzwSink sink;
    void* sink_data;
    uint64_t bit_buffer;
    int bit_count;
    int width;
    int next_code;
    int limit;     // the table is full when next_code reaches it
    int current;   // the code of the string read so far, -1 before the first pixel
    bool failed;
    size_t out_used;
    uint32_t hash_key[LZW_HASH_SIZE];  // (prefix << 8 | pixel) + 1; 0 marks a free slot
    uint16_t hash_code[LZW_HASH_SIZE];
    uint8_t out[LZW_OUT_SIZE];
};

// Starts a stream: the first code written is a Clear. False when the parameters are out of range.
bool lzw_encoder_init(LzwEncoder* e, const LzwParams& params, LzwSink sink, void* sink_data);
// Codes `count` pixels; values are taken modulo 2^root so that a stray index cannot make a code
// the decoder would misread. False once the sink has refused bytes.
bool lzw_encode(LzwEncoder* e, const uint8_t* pixels, size_t count);
// Writes the last string and the End code and hands every byte to the sink.
bool lzw_encode_finish(LzwEncoder* e);
