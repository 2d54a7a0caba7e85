#include "formats/tiff/tiff_lzw.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t CLEAR = 256;
constexpr uint32_t END = 257;
constexpr uint32_t FIRST_FREE = 258;
constexpr uint32_t TABLE_SIZE = 4096;

}  // namespace

// --- decoding ----------------------------------------------------------------------------------

void TiffLzwDecoder::start(const uint8_t* data, size_t size, bool old_style)
{
    old_style_ = old_style;
    if (old_style) lsb_ = LsbBitReader(data, size);
    else msb_ = MsbBitReader(data, size);
    started_ = false;
    ended_ = false;
    pending_at_ = pending_size_ = 0;
    for (uint32_t i = 0; i < 256; ++i) table_[i] = Entry{0, 1, static_cast<uint8_t>(i), static_cast<uint8_t>(i)};
    reset_table();
}

void TiffLzwDecoder::reset_table()
{
    width_ = 9;
    next_ = FIRST_FREE;
    previous_ = -1;
}

uint32_t TiffLzwDecoder::next_code()
{
    if (old_style_) {
        const uint32_t c = lsb_.read(width_);
        return lsb_.overrun() ? END : c;
    }
    const uint32_t c = msb_.read(width_);
    return msb_.overrun() ? END : c;
}

// Writes the string of `code`; what does not fit into `room` waits in pending_.
size_t TiffLzwDecoder::emit(uint16_t code, uint8_t* out, size_t room)
{
    const size_t length = table_[code].length;
    uint8_t* target = length <= room ? out : pending_;
    uint16_t c = code;
    for (size_t i = length; i-- > 0;) {
        target[i] = table_[c].last;
        c = table_[c].prefix;
    }
    if (length <= room) return length;
    std::memcpy(out, pending_, room);
    pending_at_ = room;
    pending_size_ = length;
    return room;
}

Status TiffLzwDecoder::read(uint8_t* out, size_t size)
{
    size_t done = 0;
    if (pending_at_ < pending_size_) {
        const size_t n = std::min(size, pending_size_ - pending_at_);
        std::memcpy(out, pending_ + pending_at_, n);
        pending_at_ += n;
        done = n;
    }
    const uint32_t early = old_style_ ? 0 : 1;
    while (done < size) {
        if (ended_) return STATUS_INCOMPLETE;
        uint32_t code = next_code();
        if (!started_) {
            if (code != CLEAR) return STATUS_BAD_HEADER;
            started_ = true;
        }
        if (code == END) {
            ended_ = true;
            return STATUS_INCOMPLETE;
        }
        if (code == CLEAR) {
            reset_table();
            continue;
        }
        if (previous_ < 0) {
            if (code >= 256) {
                ended_ = true;
                return STATUS_INCOMPLETE;
            }
            out[done++] = static_cast<uint8_t>(code);
            previous_ = static_cast<int32_t>(code);
            continue;
        }
        const Entry& prev = table_[previous_];
        uint8_t first;
        if (code < next_) first = table_[code].first;
        else if (code == next_ && next_ < TABLE_SIZE) first = prev.first;
        else {
            ended_ = true;
            return STATUS_INCOMPLETE;
        }
        if (next_ < TABLE_SIZE) {
            // The new entry (previous string and the first byte of this one) may be this very code.
            table_[next_] = Entry{static_cast<uint16_t>(previous_), static_cast<uint16_t>(prev.length + 1), prev.first, first};
            ++next_;
            if (next_ + early >= (1u << width_) && width_ < 12) ++width_;
        }
        done += emit(static_cast<uint16_t>(code), out + done, size - done);
        previous_ = static_cast<int32_t>(code);
    }
    return STATUS_OK;
}

// --- encoding ----------------------------------------------------------------------------------

void TiffLzwEncoder::start(std::vector<uint8_t>* out)
{
    out_ = out;
    bits_ = 0;
    bit_count_ = 0;
    current_ = -1;
    std::memset(generation_, 0, sizeof generation_);
    current_generation_ = 1;
    width_ = 9;
    next_ = FIRST_FREE;
    put(CLEAR);
}

void TiffLzwEncoder::put(uint32_t code)
{
    bits_ = (bits_ << width_) | code;
    bit_count_ += width_;
    while (bit_count_ >= 8) {
        bit_count_ -= 8;
        out_->push_back(static_cast<uint8_t>(bits_ >> bit_count_));
    }
    bits_ &= (uint64_t{1} << bit_count_) - 1;
}

// A reader's table lags one entry behind ours (it adds an entry only once it has read the code
// after), and it widens one code early by its count: by ours, exactly at 512, 1024 and 2048.
void TiffLzwEncoder::widen() { width_ = next_ >= 2048 ? 12 : next_ >= 1024 ? 11 : next_ >= 512 ? 10 : 9; }

void TiffLzwEncoder::clear_table()
{
    ++current_generation_;
    next_ = FIRST_FREE;
}

void TiffLzwEncoder::write(const uint8_t* data, size_t size)
{
    size_t i = 0;
    if (current_ < 0 && size > 0) current_ = data[i++];
    for (; i < size; ++i) {
        const uint8_t byte = data[i];
        const uint32_t key = static_cast<uint32_t>(current_) << 8 | byte;
        uint32_t h = (key * 2654435761u) >> (32 - 14);
        bool found = false;
        while (generation_[h] == current_generation_) {
            if (keys_[h] == key) {
                found = true;
                break;
            }
            h = (h + 1) & (HASH_SIZE - 1);
        }
        if (found) {
            current_ = codes_[h];
            continue;
        }
        put(static_cast<uint32_t>(current_));
        keys_[h] = key;
        codes_[h] = static_cast<uint16_t>(next_);
        generation_[h] = current_generation_;
        ++next_;
        widen();
        if (next_ >= 4093) {
            put(CLEAR);
            clear_table();
            width_ = 9;
        }
        current_ = byte;
    }
}

void TiffLzwEncoder::finish()
{
    if (current_ >= 0) {
        put(static_cast<uint32_t>(current_));
        // A reader adds an entry for this code too, and may widen before End.
        ++next_;
        widen();
    }
    put(END);
    if (bit_count_ > 0) out_->push_back(static_cast<uint8_t>(bits_ << (8 - bit_count_)));
    bits_ = 0;
    bit_count_ = 0;
}
