#include "formats/tiff/tiff_strips.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "formats/common/bit_reader.h"
#include "formats/common/packbits.h"
#include "formats/common/stream_bytes.h"
#include "formats/tiff/tiff_jpeg.h"

namespace {

// --- ThunderScan: 4-bit grey, one byte code at a time ------------------------------------------

Status thunderscan_row(const uint8_t* data, size_t size, size_t* at, int width, uint8_t* out)
{
    static const int two_bit[4] = {0, 1, 0, -1};           // 2 means no pixel
    static const int three_bit[8] = {0, 1, 2, 3, 0, -3, -2, -1};  // 4 means no pixel
    std::memset(out, 0, static_cast<size_t>((width + 1) / 2));
    int last = 0, x = 0;
    auto put = [&](int v) {
        if (x >= width) return;
        out[x >> 1] = static_cast<uint8_t>(out[x >> 1] | ((x & 1) ? v : v << 4));
        ++x;
    };
    while (x < width) {
        if (*at >= size) return STATUS_INCOMPLETE;
        const int n = data[(*at)++];
        switch (n & 0xC0) {
        case 0x00:
            for (int i = n & 0x3F; i > 0 && x < width; --i) put(last);
            break;
        case 0x40:
            for (int shift = 4; shift >= 0; shift -= 2) {
                const int d = (n >> shift) & 3;
                if (d == 2) continue;
                last = (last + two_bit[d]) & 0xF;
                put(last);
            }
            break;
        case 0x80:
            for (int shift = 3; shift >= 0; shift -= 3) {
                const int d = (n >> shift) & 7;
                if (d == 4) continue;
                last = (last + three_bit[d]) & 0xF;
                put(last);
            }
            break;
        default:
            last = n & 0xF;
            put(last);
            break;
        }
    }
    return STATUS_OK;
}

// --- SGI LogL and LogLuv: run-length byte planes, then luminance and chromaticity --------------

Status sgilog_planes(const uint8_t* data, size_t size, size_t* at, int width, int planes, uint32_t* values)
{
    std::fill(values, values + width, 0u);
    for (int plane = 0; plane < planes; ++plane) {
        const int shift = 8 * (planes - 1 - plane);
        int i = 0;
        while (i < width) {
            if (*at >= size) return STATUS_INCOMPLETE;
            int count = data[(*at)++];
            if (count >= 128) {  // a run of the next byte
                count -= 126;
                if (*at >= size) return STATUS_INCOMPLETE;
                const uint32_t b = uint32_t{data[(*at)++]} << shift;
                while (count-- > 0 && i < width) values[i++] |= b;
            } else {
                while (count-- > 0 && i < width) {
                    if (*at >= size) return STATUS_INCOMPLETE;
                    values[i++] |= uint32_t{data[(*at)++]} << shift;
                }
            }
        }
    }
    return STATUS_OK;
}

constexpr double kLn2 = 0.69314718055994530942;

double log_luminance(uint32_t p16)
{
    const int le = static_cast<int>(p16 & 0x7FFF);
    if (le == 0) return 0.0;
    const double y = std::exp(kLn2 / 256.0 * (le + 0.5) - kLn2 * 64.0);
    return (p16 & 0x8000) ? -y : y;
}

// Linear light to a byte, with a gamma of 2 so that dark values keep some steps.
uint8_t display_byte(double v)
{
    if (v <= 0) return 0;
    if (v >= 1) return 255;
    return static_cast<uint8_t>(std::min(255.0, 256.0 * std::sqrt(v)));
}

void logluv_to_rgb(uint32_t p, uint8_t* rgb)
{
    const double L = log_luminance(p >> 16);
    if (L <= 0) {
        rgb[0] = rgb[1] = rgb[2] = 0;
        return;
    }
    const double u = (((p >> 8) & 0xFF) + 0.5) / 410.0, v = ((p & 0xFF) + 0.5) / 410.0;
    const double s = 1.0 / (6.0 * u - 16.0 * v + 12.0);
    const double x = 9.0 * u * s, y = 4.0 * v * s;
    const double X = x / y * L, Y = L, Z = (1.0 - x - y) / y * L;
    rgb[0] = display_byte(2.690 * X - 1.276 * Y - 0.414 * Z);
    rgb[1] = display_byte(-1.022 * X + 1.978 * Y + 0.044 * Z);
    rgb[2] = display_byte(0.061 * X - 0.224 * Y + 1.163 * Z);
}

// --- old-style JPEG: a stream put together from the tables in tags and the chunk's scan data ---

void marker(std::vector<uint8_t>& s, uint8_t code, size_t length)
{
    s.push_back(0xFF);
    s.push_back(code);
    s.push_back(static_cast<uint8_t>(length >> 8));
    s.push_back(static_cast<uint8_t>(length));
}

void old_jpeg_header(const TiffPage& p, int width, int height, int components, std::vector<uint8_t>& s)
{
    s = {0xFF, 0xD8};
    for (size_t i = 0; i < p.old_jpeg_q.size(); ++i) {
        marker(s, 0xDB, 67);
        s.push_back(static_cast<uint8_t>(i));
        s.insert(s.end(), p.old_jpeg_q[i].begin(), p.old_jpeg_q[i].end());
    }
    for (int ac = 0; ac < 2; ++ac) {
        const auto& tables = ac ? p.old_jpeg_ac : p.old_jpeg_dc;
        for (size_t i = 0; i < tables.size(); ++i) {
            marker(s, 0xC4, 3 + tables[i].size());
            s.push_back(static_cast<uint8_t>(ac << 4 | i));
            s.insert(s.end(), tables[i].begin(), tables[i].end());
        }
    }
    if (p.old_jpeg_restart) {
        marker(s, 0xDD, 4);
        s.push_back(static_cast<uint8_t>(p.old_jpeg_restart >> 8));
        s.push_back(static_cast<uint8_t>(p.old_jpeg_restart));
    }
    const bool subsampled = p.photometric == PHOTOMETRIC_YCBCR && components == 3;
    marker(s, 0xC0, 8 + 3 * static_cast<size_t>(components));
    s.push_back(8);
    s.push_back(static_cast<uint8_t>(height >> 8));
    s.push_back(static_cast<uint8_t>(height));
    s.push_back(static_cast<uint8_t>(width >> 8));
    s.push_back(static_cast<uint8_t>(width));
    s.push_back(static_cast<uint8_t>(components));
    auto last = [](const std::vector<std::vector<uint8_t>>& t, int c) { return static_cast<uint8_t>(std::min<size_t>(static_cast<size_t>(c), t.empty() ? 0 : t.size() - 1)); };
    for (int c = 0; c < components; ++c) {
        s.push_back(static_cast<uint8_t>(c + 1));
        s.push_back(c == 0 && subsampled ? static_cast<uint8_t>(std::min<uint32_t>(p.subsampling_h, 4) << 4 | std::min<uint32_t>(p.subsampling_v, 4)) : 0x11);
        s.push_back(last(p.old_jpeg_q, c));
    }
    marker(s, 0xDA, 6 + 2 * static_cast<size_t>(components));
    s.push_back(static_cast<uint8_t>(components));
    for (int c = 0; c < components; ++c) {
        s.push_back(static_cast<uint8_t>(c + 1));
        s.push_back(static_cast<uint8_t>(last(p.old_jpeg_dc, c) << 4 | last(p.old_jpeg_ac, c)));
    }
    s.push_back(0);
    s.push_back(63);
    s.push_back(0);
}

}  // namespace

