#include "formats/tiff/tiff_ccitt.h"

#include <algorithm>
#include <cstring>

namespace {

struct Code {
    uint16_t code;
    uint8_t length;
};

// Terminating codes (runs 0 to 63), then make-up codes (64 to 1728 by 64).
constexpr Code WHITE_TERMINATING[64] = {
    {0x35, 8}, {0x07, 6}, {0x07, 4}, {0x08, 4}, {0x0B, 4}, {0x0C, 4}, {0x0E, 4}, {0x0F, 4},
    {0x13, 5}, {0x14, 5}, {0x07, 5}, {0x08, 5}, {0x08, 6}, {0x03, 6}, {0x34, 6}, {0x35, 6},
    {0x2A, 6}, {0x2B, 6}, {0x27, 7}, {0x0C, 7}, {0x08, 7}, {0x17, 7}, {0x03, 7}, {0x04, 7},
    {0x28, 7}, {0x2B, 7}, {0x13, 7}, {0x24, 7}, {0x18, 7}, {0x02, 8}, {0x03, 8}, {0x1A, 8},
    {0x1B, 8}, {0x12, 8}, {0x13, 8}, {0x14, 8}, {0x15, 8}, {0x16, 8}, {0x17, 8}, {0x28, 8},
    {0x29, 8}, {0x2A, 8}, {0x2B, 8}, {0x2C, 8}, {0x2D, 8}, {0x04, 8}, {0x05, 8}, {0x0A, 8},
    {0x0B, 8}, {0x52, 8}, {0x53, 8}, {0x54, 8}, {0x55, 8}, {0x24, 8}, {0x25, 8}, {0x58, 8},
    {0x59, 8}, {0x5A, 8}, {0x5B, 8}, {0x4A, 8}, {0x4B, 8}, {0x32, 8}, {0x33, 8}, {0x34, 8},
};
constexpr Code WHITE_MAKEUP[27] = {
    {0x1B, 5}, {0x12, 5}, {0x17, 6}, {0x37, 7}, {0x36, 8}, {0x37, 8}, {0x64, 8}, {0x65, 8}, {0x68, 8},
    {0x67, 8}, {0xCC, 9}, {0xCD, 9}, {0xD2, 9}, {0xD3, 9}, {0xD4, 9}, {0xD5, 9}, {0xD6, 9}, {0xD7, 9},
    {0xD8, 9}, {0xD9, 9}, {0xDA, 9}, {0xDB, 9}, {0x98, 9}, {0x99, 9}, {0x9A, 9}, {0x18, 6}, {0x9B, 9},
};
constexpr Code BLACK_TERMINATING[64] = {
    {0x37, 10}, {0x02, 3},  {0x03, 2},  {0x02, 2},  {0x03, 3},  {0x03, 4},  {0x02, 4},  {0x03, 5},
    {0x05, 6},  {0x04, 6},  {0x04, 7},  {0x05, 7},  {0x07, 7},  {0x04, 8},  {0x07, 8},  {0x18, 9},
    {0x17, 10}, {0x18, 10}, {0x08, 10}, {0x67, 11}, {0x68, 11}, {0x6C, 11}, {0x37, 11}, {0x28, 11},
    {0x17, 11}, {0x18, 11}, {0xCA, 12}, {0xCB, 12}, {0xCC, 12}, {0xCD, 12}, {0x68, 12}, {0x69, 12},
    {0x6A, 12}, {0x6B, 12}, {0xD2, 12}, {0xD3, 12}, {0xD4, 12}, {0xD5, 12}, {0xD6, 12}, {0xD7, 12},
    {0x6C, 12}, {0x6D, 12}, {0xDA, 12}, {0xDB, 12}, {0x54, 12}, {0x55, 12}, {0x56, 12}, {0x57, 12},
    {0x64, 12}, {0x65, 12}, {0x52, 12}, {0x53, 12}, {0x24, 12}, {0x37, 12}, {0x38, 12}, {0x27, 12},
    {0x28, 12}, {0x58, 12}, {0x59, 12}, {0x2B, 12}, {0x2C, 12}, {0x5A, 12}, {0x66, 12}, {0x67, 12},
};
constexpr Code BLACK_MAKEUP[27] = {
    {0x0F, 10}, {0xC8, 12}, {0xC9, 12}, {0x5B, 12}, {0x33, 12}, {0x34, 12}, {0x35, 12},
    {0x6C, 13}, {0x6D, 13}, {0x4A, 13}, {0x4B, 13}, {0x4C, 13}, {0x4D, 13}, {0x72, 13},
    {0x73, 13}, {0x74, 13}, {0x75, 13}, {0x76, 13}, {0x77, 13}, {0x52, 13}, {0x53, 13},
    {0x54, 13}, {0x55, 13}, {0x5A, 13}, {0x5B, 13}, {0x64, 13}, {0x65, 13},
};
// Make-up codes shared by both colours, 1792 to 2560 by 64.
constexpr Code EXTENDED_MAKEUP[13] = {
    {0x08, 11}, {0x0C, 11}, {0x0D, 11}, {0x12, 12}, {0x13, 12}, {0x14, 12}, {0x15, 12},
    {0x16, 12}, {0x17, 12}, {0x1C, 12}, {0x1D, 12}, {0x1E, 12}, {0x1F, 12},
};

constexpr int LOOKUP_BITS = 13;
constexpr int16_t RUN_INVALID = -1;
constexpr int16_t RUN_EOL = -2;

struct RunEntry {
    int16_t run;     // run length, RUN_INVALID or RUN_EOL
    uint8_t length;  // bits of the code
};

struct RunTables {
    RunEntry colour[2][1 << LOOKUP_BITS];

