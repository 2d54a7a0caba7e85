// Fax coding of bilevel rows: modified Huffman runs (one-dimensional), the two-dimensional
// modes relative to the row above, with or without end-of-line codes. Rows are packed bits with
// set bits black, the first pixel in the most significant bit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/status.h"
#include "formats/common/bit_reader.h"

enum class FaxCoding {
    ModifiedHuffman,  // one-dimensional rows, each starting on a byte boundary, no end-of-line codes
    Group3,           // end-of-line codes; two-dimensional rows when allowed (a tag bit per row)
    Group4,           // two-dimensional rows only, no end-of-line codes
};

class FaxDecoder {
public:
    // `data` must outlive the decoder; fill order is settled by the caller (bits reversed first).
    void start(const uint8_t* data, size_t size, FaxCoding coding, bool two_dimensional, int width);
    // Decodes the next row into `row` ((width + 7) / 8 bytes). STATUS_INCOMPLETE on an invalid
    // code or when the data ends; the row then holds what was decoded of it.
    Status decode_row(uint8_t* row);

private:
    bool read_run(int colour, int* run);
    bool decode_1d();
    bool decode_2d();

    MsbBitReader bits_;
    FaxCoding coding_ = FaxCoding::Group4;
    bool two_d_ = false;
    int width_ = 0;
    int rows_ = 0;
    std::vector<int> reference_;  // changing positions of the row above, ended by width twice
    std::vector<int> current_;
};

class FaxEncoder {
public:
    void start(FaxCoding coding, bool two_dimensional, int width);
    void encode_row(const uint8_t* row);
    // Ends the strip (Group 4: end-of-block code) and pads to a byte; the coded bytes stay in
    // bytes() until the next start.
    void finish();
    const std::vector<uint8_t>& bytes() const { return out_; }

private:
    void put(uint32_t code, int length);
    void put_run(int colour, int run);
    void encode_1d();
    void encode_2d();

    FaxCoding coding_ = FaxCoding::Group4;
    bool two_d_ = false;
    int width_ = 0;
    int rows_ = 0;
    std::vector<int> reference_;
    std::vector<int> current_;
    std::vector<uint8_t> out_;
    uint32_t pending_ = 0;
    int pending_bits_ = 0;
};

// The changing positions of a packed row (where the colour differs from the pixel before; the
// row starts white), ended by `width` twice.
void fax_changes(const uint8_t* row, int width, std::vector<int>* changes);
