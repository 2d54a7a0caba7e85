// Writing one TIFF page: the header, one directory in ascending tag order with its values after
// it, then the strips, each coded on its own; strip offsets and byte counts (and the JPEG tables,
// written last) are patched into the places kept for them.
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include <zlib.h>

#include "formats/common/lzw.h"
#include "formats/common/packbits.h"
#include "formats/common/writable_types.h"
#include "formats/jpeg/jpeg_glue.h"
#include "formats/tiff/tiff_ccitt.h"
#include "formats/tiff/tiff_codec.h"
#include "formats/tiff/tiff_page.h"

namespace {

constexpr char SOFTWARE[] = "Lumeva picture library";

struct Layout {
    int bits = 8;        // per pixel
    int samples = 1;
    uint32_t compression = TIFF_COMPRESSION_NONE;
    bool predictor = false;
    bool two_d = false;  // T4 options bit 0
    uint32_t photometric = PHOTOMETRIC_MIN_IS_BLACK;
    uint32_t rows_per_strip = 1;
    uint32_t strips = 1;
    const char* label = "TIFF";
};

Layout layout_for(const SaveContext* ctx)
{
    Layout l;
    const uint32_t type = ctx->type;
    const bool bilevel = type == PIXEL_BINARY;
    const bool indexed = type == PIXEL_GREY || type == PIXEL_COLORS;
    if (bilevel) l.bits = 1;
    else if (indexed) l.bits = ctx->colour_used <= 4 ? 2 : ctx->colour_used <= 16 ? 4 : 8;
    else l.bits = ctx->bits >= 32 || ctx->cmyk ? 32 : 24;
    l.samples = l.bits <= 8 ? 1 : l.bits / 8;

    const uint16_t option = tiff_save_compression(ctx->params);
    switch (option) {
    case TIFF_SAVE_PACKBITS: l.compression = TIFF_COMPRESSION_PACKBITS; l.label = "TIFF PackBits"; break;
    case TIFF_SAVE_LZW: l.compression = TIFF_COMPRESSION_LZW; l.label = "TIFF LZW"; break;
    case TIFF_SAVE_LZW_PREDICTOR:
        l.compression = TIFF_COMPRESSION_LZW;
        l.label = "TIFF LZW";
        // Differencing only helps continuous tones: never bilevel, and indexed pictures at 8 bits.
        if (!bilevel && (!indexed || l.bits == 8)) {
            l.predictor = true;
            l.label = "TIFF LZW+Prediction";
        }
        break;
    case TIFF_SAVE_DEFLATE: l.compression = TIFF_COMPRESSION_DEFLATE; l.label = "TIFF DEFLATE"; break;
    case TIFF_SAVE_G3_OR_JPEG:
        if (bilevel) {
            l.compression = TIFF_COMPRESSION_CCITT_T4;
            l.label = "TIFF CCITT G3";
        } else if ((type == PIXEL_GREY && l.bits == 8) || (l.bits == 24 && !ctx->cmyk)) {
            l.compression = TIFF_COMPRESSION_JPEG;
            l.label = "TIFF JPEG";
        }
        break;
    case TIFF_SAVE_G3_2D:
        if (bilevel) {
            l.compression = TIFF_COMPRESSION_CCITT_T4;
            l.two_d = true;
            l.label = "TIFF CCITT G3-2D";
        }
        break;
    case TIFF_SAVE_G4:
        if (bilevel) {
            l.compression = TIFF_COMPRESSION_CCITT_T6;
            l.label = "TIFF CCITT G4";
        }
        break;
    default: break;
    }
    const bool fax = l.compression == TIFF_COMPRESSION_CCITT_T4 || l.compression == TIFF_COMPRESSION_CCITT_T6;
    if (type == PIXEL_COLORS) l.photometric = PHOTOMETRIC_PALETTE;
    else if (bilevel) l.photometric = fax ? PHOTOMETRIC_MIN_IS_WHITE : PHOTOMETRIC_MIN_IS_BLACK;
    else if (indexed) l.photometric = PHOTOMETRIC_MIN_IS_BLACK;
    else if (ctx->cmyk) l.photometric = PHOTOMETRIC_SEPARATED;
    else l.photometric = PHOTOMETRIC_RGB;

    const uint32_t height = static_cast<uint32_t>(ctx->height);
    uint32_t rows = static_cast<uint32_t>(65536 / std::max(ctx->width, 1) / l.bits);
    if (tiff_save_one_strip(ctx->params)) rows = height;
    if (l.compression == TIFF_COMPRESSION_JPEG) rows = 16;
    if (l.compression == TIFF_COMPRESSION_PACKBITS) rows = 1;
    l.rows_per_strip = std::clamp<uint32_t>(rows, 1, height);
    l.strips = (height + l.rows_per_strip - 1) / l.rows_per_strip;
    return l;
}

// The file being written, little-endian, with a failure mark instead of checks at every call.
struct Out {
    Stream* s;
    bool failed = false;

