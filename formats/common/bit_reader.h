// Bit readers over a block of bytes in memory, most or least significant bit first. Reading past
// the end yields zero bits and sets `overrun`, so a decoder can run its table lookups without a
// bounds test on every code and check once per row whether it ran out of data.
#pragma once

#include <cstddef>
#include <cstdint>

enum class BitOrder { msb_first, lsb_first };

template <BitOrder order>
class BitReader {
public:
    BitReader() = default;
    BitReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    // The next `n` bits (n from 1 to 25) without consuming them.
    uint32_t peek(int n)
    {
        refill();
        if constexpr (order == BitOrder::msb_first) return static_cast<uint32_t>(bits_ >> (64 - n));
        else return static_cast<uint32_t>(bits_ & ((uint64_t{1} << n) - 1));
    }
    void skip(int n)
    {
        refill();
        if constexpr (order == BitOrder::msb_first) bits_ <<= n;
        else bits_ >>= n;
        count_ -= n;
        if (count_ < 0) {
            overrun_ = true;
            count_ = 0;
        }
    }
    uint32_t read(int n)
    {
        const uint32_t v = peek(n);
        skip(n);
        return v;
    }
    // Drops the bits left in the current byte.
    void align_to_byte() { skip(count_ & 7); }
    // Bits consumed so far.
    uint64_t position() const { return static_cast<uint64_t>(next_) * 8 - static_cast<uint64_t>(count_); }
    bool at_end() const { return next_ >= size_ && count_ == 0; }
    bool overrun() const { return overrun_ || position() > static_cast<uint64_t>(size_) * 8; }

private:
    void refill()
    {
        while (count_ <= 56) {
            const uint64_t byte = next_ < size_ ? data_[next_] : 0;
            ++next_;
            if constexpr (order == BitOrder::msb_first) bits_ |= byte << (56 - count_);
            else bits_ |= byte << count_;
            count_ += 8;
        }
    }

    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t next_ = 0;     // bytes taken into bits_ (may run past size_: those are zeros)
    uint64_t bits_ = 0;   // the next bits: left-aligned most significant first, else right-aligned
    int count_ = 0;       // valid bits in bits_
    bool overrun_ = false;
};

// Fax codes, TIFF's LZW, ThunderScan.
using MsbBitReader = BitReader<BitOrder::msb_first>;
// GIF's LZW and the old TIFF LZW.
using LsbBitReader = BitReader<BitOrder::lsb_first>;

// Bit order of a byte reversed: TIFF's fill order 2 stores the first pixel in the lowest bit.
extern const uint8_t bit_reversed[256];
void reverse_bits(uint8_t* data, size_t size);
