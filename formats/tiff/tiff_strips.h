// Decompression of one strip or tile at a time, unit by unit: a unit is one row of the chunk, or
// one row of sample blocks for subsampled YCbCr data. Compressed chunks are read into memory
// (never more than the file holds); uncompressed ones are read from the stream as they go.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <zlib.h>

#include "core/status.h"
#include "core/stream.h"
#include "formats/tiff/tiff_ccitt.h"
#include "formats/common/lzw.h"
#include "formats/tiff/tiff_page.h"

struct TiffJpeg;

// What the JPEG decoder delivers: 8-bit samples, this many per pixel.
int tiff_jpeg_components(const TiffPage& page);

class ChunkDecoder {
public:
    ChunkDecoder();
    ~ChunkDecoder();
    ChunkDecoder(const ChunkDecoder&) = delete;
    ChunkDecoder& operator=(const ChunkDecoder&) = delete;

    // Once per page. `unit_bytes` is what next_unit produces, `chunk_width` the pixels of a row
    // and `chunk_height` the rows of a whole chunk.
    Status begin_page(const TiffPage& page, int chunk_width, int chunk_height, size_t unit_bytes);
    Status open(Stream* stream, uint64_t offset, uint64_t byte_count);
    // A compressed chunk's bytes, read on one thread to be decoded on another (not old-style
    // JPEG, whose chunks need the page's tables in front); `head` bytes are left before them.
    static Status fetch(Stream* stream, uint64_t offset, uint64_t byte_count, std::vector<uint8_t>* data, size_t head = 0);
    // Opens a chunk fetched beforehand, taking its bytes (`data` gets a spent buffer back).
    Status open_fetched(std::vector<uint8_t>* data);
    Status next_unit(uint8_t* out);

private:
    Status start();
    Status read_plain(uint8_t* out);

    const TiffPage* page_ = nullptr;
    Stream* stream_ = nullptr;
    int chunk_width_ = 0;
    int chunk_height_ = 0;
    size_t unit_bytes_ = 0;
    std::vector<uint8_t> data_;  // the compressed chunk
    size_t at_ = 0;              // PackBits, ThunderScan, SGILog: next byte of data_
    std::unique_ptr<LzwDecoder> lzw_;
    FaxDecoder fax_;
    z_stream zlib_{};
    bool zlib_ready_ = false;
    bool zlib_resynced_ = false;
    TiffJpeg* jpeg_ = nullptr;
};