    int64_t tell() { return stream_tell(s); }
    void bytes(const void* p, size_t n) { failed |= n && stream_write(s, p, n) != n; }
    void u16(uint16_t v) { failed |= stream_write_u16le(s, v) != 0; }
    void u32(uint32_t v) { failed |= stream_write_u32le(s, v) != 0; }
    void even()
    {
        if (tell() & 1) bytes("", 1);
    }
    void at(int64_t offset) { failed |= stream_seek(s, offset, SEEK_SET) != 0; }
};

struct Entry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    std::vector<uint8_t> data;  // the value as stored, little-endian
    int64_t field_at = 0;       // where its 4-byte field lands
    int64_t value_at = 0;       // where its value lands (the field itself for short values)
};

std::vector<uint8_t> shorts(std::initializer_list<uint32_t> v)
{
    std::vector<uint8_t> d;
    for (uint32_t x : v) {
        d.push_back(static_cast<uint8_t>(x));
        d.push_back(static_cast<uint8_t>(x >> 8));
    }
    return d;
}

std::vector<uint8_t> longs(uint32_t value, uint32_t count)
{
    std::vector<uint8_t> d;
    for (uint32_t i = 0; i < count; ++i)
        for (int b = 0; b < 4; ++b) d.push_back(static_cast<uint8_t>(value >> (8 * b)));
    return d;
}

std::vector<uint8_t> rational(uint32_t numerator)
{
    std::vector<uint8_t> d = longs(numerator, 1);
    const std::vector<uint8_t> one = longs(1, 1);
    d.insert(d.end(), one.begin(), one.end());
    return d;
}

std::vector<uint8_t> text(const char* t)
{
    std::vector<uint8_t> d(t, t + std::strlen(t));
    d.push_back(0);
    return d;
}