    RunTables()
    {
        for (auto& table : colour)
            for (RunEntry& e : table) e = RunEntry{RUN_INVALID, 0};
        auto add = [&](int c, Code code, int run) {
            const int shift = LOOKUP_BITS - code.length;
            const int first = code.code << shift;
            for (int i = 0; i < (1 << shift); ++i) colour[c][first + i] = RunEntry{static_cast<int16_t>(run), code.length};
        };
        for (int i = 0; i < 64; ++i) {
            add(0, WHITE_TERMINATING[i], i);
            add(1, BLACK_TERMINATING[i], i);
        }
        for (int i = 0; i < 27; ++i) {
            add(0, WHITE_MAKEUP[i], 64 * (i + 1));
            add(1, BLACK_MAKEUP[i], 64 * (i + 1));
        }
        for (int i = 0; i < 13; ++i) {
            add(0, EXTENDED_MAKEUP[i], 1792 + 64 * i);
            add(1, EXTENDED_MAKEUP[i], 1792 + 64 * i);
        }
        add(0, Code{1, 12}, RUN_EOL);
        add(1, Code{1, 12}, RUN_EOL);
    }
};

const RunTables& run_tables()
{
    static const RunTables tables;
    return tables;
}

Code terminating(int colour, int run) { return colour ? BLACK_TERMINATING[run] : WHITE_TERMINATING[run]; }
Code makeup(int colour, int run)  // run: a multiple of 64 from 64 to 2560
{
    if (run >= 1792) return EXTENDED_MAKEUP[(run - 1792) / 64];
    return colour ? BLACK_MAKEUP[run / 64 - 1] : WHITE_MAKEUP[run / 64 - 1];
}

enum class Mode { Pass, Horizontal, Vertical, Invalid, EndOfLine };

// Sets the bits of [from, to) in a packed row.
void fill_black(uint8_t* row, int from, int to)
{
    if (from >= to) return;
    int first = from >> 3, last = (to - 1) >> 3;
    const uint8_t head = static_cast<uint8_t>(0xFF >> (from & 7));
    const uint8_t tail = static_cast<uint8_t>(0xFF << (7 - ((to - 1) & 7)));
    if (first == last) {
        row[first] |= head & tail;
        return;
    }
    row[first] |= head;
    if (last > first + 1) std::memset(row + first + 1, 0xFF, static_cast<size_t>(last - first - 1));
    row[last] |= tail;
}

void draw_row(const std::vector<int>& changes, int width, uint8_t* row)
{
    std::memset(row, 0, static_cast<size_t>((width + 7) / 8));
    // Changes alternate white to black and back; the list ends with width twice.
    for (size_t i = 0; i + 1 < changes.size(); i += 2) {
        const int from = std::min(changes[i], width), to = std::min(changes[i + 1], width);
        fill_black(row, from, to);
        if (changes[i] >= width) break;
    }
}

// b1: the first changing position of the reference row after a0 whose new colour differs from
// a0's colour; `j` walks forward over the list as a0 advances.
int find_b1(const std::vector<int>& ref, size_t* j, int a0, int colour)
{
    size_t k = *j > 1 ? *j - 2 : 0;  // a vertical step to the left may put a0 back a little
    while (k < ref.size() - 2 && ref[k] <= a0) ++k;
    // Changes at even indices turn black: they are opposite to a white a0.
    if ((k & 1) != static_cast<size_t>(colour) && k < ref.size() - 2) ++k;
    *j = k;
    return ref[k];
}

}  // namespace