int tiff_jpeg_components(const TiffPage& page)
{
    if (page.photometric == PHOTOMETRIC_YCBCR || page.photometric == PHOTOMETRIC_RGB) return 3;
    if (page.photometric == PHOTOMETRIC_SEPARATED) return 4;
    return page.samples >= 3 ? static_cast<int>(std::min<uint32_t>(page.samples, 4)) : 1;
}

ChunkDecoder::ChunkDecoder() = default;

ChunkDecoder::~ChunkDecoder()
{
    if (zlib_ready_) inflateEnd(&zlib_);
    tiff_jpeg_destroy(jpeg_);
}

Status ChunkDecoder::begin_page(const TiffPage& page, int chunk_width, int chunk_height, size_t unit_bytes)
{
    page_ = &page;
    chunk_width_ = chunk_width;
    chunk_height_ = chunk_height;
    unit_bytes_ = unit_bytes;
    if ((page.compression == TIFF_COMPRESSION_JPEG || page.compression == TIFF_COMPRESSION_OJPEG) && !jpeg_) {
        Status s = STATUS_OK;
        jpeg_ = tiff_jpeg_create(page, &s);
        if (!jpeg_) return s;
    }
    if ((page.compression == TIFF_COMPRESSION_DEFLATE || page.compression == TIFF_COMPRESSION_ADOBE_DEFLATE) && !zlib_ready_) {
        zlib_ = z_stream{};
        if (inflateInit(&zlib_) != Z_OK) return STATUS_NO_MEMORY;
        zlib_ready_ = true;
    }
    return STATUS_OK;
}