// The directory with its values; returns the entries so that strips and tables can be patched.
std::vector<Entry> build_entries(const SaveContext* ctx, const Layout& l)
{
    std::vector<Entry> e;
    auto add = [&](uint16_t tag, uint16_t type, uint32_t count, std::vector<uint8_t> data) {
        e.push_back(Entry{tag, type, count, std::move(data)});
    };
    const uint32_t w = static_cast<uint32_t>(ctx->width), h = static_cast<uint32_t>(ctx->height);
    const bool wide = w > 65535 || h > 65535;
    add(TAG_IMAGE_WIDTH, wide ? TIFF_LONG : TIFF_SHORT, 1, wide ? longs(w, 1) : shorts({w}));
    add(TAG_IMAGE_LENGTH, wide ? TIFF_LONG : TIFF_SHORT, 1, wide ? longs(h, 1) : shorts({h}));
    const uint32_t per_sample = static_cast<uint32_t>(l.bits / l.samples);
    std::vector<uint8_t> bits;
    for (int i = 0; i < l.samples; ++i) {
        const std::vector<uint8_t> one = shorts({per_sample});
        bits.insert(bits.end(), one.begin(), one.end());
    }
    add(TAG_BITS_PER_SAMPLE, TIFF_SHORT, static_cast<uint32_t>(l.samples), bits);
    add(TAG_COMPRESSION, TIFF_SHORT, 1, shorts({l.compression}));
    add(TAG_PHOTOMETRIC, TIFF_SHORT, 1, shorts({l.photometric}));
    if (ctx->comment && ctx->comment[0]) add(TAG_IMAGE_DESCRIPTION, TIFF_ASCII, 0, text(ctx->comment));
    add(TAG_STRIP_OFFSETS, TIFF_LONG, l.strips, longs(0, l.strips));
    add(TAG_SAMPLES_PER_PIXEL, TIFF_SHORT, 1, shorts({static_cast<uint32_t>(l.samples)}));
    add(TAG_ROWS_PER_STRIP, TIFF_LONG, 1, longs(l.rows_per_strip, 1));
    add(TAG_STRIP_BYTE_COUNTS, TIFF_LONG, l.strips, longs(0, l.strips));
    const uint32_t xd = ctx->x_dpi > 0 ? static_cast<uint32_t>(ctx->x_dpi) : 72;
    const uint32_t yd = ctx->y_dpi > 0 ? static_cast<uint32_t>(ctx->y_dpi) : 72;
    add(TAG_X_RESOLUTION, TIFF_RATIONAL, 1, rational(xd));
    add(TAG_Y_RESOLUTION, TIFF_RATIONAL, 1, rational(yd));
    add(TAG_PLANAR_CONFIGURATION, TIFF_SHORT, 1, shorts({1}));
    if (l.two_d) add(TAG_T4_OPTIONS, TIFF_LONG, 1, longs(1, 1));
    add(TAG_RESOLUTION_UNIT, TIFF_SHORT, 1, shorts({2}));
    add(TAG_SOFTWARE, TIFF_ASCII, 0, text(SOFTWARE));
    // Readers know the predictor only with the compressions that can use it.
    if (l.compression == TIFF_COMPRESSION_LZW || l.compression == TIFF_COMPRESSION_DEFLATE)
        add(TAG_PREDICTOR, TIFF_SHORT, 1, shorts({l.predictor ? 2u : 1u}));
    if (l.photometric == PHOTOMETRIC_PALETTE) {
        const int n = 1 << l.bits;
        std::vector<uint8_t> map;
        const uint8_t* cm = ctx->picture->colour_map;
        for (int c = 0; c < 3; ++c)
            for (int i = 0; i < n; ++i) {
                const uint32_t v = cm ? cm[256 * c + i] * 257u : static_cast<uint32_t>(i * 65535 / (n - 1));
                const std::vector<uint8_t> one = shorts({v});
                map.insert(map.end(), one.begin(), one.end());
            }
        add(TAG_COLOR_MAP, TIFF_SHORT, static_cast<uint32_t>(3 * n), map);
    }
    // Four samples of colour carry an alpha channel, not premultiplied.
    if (l.samples == 4 && l.photometric == PHOTOMETRIC_RGB) add(TAG_EXTRA_SAMPLES, TIFF_SHORT, 1, shorts({2}));
    if (l.compression == TIFF_COMPRESSION_JPEG) add(TAG_JPEG_TABLES, TIFF_UNDEFINED, 0, longs(0, 1));
    for (Entry& x : e)
        if (x.type == TIFF_ASCII) x.count = static_cast<uint32_t>(x.data.size());
    return e;
}

Entry* find(std::vector<Entry>& entries, uint16_t tag)
{
    for (Entry& x : entries)
        if (x.tag == tag) return &x;
    return nullptr;
}