void fax_changes(const uint8_t* row, int width, std::vector<int>* changes)
{
    changes->clear();
    int colour = 0;
    int x = 0;
    while (x < width) {
        // Skip whole bytes of the current colour quickly.
        const uint8_t same = colour ? 0xFF : 0x00;
        if ((x & 7) == 0 && x + 8 <= width && row[x >> 3] == same) {
            x += 8;
            continue;
        }
        const int bit = (row[x >> 3] >> (7 - (x & 7))) & 1;
        if (bit != colour) {
            changes->push_back(x);
            colour = bit;
        }
        ++x;
    }
    changes->push_back(width);
    changes->push_back(width);
}

// --- decoding ----------------------------------------------------------------------------------

void FaxDecoder::start(const uint8_t* data, size_t size, FaxCoding coding, bool two_dimensional, int width)
{
    bits_ = MsbBitReader(data, size);
    coding_ = coding;
    two_d_ = coding == FaxCoding::Group4 || (coding == FaxCoding::Group3 && two_dimensional);
    width_ = width;
    rows_ = 0;
    reference_.assign({width, width});  // an all-white row above the first
    current_.clear();
    current_.reserve(static_cast<size_t>(width) + 4);
    reference_.reserve(static_cast<size_t>(width) + 4);
    run_tables();
}

bool FaxDecoder::read_run(int colour, int* run)
{
    const RunEntry* table = run_tables().colour[colour];
    int total = 0;
    for (;;) {
        const RunEntry e = table[bits_.peek(LOOKUP_BITS)];
        if (e.run < 0 || bits_.overrun()) return false;
        bits_.skip(e.length);
        total += e.run;
        if (total > width_ + 2560) return false;
        if (e.run < 64) break;
    }
    *run = total;
    return true;
}

bool FaxDecoder::decode_1d()
{
    int x = 0, colour = 0;
    while (x < width_) {
        int run;
        if (!read_run(colour, &run)) return false;
        x += run;
        if (x > width_) return false;
        current_.push_back(x);
        colour ^= 1;
    }
    // A row that ends black still closes with a change at the width; drop the duplicate.
    if (!current_.empty() && current_.back() == width_) current_.pop_back();
    return true;
}

bool FaxDecoder::decode_2d()
{
    int a0 = -1, colour = 0;
    size_t j = 0;
    while (a0 < width_) {
        const uint32_t p = bits_.peek(7);
        if (bits_.overrun()) return false;
        const int b1 = find_b1(reference_, &j, a0, colour);
        if (p & 0x40) {  // 1: V0
            bits_.skip(1);
            a0 = b1;
        } else if ((p >> 4) == 3 || (p >> 4) == 2) {  // 011: VR1, 010: VL1
            bits_.skip(3);
            a0 = (p >> 4) == 3 ? b1 + 1 : b1 - 1;
        } else if ((p >> 4) == 1) {  // 001: horizontal
            bits_.skip(3);
            int run1, run2;
            const int start = a0 < 0 ? 0 : a0;
            if (!read_run(colour, &run1) || !read_run(colour ^ 1, &run2)) return false;
            const int a1 = start + run1, a2 = a1 + run2;
            if (a2 > width_) return false;
            current_.push_back(a1);
            current_.push_back(a2);
            a0 = a2;
            continue;  // the colour is the same after two changes
        } else if ((p >> 3) == 1) {  // 0001: pass
            bits_.skip(4);
            const int b2 = reference_[std::min(j + 1, reference_.size() - 1)];
            a0 = b2;
            continue;
        } else if ((p >> 1) == 3 || (p >> 1) == 2) {  // 000011: VR2, 000010: VL2
            bits_.skip(6);
            a0 = (p >> 1) == 3 ? b1 + 2 : b1 - 2;
        } else if (p == 3 || p == 2) {  // 0000011: VR3, 0000010: VL3
            bits_.skip(7);
            a0 = p == 3 ? b1 + 3 : b1 - 3;
        } else {
            return false;  // extensions and end-of-line codes inside a row
        }
        // Vertical modes: a1 becomes a0 and the colour turns.
        const int last = current_.empty() ? -1 : current_.back();
        if (a0 > width_ || a0 < 0 || a0 < last) return false;
        current_.push_back(a0);
        colour ^= 1;
    }
    while (!current_.empty() && current_.back() >= width_) current_.pop_back();
    return true;
}