Status ChunkDecoder::fetch(Stream* stream, uint64_t offset, uint64_t byte_count, std::vector<uint8_t>* data, size_t head)
{
    const uint64_t size = static_cast<uint64_t>(std::max<int64_t>(stream->size, 0));
    if (offset >= size) return STATUS_INCOMPLETE;
    const uint64_t n = std::min(byte_count, size - offset);
    data->resize(head + static_cast<size_t>(n));
    LUM_TRY(stream_seek_inside(stream, static_cast<int64_t>(offset)));
    if (stream_read(stream, data->data() + head, data->size() - head) != data->size() - head) return STATUS_INCOMPLETE;
    return STATUS_OK;
}

Status ChunkDecoder::open(Stream* stream, uint64_t offset, uint64_t byte_count)
{
    stream_ = stream;
    const uint32_t compression = page_->compression;
    if (offset >= static_cast<uint64_t>(stream->size)) return STATUS_INCOMPLETE;
    if (compression == TIFF_COMPRESSION_NONE) return stream_seek_inside(stream, static_cast<int64_t>(offset));

    const int components = static_cast<int>(unit_bytes_ / static_cast<size_t>(chunk_width_));
    size_t head = 0;
    if (compression == TIFF_COMPRESSION_OJPEG) {
        old_jpeg_header(*page_, chunk_width_, chunk_height_, components, data_);
        head = data_.size();
    }
    LUM_TRY(fetch(stream, offset, byte_count, &data_, head));
    if (compression == TIFF_COMPRESSION_OJPEG) {
        data_.push_back(0xFF);
        data_.push_back(0xD9);
        return tiff_jpeg_open(jpeg_, data_.data(), data_.size(), chunk_width_, components);
    }
    return start();
}

Status ChunkDecoder::open_fetched(std::vector<uint8_t>* data)
{
    data_.swap(*data);
    return start();
}

Status ChunkDecoder::start()
{
    const uint32_t compression = page_->compression;
    if (page_->fill_order == 2) reverse_bits(data_.data(), data_.size());
    at_ = 0;
    switch (compression) {
    case TIFF_COMPRESSION_LZW: {
        // Every strip opens with Clear (256 in 9 bits). The first LZW flavour packed its codes
        // least significant bit first, which puts 00 01 in front.
        const uint8_t* d = data_.data();
        const bool old_style = data_.size() >= 2 && d[0] == 0 && (d[1] & 1);
        const bool clear_first = data_.size() >= 2 && d[0] == 0x80 && !(d[1] & 0x80);
        if (!old_style && !clear_first) return STATUS_BAD_HEADER;
        if (!lzw_) lzw_.reset(new LzwDecoder);
        lzw_decoder_init(lzw_.get(), old_style ? LZW_GIF(8) : LZW_TIFF);
        lzw_decoder_input(lzw_.get(), data_.data(), data_.size());
        break;
    }
    case TIFF_COMPRESSION_DEFLATE:
    case TIFF_COMPRESSION_ADOBE_DEFLATE:
    {
        // A well-formed two-byte header is checked here and the deflate data inflated bare: the
        // checksum at the end of the stream is never reached (decoding stops when the strip is
        // full), so keeping it up to date along the way would be work for nothing.
        const uint8_t* d = data_.data();
        const bool plain_header = data_.size() >= 2 && (d[0] & 0x0F) == 8 && (d[0] >> 4) <= 7 &&
                                  ((d[0] << 8) | d[1]) % 31 == 0 && !(d[1] & 0x20);
        inflateReset2(&zlib_, plain_header ? -15 : 15);
        const size_t skip = plain_header ? 2 : 0;
        zlib_.next_in = data_.data() + skip;
        zlib_.avail_in = static_cast<uInt>(std::min<size_t>(data_.size() - skip, UINT32_MAX));
        zlib_resynced_ = false;
    }
        break;
    case TIFF_COMPRESSION_CCITT_RLE:
        fax_.start(data_.data(), data_.size(), FaxCoding::ModifiedHuffman, false, chunk_width_);
        break;
    case TIFF_COMPRESSION_CCITT_T4:
        fax_.start(data_.data(), data_.size(), FaxCoding::Group3, (page_->t4_options & 1) != 0, chunk_width_);
        break;
    case TIFF_COMPRESSION_CCITT_T6:
        fax_.start(data_.data(), data_.size(), FaxCoding::Group4, true, chunk_width_);
        break;
    case TIFF_COMPRESSION_JPEG:
        // The unit is a row of the samples the plan expects; the decoder pads or drops to fit it.
        return tiff_jpeg_open(jpeg_, data_.data(), data_.size(), chunk_width_,
                              static_cast<int>(unit_bytes_ / static_cast<size_t>(chunk_width_)));
    default:
        break;
    }
    return STATUS_OK;
}