void write_directory(Out& o, std::vector<Entry>& entries)
{
    o.at(0);
    o.bytes("II", 2);
    o.u16(42);
    o.u32(8);
    const int64_t values_at = 8 + 2 + 12 * static_cast<int64_t>(entries.size()) + 4;
    int64_t next_value = values_at;
    o.u16(static_cast<uint16_t>(entries.size()));
    for (Entry& x : entries) {
        o.u16(x.tag);
        o.u16(x.type);
        o.u32(x.count);
        x.field_at = o.tell();
        x.value_at = x.data.size() <= 4 ? x.field_at : next_value;
        if (x.data.size() <= 4) {
            std::vector<uint8_t> field = x.data;
            field.resize(4, 0);
            o.bytes(field.data(), 4);
        } else {
            o.u32(static_cast<uint32_t>(next_value));
            next_value += static_cast<int64_t>((x.data.size() + 1) & ~size_t{1});
        }
    }
    o.u32(0);  // no further page
    for (Entry& x : entries) {
        if (x.data.size() <= 4) continue;
        o.bytes(x.data.data(), x.data.size());
        o.even();
    }
}

// --- strip coders ------------------------------------------------------------------------------

bool append_bytes(void* data, const uint8_t* bytes, size_t size)
{
    static_cast<std::vector<uint8_t>*>(data)->insert(static_cast<std::vector<uint8_t>*>(data)->end(), bytes, bytes + size);
    return true;
}

// Differencing from the right end, so that each byte still sees its untouched left neighbour.
void difference(uint8_t* row, int width, int samples)
{
    for (int64_t i = int64_t{width} * samples - 1; i >= samples; --i) row[i] = static_cast<uint8_t>(row[i] - row[i - samples]);
}

struct JpegStrips {
    JpegError error;
    jpeg_compress_struct cinfo;
    JpegStreamDestination destination;
    bool created = false;
};

// libjpeg jumps back here on errors; the frame holds plain data only.
Status jpeg_strip(JpegStrips* j, SaveContext* ctx, const SaveHeader& h, uint32_t rows, bool first)
{
    if (setjmp(j->error.jump)) return STATUS_CODEC_ERROR;
    j->cinfo.image_height = rows;
    if (first) jpeg_suppress_tables(&j->cinfo, TRUE);
    jpeg_start_compress(&j->cinfo, FALSE);
    for (uint32_t r = 0; r < rows; ++r) {
        LUM_TRY(save_get_lines(ctx, -1, 1));
        JSAMPROW row = h.line_buffer;
        jpeg_write_scanlines(&j->cinfo, &row, 1);
    }
    jpeg_finish_compress(&j->cinfo);
    return j->destination.failed ? STATUS_WRITE_FAILED : STATUS_OK;
}

Status jpeg_setup(JpegStrips* j, const SaveContext* ctx, Stream* s, bool grey)
{
    j->cinfo.err = jpeg_writing_errors(&j->error);
    if (setjmp(j->error.jump)) return STATUS_CODEC_ERROR;
    jpeg_create_compress(&j->cinfo);
    j->created = true;
    jpeg_stream_destination(&j->cinfo, &j->destination, s);
    j->cinfo.image_width = static_cast<JDIMENSION>(ctx->width);
    j->cinfo.image_height = 16;
    j->cinfo.input_components = grey ? 1 : 3;
    j->cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&j->cinfo);
    // The page says RGB, so the data must be RGB: no conversion to YCbCr inside the strips.
    if (!grey) jpeg_set_colorspace(&j->cinfo, JCS_RGB);
    j->cinfo.write_JFIF_header = FALSE;
    j->cinfo.write_Adobe_marker = FALSE;
    jpeg_set_quality(&j->cinfo, ctx->params.quality > 100 ? 100 : ctx->params.quality, TRUE);
    return STATUS_OK;
}

Status jpeg_tables(JpegStrips* j)
{
    if (setjmp(j->error.jump)) return STATUS_CODEC_ERROR;
    jpeg_suppress_tables(&j->cinfo, FALSE);
    jpeg_write_tables(&j->cinfo);
    return j->destination.failed ? STATUS_WRITE_FAILED : STATUS_OK;
}