Status FaxDecoder::decode_row(uint8_t* row)
{
    current_.clear();
    bool one_d = !two_d_;
    if (coding_ == FaxCoding::ModifiedHuffman) {
        bits_.align_to_byte();
    } else if (coding_ == FaxCoding::Group3) {
        // Fill bits and end-of-line codes before the row.
        for (int guard = 0; guard < (1 << 20); ++guard) {
            const uint32_t next = bits_.peek(12);
            if (bits_.overrun()) break;
            if (next == 1) bits_.skip(12);
            else if (next == 0) bits_.skip(1);
            else break;
        }
        if (two_d_) one_d = bits_.read(1) == 1;
    }
    const bool ok = one_d ? decode_1d() : decode_2d();
    // Rows decoded only in part are still drawn: they are what the file holds.
    current_.push_back(width_);
    current_.push_back(width_);
    draw_row(current_, width_, row);
    std::swap(reference_, current_);
    ++rows_;
    if (!ok || bits_.overrun()) return STATUS_INCOMPLETE;
    return STATUS_OK;
}

// --- encoding ----------------------------------------------------------------------------------

void FaxEncoder::start(FaxCoding coding, bool two_dimensional, int width)
{
    coding_ = coding;
    two_d_ = coding == FaxCoding::Group4 || (coding == FaxCoding::Group3 && two_dimensional);
    width_ = width;
    rows_ = 0;
    reference_.assign({width, width});
    out_.clear();
    pending_ = 0;
    pending_bits_ = 0;
}

void FaxEncoder::put(uint32_t code, int length)
{
    pending_ = (pending_ << length) | (code & ((1u << length) - 1));
    pending_bits_ += length;
    while (pending_bits_ >= 8) {
        pending_bits_ -= 8;
        out_.push_back(static_cast<uint8_t>(pending_ >> pending_bits_));
    }
    pending_ &= (1u << pending_bits_) - 1;
}

void FaxEncoder::put_run(int colour, int run)
{
    while (run >= 2560 + 64) {
        const Code c = makeup(colour, 2560);
        put(c.code, c.length);
        run -= 2560;
    }
    if (run >= 64) {
        const Code c = makeup(colour, run / 64 * 64);
        put(c.code, c.length);
        run %= 64;
    }
    const Code c = terminating(colour, run);
    put(c.code, c.length);
}

void FaxEncoder::encode_1d()
{
    int x = 0, colour = 0;
    for (size_t i = 0; x < width_; ++i) {
        const int next = std::min(current_[i], width_);
        put_run(colour, next - x);
        x = next;
        colour ^= 1;
    }
}

void FaxEncoder::encode_2d()
{
    int a0 = -1, colour = 0;
    size_t i = 0, j = 0;  // i: the current row's list position of a1
    while (a0 < width_) {
        while (i < current_.size() - 2 && current_[i] <= a0) ++i;
        const int a1 = current_[i];
        const int b1 = find_b1(reference_, &j, a0, colour);
        const int b2 = reference_[std::min(j + 1, reference_.size() - 1)];
        if (b2 < a1) {
            put(1, 4);  // pass
            a0 = b2;
        } else if (a1 - b1 >= -3 && a1 - b1 <= 3) {
            switch (a1 - b1) {
            case 0: put(1, 1); break;
            case 1: put(3, 3); break;
            case 2: put(3, 6); break;
            case 3: put(3, 7); break;
            case -1: put(2, 3); break;
            case -2: put(2, 6); break;
            default: put(2, 7); break;
            }
            a0 = a1;
            colour ^= 1;
        } else {
            const int a2 = current_[std::min(i + 1, current_.size() - 1)];
            put(1, 3);  // horizontal
            put_run(colour, a1 - (a0 < 0 ? 0 : a0));
            put_run(colour ^ 1, a2 - a1);
            a0 = a2;
        }
    }
}

void FaxEncoder::encode_row(const uint8_t* row)
{
    fax_changes(row, width_, &current_);
    if (coding_ == FaxCoding::Group3) {
        put(1, 12);  // end of line
        // The first row of a strip has nothing above it that a decoder would know.
        const bool one_d = !two_d_ || rows_ == 0;
        if (two_d_) put(one_d ? 1 : 0, 1);
        if (one_d) encode_1d();
        else encode_2d();
    } else if (coding_ == FaxCoding::Group4) {
        encode_2d();
    } else {
        encode_1d();
        if (pending_bits_) put(0, 8 - pending_bits_);  // every row starts on a byte
    }
    std::swap(reference_, current_);
    ++rows_;
}

void FaxEncoder::finish()
{
    if (coding_ == FaxCoding::Group4) {
        put(1, 12);
        put(1, 12);
    }
    if (pending_bits_) put(0, 8 - pending_bits_);
}