Status ChunkDecoder::read_plain(uint8_t* out)
{
    const size_t got = stream_read(stream_, out, unit_bytes_);
    if (got < unit_bytes_) {
        std::memset(out + got, 0, unit_bytes_ - got);
        return STATUS_INCOMPLETE;
    }
    if (page_->fill_order == 2) reverse_bits(out, unit_bytes_);
    return STATUS_OK;
}

Status ChunkDecoder::next_unit(uint8_t* out)
{
    switch (page_->compression) {
    case TIFF_COMPRESSION_NONE: return read_plain(out);
    case TIFF_COMPRESSION_PACKBITS: {
        PackBitsResult r{};
        const Status s = packbits_decode(data_.data() + at_, data_.size() - at_, out, unit_bytes_, &r);
        at_ += r.consumed;
        return s;
    }
    case TIFF_COMPRESSION_LZW: {
        size_t produced = 0;
        const LzwResult r = lzw_decode(lzw_.get(), out, unit_bytes_, &produced);
        if (r == LZW_OUTPUT_FULL && produced == unit_bytes_) return STATUS_OK;
        std::memset(out + produced, 0, unit_bytes_ - produced);
        return STATUS_INCOMPLETE;
    }
    case TIFF_COMPRESSION_DEFLATE:
    case TIFF_COMPRESSION_ADOBE_DEFLATE: {
        zlib_.next_out = out;
        zlib_.avail_out = static_cast<uInt>(unit_bytes_);
        while (zlib_.avail_out > 0) {
            const int r = inflate(&zlib_, Z_SYNC_FLUSH);
            if (r == Z_OK) continue;
            if (r == Z_STREAM_END) break;
            if (r == Z_DATA_ERROR && !zlib_resynced_) {
                // One damaged spot is skipped over; the rest of the strip may still be good.
                zlib_resynced_ = true;
                if (inflateSync(&zlib_) == Z_OK) continue;
            }
            return STATUS_INCOMPLETE;
        }
        return zlib_.avail_out == 0 ? STATUS_OK : STATUS_INCOMPLETE;
    }
    case TIFF_COMPRESSION_CCITT_RLE:
    case TIFF_COMPRESSION_CCITT_T4:
    case TIFF_COMPRESSION_CCITT_T6: return fax_.decode_row(out);
    case TIFF_COMPRESSION_JPEG:
    case TIFF_COMPRESSION_OJPEG: return tiff_jpeg_row(jpeg_, out);
    case TIFF_COMPRESSION_THUNDERSCAN: return thunderscan_row(data_.data(), data_.size(), &at_, chunk_width_, out);
    case TIFF_COMPRESSION_SGILOG: {
        std::vector<uint32_t> values(static_cast<size_t>(chunk_width_));
        const bool luv = page_->photometric == PHOTOMETRIC_LOGLUV;
        const Status s = sgilog_planes(data_.data(), data_.size(), &at_, chunk_width_, luv ? 4 : 2, values.data());
        for (int x = 0; x < chunk_width_; ++x) {
            if (luv) logluv_to_rgb(values[x], out + 3 * x);
            else out[x] = display_byte(log_luminance(values[x]));
        }
        return s;
    }
    default: return STATUS_INCOMPLETE;
    }
}