Status write_strips(Out& o, SaveContext* ctx, const Layout& l, const SaveHeader& h, std::vector<uint32_t>* offsets,
                    std::vector<uint32_t>* counts, JpegStrips* jpeg)
{
    const int width = ctx->width;
    const size_t row_bytes = static_cast<size_t>((int64_t{width} * l.bits + 7) / 8);
    std::vector<uint8_t> coded;
    std::vector<uint8_t> rows;
    std::unique_ptr<LzwEncoder> lzw;
    FaxEncoder fax;
    z_stream zs{};
    bool zs_ready = false;
    if (l.compression == TIFF_COMPRESSION_LZW) {
        if (!lzw_enabled()) return STATUS_TYPE_UNSUPPORTED;
        lzw.reset(new LzwEncoder);
    }
    if (l.compression == TIFF_COMPRESSION_DEFLATE) {
        if (deflateInit(&zs, Z_DEFAULT_COMPRESSION) != Z_OK) return STATUS_CODEC_ERROR;
        zs_ready = true;
    }
    Status status = STATUS_OK;
    const uint32_t height = static_cast<uint32_t>(ctx->height);
    for (uint32_t strip = 0; strip < l.strips && status == STATUS_OK; ++strip) {
        const uint32_t first = strip * l.rows_per_strip;
        const uint32_t n = std::min(l.rows_per_strip, height - first);
        o.even();
        const int64_t start = o.tell();
        coded.clear();
        if (l.compression == TIFF_COMPRESSION_JPEG) {
            status = jpeg_strip(jpeg, ctx, h, n, strip == 0);
        } else if (l.compression == TIFF_COMPRESSION_NONE) {
            for (uint32_t r = 0; r < n && status == STATUS_OK; ++r) {
                status = save_get_lines(ctx, -1, 1);
                o.bytes(h.line_buffer, row_bytes);
            }
        } else if (l.compression == TIFF_COMPRESSION_PACKBITS) {
            coded.resize(packbits_bound(row_bytes));
            for (uint32_t r = 0; r < n && status == STATUS_OK; ++r) {
                status = save_get_lines(ctx, -1, 1);
                o.bytes(coded.data(), packbits_encode(h.line_buffer, row_bytes, coded.data()));
            }
        } else if (l.compression == TIFF_COMPRESSION_LZW) {
            lzw_encoder_init(lzw.get(), LZW_TIFF, append_bytes, &coded);
            for (uint32_t r = 0; r < n && status == STATUS_OK; ++r) {
                status = save_get_lines(ctx, -1, 1);
                if (l.predictor) difference(h.line_buffer, width, l.samples);
                lzw_encode(lzw.get(), h.line_buffer, row_bytes);
            }
            lzw_encode_finish(lzw.get());
            o.bytes(coded.data(), coded.size());
        } else if (l.compression == TIFF_COMPRESSION_DEFLATE) {
            deflateReset(&zs);
            rows.resize(row_bytes);
            coded.resize(deflateBound(&zs, static_cast<uLong>(row_bytes * n)) + 64);
            zs.next_out = coded.data();
            zs.avail_out = static_cast<uInt>(coded.size());
            for (uint32_t r = 0; r < n && status == STATUS_OK; ++r) {
                status = save_get_lines(ctx, -1, 1);
                zs.next_in = h.line_buffer;
                zs.avail_in = static_cast<uInt>(row_bytes);
                if (deflate(&zs, r + 1 == n ? Z_FINISH : Z_NO_FLUSH) == Z_STREAM_ERROR) status = STATUS_CODEC_ERROR;
            }
            o.bytes(coded.data(), coded.size() - zs.avail_out);
        } else {
            fax.start(l.compression == TIFF_COMPRESSION_CCITT_T6 ? FaxCoding::Group4 : FaxCoding::Group3, l.two_d, width);
            for (uint32_t r = 0; r < n && status == STATUS_OK; ++r) {
                status = save_get_lines(ctx, -1, 1);
                fax.encode_row(h.line_buffer);
            }
            fax.finish();
            o.bytes(fax.bytes().data(), fax.bytes().size());
        }
        offsets->push_back(static_cast<uint32_t>(start));
        counts->push_back(static_cast<uint32_t>(o.tell() - start));
        if (o.failed) status = STATUS_WRITE_FAILED;
    }
    if (zs_ready) deflateEnd(&zs);
    return status;
}

void patch_longs(Out& o, const Entry& x, const std::vector<uint32_t>& values)
{
    const int64_t back = o.tell();
    o.at(x.value_at);
    for (uint32_t v : values) o.u32(v);
    o.at(back);
}

Status write_file(Stream* s, SaveContext* ctx)
{
    const Layout l = layout_for(ctx);
    Out o{s};
    std::vector<Entry> entries = build_entries(ctx, l);
    write_directory(o, entries);
    if (o.failed) return STATUS_WRITE_FAILED;

    SaveHeader h;
    save_header_init(&h);
    h.planes = 1;
    h.bits_per_plane = static_cast<int16_t>(l.bits);
    // Fax codes count black runs as set bits; other bilevel pages say black is zero.
    const bool fax = l.compression == TIFF_COMPRESSION_CCITT_T4 || l.compression == TIFF_COMPRESSION_CCITT_T6;
    if (l.bits == 1 && fax) h.layout_flags |= SAVE_LAYOUT_BILEVEL_SET_BLACK;
    std::snprintf(h.label, sizeof h.label, "%s", l.label);

    JpegStrips jpeg;
    Status status = STATUS_OK;
    if (l.compression == TIFF_COMPRESSION_JPEG) status = jpeg_setup(&jpeg, ctx, s, l.bits == 8);
    if (status == STATUS_OK) status = save_begin(ctx, &h);
    std::vector<uint32_t> offsets, counts;
    if (status == STATUS_OK) {
        status = write_strips(o, ctx, l, h, &offsets, &counts, &jpeg);
        save_end(ctx);
    }
    if (status == STATUS_OK && l.compression == TIFF_COMPRESSION_JPEG) {
        o.even();
        const int64_t start = o.tell();
        status = jpeg_tables(&jpeg);
        Entry* tables = find(entries, TAG_JPEG_TABLES);
        const int64_t end = o.tell();
        o.at(tables->field_at - 4);
        o.u32(static_cast<uint32_t>(end - start));
        o.u32(static_cast<uint32_t>(start));
        o.at(end);
    }
    if (jpeg.created) jpeg_destroy_compress(&jpeg.cinfo);
    if (status != STATUS_OK) return status;
    patch_longs(o, *find(entries, TAG_STRIP_OFFSETS), offsets);
    patch_longs(o, *find(entries, TAG_STRIP_BYTE_COUNTS), counts);
    return o.failed ? STATUS_WRITE_FAILED : STATUS_OK;
}

}  // namespace

void tiff_writable_types(WritableType list[FORMAT_WRITABLE_MAX])
{
    writable_types_set(list, {PIXEL_ANY32, PIXEL_ANY24, PIXEL_GREY, PIXEL_COLORS, PIXEL_BINARY, PIXEL_CMYK});
}

Status tiff_write(const char* file_name, SaveContext* ctx)
{
    Stream* out = stream_open(file_name, STREAM_WRITE);
    if (!out) return STATUS_CREATE_FAILED;
    Status status;
    try {
        status = write_file(out, ctx);
    } catch (const std::bad_alloc&) {
        status = STATUS_NO_MEMORY;
    }
    if (status == STATUS_OK && std::fflush(out->file) != 0) status = STATUS_WRITE_FAILED;
    stream_close(out);
    return status;
}
