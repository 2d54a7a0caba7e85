// Reading a TIFF page: the header and the chain of directories, the chosen page's tags, how its
// samples map onto the pipeline's line layouts, then its strips or tiles in file order. Tiles are
// gathered a row of tiles at a time into the pipeline's line buffer, which holds a tile's height.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "core/line_convert.h"
#include "core/parallel.h"
#include "formats/common/bit_reader.h"
#include "formats/common/lzw.h"
#include "formats/jpeg/jpeg.h"
#include "formats/tiff/tiff_codec.h"
#include "formats/tiff/tiff_directory.h"
#include "formats/tiff/tiff_page.h"
#include "formats/tiff/tiff_samples.h"
#include "formats/tiff/tiff_strips.h"

namespace {

constexpr uint64_t SIDE_LIMIT = 65535;
constexpr uint64_t TILE_SIDE_LIMIT = 1 << 16;
constexpr uint32_t SAMPLES_LIMIT = 64;
constexpr char BAD_LZW[] = "TIFF : Bad LZW codes !";

// How the page's pixels reach the pipeline.
enum class Delivery {
    Packed,  // the file's own packed samples (one sample of 1, 2, 4 or 8 bits)
    Bytes,   // one byte per kept channel, side by side
    Planar,  // one plane line per kept channel
};

struct ReadPlan {
    Delivery delivery = Delivery::Packed;
    int channels = 1;         // kept channels
    int pick[4] = {0, 1, 2, 3};  // sample of each kept channel
    SampleFormat source;      // a decoded chunk row
    bool ycbcr = false;       // convert YCbCr pixels
    bool blocks = false;      // subsampled YCbCr: units are rows of sample blocks
    bool ycbcr_planes = false;  // YCbCr in three planes, the chroma ones at the subsampled size
    bool rescale = false;     // 16-bit samples stretched over their own range (raw-sample files)
    bool direct = false;      // strips decode straight into the pipeline's line buffer
    bool plain_runs = false;  // uncompressed rows read many at a time, across adjacent strips
    int block_h = 1, block_v = 1;
    int predictor = 1;
    bool negative = false;    // white is zero
    bool palette = false;

    uint64_t chunk_width = 0, chunk_height = 0;
    uint64_t across = 0, down = 0;
    int file_planes = 1;  // chunk sets in the file
    int read_planes = 1;  // of which we read
    size_t unit_bytes = 0;
    int unit_rows = 1;
    size_t line_stride = 0;  // bytes of one pipeline line
};

bool fax(uint32_t compression)
{
    return compression == TIFF_COMPRESSION_CCITT_RLE || compression == TIFF_COMPRESSION_CCITT_T4 ||
           compression == TIFF_COMPRESSION_CCITT_T6;
}

bool accepted_photometric(uint32_t p)
{
    switch (p) {
    case PHOTOMETRIC_MIN_IS_WHITE: case PHOTOMETRIC_MIN_IS_BLACK: case PHOTOMETRIC_RGB: case PHOTOMETRIC_PALETTE:
    case PHOTOMETRIC_SEPARATED: case PHOTOMETRIC_YCBCR: case PHOTOMETRIC_CIELAB: case PHOTOMETRIC_LOGL:
    case PHOTOMETRIC_LOGLUV: return true;
    default: return false;
    }
}

// The pipeline's compression code; false for compressions we cannot read.
bool compression_code(uint32_t c, uint32_t t4_options, uint16_t* code, const char** text)
{
    *text = nullptr;
    switch (c) {
    case TIFF_COMPRESSION_NONE: *code = COMPRESSION_NONE; return true;
    case TIFF_COMPRESSION_PACKBITS: *code = COMPRESSION_RLE; return true;
    case TIFF_COMPRESSION_CCITT_RLE: *code = COMPRESSION_CCITT_RLE; return true;
    case TIFF_COMPRESSION_CCITT_T4: *code = (t4_options & 1) ? COMPRESSION_CCITT_G3_2D : COMPRESSION_CCITT_G3; return true;
    case TIFF_COMPRESSION_CCITT_T6: *code = COMPRESSION_CCITT_G4; return true;
    case TIFF_COMPRESSION_LZW: *code = COMPRESSION_LZW; return true;
    case TIFF_COMPRESSION_JPEG: case TIFF_COMPRESSION_OJPEG: *code = COMPRESSION_JPEG; return true;
    case TIFF_COMPRESSION_ADOBE_DEFLATE: case TIFF_COMPRESSION_DEFLATE: *code = COMPRESSION_ZIP; return true;
    case TIFF_COMPRESSION_THUNDERSCAN: *code = COMPRESSION_NONE; return true;
    case TIFF_COMPRESSION_SGILOG: *code = COMPRESSION_TEXT; *text = "SGILog"; return true;
    default: return false;
    }
}

uint16_t colour_model(uint32_t photometric)
{
    switch (photometric) {
    case PHOTOMETRIC_CIELAB: return 6;
    case PHOTOMETRIC_SEPARATED: return 3;
    case PHOTOMETRIC_YCBCR: return 4;
    case PHOTOMETRIC_LOGL: return 8;
    case PHOTOMETRIC_LOGLUV: return 7;
    default: return 0;
    }
}

uint16_t orientation_of(uint32_t tag)
{
    switch (tag) {
    case 2: return PICTURE_ORIGIN_RIGHT_TO_LEFT;
    case 3: return PICTURE_ORIGIN_BOTTOM | PICTURE_ORIGIN_RIGHT_TO_LEFT;
    case 4: return PICTURE_ORIGIN_BOTTOM;
    default: return 0;
    }
}

uint32_t dpi_of(double resolution, uint32_t unit)
{
    double dpi;
    if (unit == 1 || unit == 2) dpi = resolution;
    else if (unit == 3) dpi = resolution * 2.5380710659898478;
    else return 0;
    return dpi >= 1 && dpi < 65536 ? static_cast<uint32_t>(dpi) : 0;
}

// --- texts and resource blocks -----------------------------------------------------------------

void keep_text(const TiffFile& f, const TiffDirectory& d, LoadContext* ctx, uint16_t tag, const char* key)
{
    const TiffEntry* e = d.find(tag);
    std::vector<uint8_t> bytes;
    if (!e || !tiff_entry_bytes(f, *e, &bytes, 1 << 16) || bytes.empty()) return;
    const size_t length = std::find(bytes.begin(), bytes.end(), 0) - bytes.begin();
    if (length == 0) return;
    const std::string text(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
    if (key) load_add_text(ctx, key, text.c_str(), static_cast<int>(length));
    else load_set_comment(ctx, text.c_str(), static_cast<int>(length));
}

void keep_texts(const TiffFile& f, const TiffDirectory& d, const TiffPage& page, LoadContext* ctx)
{
    if (ctx->params.flags & LOAD_KEEP_COMMENT) {
        keep_text(f, d, ctx, TAG_IMAGE_DESCRIPTION, nullptr);
        static const struct {
            uint16_t tag;
            const char* key;
        } keyed[] = {{TAG_ARTIST, "Artist"}, {TAG_COPYRIGHT, "Copyright"}, {TAG_DATE_TIME, "DateTime"},
                     {TAG_HOST_COMPUTER, "HostComputer"}, {TAG_MAKE, "Make"}, {TAG_MODEL, "Model"},
                     {TAG_SOFTWARE, "Software"}, {TAG_DOCUMENT_NAME, "DocumentName"}};
        for (const auto& k : keyed) keep_text(f, d, ctx, k.tag, k.key);
    }
    if (page.photometric == PHOTOMETRIC_MIN_IS_WHITE) load_add_text(ctx, "Photometric Interpretation", "White=0", 0);
    else if (page.photometric == PHOTOMETRIC_MIN_IS_BLACK) load_add_text(ctx, "Photometric Interpretation", "Black=0", 0);
}

void keep_resources(const TiffFile& f, const TiffDirectory& d, LoadContext* ctx)
{
    if (!(ctx->params.flags & LOAD_KEEP_CHUNKS)) return;
    static const char signature[] = "Photoshop 3.0";
    for (uint16_t tag : {TAG_IPTC, TAG_PHOTOSHOP}) {
        const TiffEntry* e = d.find(tag);
        std::vector<uint8_t> data;
        if (!e || !tiff_entry_bytes(f, *e, &data, UINT32_MAX / 2) || data.empty()) continue;
        std::vector<uint8_t> block(signature, signature + sizeof signature);  // with its zero byte
        if (tag == TAG_IPTC) {
            // An image resource of its own: "8BIM", number 0x0404, an empty name, the size.
            const uint32_t n = static_cast<uint32_t>(data.size());
            const uint8_t head[] = {'8', 'B', 'I', 'M', 4, 4, 0, 0, static_cast<uint8_t>(n >> 24),
                                    static_cast<uint8_t>(n >> 16), static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)};
            block.insert(block.end(), head, head + sizeof head);
            block.insert(block.end(), data.begin(), data.end());
            if (n & 1) block.push_back(0);
        } else {
            block.insert(block.end(), data.begin(), data.end());
        }
        load_add_chunk(ctx, CHUNK_IPTC, block.data(), static_cast<uint32_t>(block.size()));
    }
}

// The page's Exif directory as the block a JPEG file would carry: "Exif", two zero bytes, then a
// small TIFF of the file's byte order whose first directory points at a copy of it.
void keep_exif(const TiffFile& f, const TiffDirectory& d, LoadContext* ctx)
{
    const TiffEntry* pointer = d.find(TAG_EXIF_IFD);
    if (!(ctx->params.flags & LOAD_KEEP_CHUNKS) || !pointer) return;
    TiffDirectory exif;
    if (tiff_read_directory(f, tiff_entry_number(f, pointer, 0), &exif) != STATUS_OK || f.big_tiff) return;
    std::vector<std::pair<TiffEntry, std::vector<uint8_t>>> kept;
    for (const TiffEntry& e : exif.entries) {
        std::vector<uint8_t> value;
        // Pointers to further directories would point nowhere in the copy.
        if (e.tag == 40965 || e.type == TIFF_IFD || !tiff_entry_bytes(f, e, &value, 1 << 16)) continue;
        if (value.size() != e.count * static_cast<uint64_t>(tiff_type_size(e.type))) continue;
        kept.emplace_back(e, std::move(value));
    }
    if (kept.empty()) return;
    std::vector<uint8_t> b = {'E', 'x', 'i', 'f', 0, 0};
    const size_t base = b.size();
    auto u16 = [&](uint32_t v) {
        if (f.big_endian) b.insert(b.end(), {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)});
        else b.insert(b.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)});
    };
    auto u32 = [&](uint32_t v) {
        if (f.big_endian) {
            u16(v >> 16);
            u16(v & 0xFFFF);
        } else {
            u16(v & 0xFFFF);
            u16(v >> 16);
        }
    };
    b.insert(b.end(), f.big_endian ? std::initializer_list<uint8_t>{'M', 'M'} : std::initializer_list<uint8_t>{'I', 'I'});
    u16(42);
    u32(8);
    u16(1);  // the first directory: the Exif pointer alone
    u16(TAG_EXIF_IFD);
    u16(TIFF_LONG);
    u32(1);
    u32(26);
    u32(0);
    uint32_t values_at = static_cast<uint32_t>(26 + 2 + 12 * kept.size() + 4);
    u16(static_cast<uint32_t>(kept.size()));
    std::vector<uint8_t> values;
    for (const auto& [e, value] : kept) {
        u16(e.tag);
        u16(e.type);
        u32(static_cast<uint32_t>(e.count));
        if (value.size() <= 4) {
            std::vector<uint8_t> field = value;
            field.resize(4, 0);
            b.insert(b.end(), field.begin(), field.end());
        } else {
            u32(values_at + static_cast<uint32_t>(values.size()));
            values.insert(values.end(), value.begin(), value.end());
            if (values.size() & 1) values.push_back(0);
        }
    }
    u32(0);
    b.insert(b.end(), values.begin(), values.end());
    if (b.size() - base > 65000) return;  // too large for the JPEG marker it is meant for
    load_add_chunk(ctx, CHUNK_EXIF, b.data(), static_cast<uint32_t>(b.size()));
}

// --- the plan ----------------------------------------------------------------------------------

Status plan_page(LoadContext* ctx, const TiffFile& file, const TiffPage& p, ReadPlan* plan, HeaderInfo* h)
{
    if (p.width < 1 || p.height < 1 || p.width > SIDE_LIMIT || p.height > SIDE_LIMIT)
        return load_fail(ctx, STATUS_BAD_HEADER, "TIFF : Bad picture's size !");
    if (!accepted_photometric(p.photometric))
        return load_fail(ctx, STATUS_BAD_HEADER, "TIFF : Bad photometric interpretation !");
    const uint32_t c = p.compression;
    uint16_t code;
    const char* text;
    if (!compression_code(p.compression, p.t4_options, &code, &text))
        return load_fail(ctx, STATUS_BAD_HEADER, "TIFF : Bad data compression algorithm !");
    if (c == TIFF_COMPRESSION_LZW && !lzw_enabled()) return load_fail(ctx, STATUS_BAD_HEADER, "TIFF : Bad compression (LZW) !");
    if (p.bits == 0 || p.samples == 0 || p.bits > 64 || p.samples > SAMPLES_LIMIT)
        return load_fail(ctx, STATUS_BAD_HEADER, "TIFF : Bad bits per sample !");
    const bool logluv = p.photometric == PHOTOMETRIC_LOGL || p.photometric == PHOTOMETRIC_LOGLUV;
    if (logluv != (p.compression == TIFF_COMPRESSION_SGILOG))
        return load_fail(ctx, STATUS_BAD_HEADER, "TIFF : Bad data compression algorithm !");

    const bool planar = p.planar == 2 && p.samples > 1;
    const bool jpeg = c == TIFF_COMPRESSION_JPEG || c == TIFF_COMPRESSION_OJPEG;
    plan->predictor = (c == TIFF_COMPRESSION_LZW || c == TIFF_COMPRESSION_DEFLATE || c == TIFF_COMPRESSION_ADOBE_DEFLATE)
                          ? static_cast<int>(p.predictor) : 1;

    // The decoded row, by compression.
    SampleFormat& s = plan->source;
    s.bits = static_cast<int>(p.bits);
    s.samples = planar ? 1 : static_cast<int>(p.samples);
    s.big_endian = file.big_endian;
    s.floating = p.sample_format == 3;
    if (fax(c)) {
        s = SampleFormat{1, 1, false, false};
    } else if (jpeg) {
        s = SampleFormat{8, planar ? 1 : tiff_jpeg_components(p), false, false};
    } else if (c == TIFF_COMPRESSION_SGILOG) {
        s = SampleFormat{8, p.photometric == PHOTOMETRIC_LOGLUV ? 3 : 1, false, false};
    } else if (c == TIFF_COMPRESSION_THUNDERSCAN) {
        s = SampleFormat{4, 1, false, false};
    }

    // The channels kept.
    int channels = 1;
    switch (p.photometric) {
    case PHOTOMETRIC_RGB:
        if (p.samples < 3 && !jpeg) return load_fail(ctx, STATUS_BAD_HEADER, "TIFF : Bad photometric interpretation !");
        // Four samples are RGBA; beyond that an alpha is kept only when one is marked associated.
        channels = p.samples == 4 ? 4 : 3;
        if (p.samples > 4)
            channels = p.extra_samples.empty() || std::find(p.extra_samples.begin(), p.extra_samples.end(), 1u) != p.extra_samples.end() ? 4 : 3;
        break;
    case PHOTOMETRIC_SEPARATED:
        if (p.samples >= 4 || (jpeg && s.samples == 4)) {
            channels = 4;
            h->layout_flags |= HEADER_CMYK;
        } else if (p.samples == 1) {
            plan->negative = true;  // a single ink
        } else {
            return load_fail(ctx, STATUS_BAD_HEADER, "TIFF : Bad photometric interpretation !");
        }
        break;
    case PHOTOMETRIC_YCBCR:
        if (p.samples < 3 && !jpeg) return load_fail(ctx, STATUS_BAD_HEADER, "TIFF : Bad photometric interpretation !");
        channels = 3;
        if (!jpeg) {
            // Separate planes are read whole before they meet, which tiles would not allow.
            if (p.bits != 8 || (planar && p.tiled))
                return load_fail(ctx, STATUS_BAD_HEADER, "TIFF : Bad YCbCr layout !");
            plan->ycbcr = true;
            const uint32_t bh = p.subsampling_h, bv = p.subsampling_v;
            const bool valid = (bh == 1 || bh == 2 || bh == 4) && (bv == 1 || bv == 2 || bv == 4);
            if (!valid) return load_fail(ctx, STATUS_BAD_HEADER, "TIFF : Bad YCbCr layout !");
            plan->ycbcr_planes = planar;
            plan->blocks = !planar && (bh > 1 || bv > 1);
            plan->block_h = static_cast<int>(bh);
            plan->block_v = static_cast<int>(bv);
        }
        break;
    case PHOTOMETRIC_CIELAB:
        channels = p.samples >= 3 ? 3 : 1;
        if (channels == 3) h->layout_flags |= HEADER_LAB_SIGNED;
        break;
    case PHOTOMETRIC_LOGLUV: channels = 3; break;
    case PHOTOMETRIC_PALETTE:
        if (p.bits > 8) return load_fail(ctx, STATUS_BAD_HEADER, "TIFF : Bad bits per sample !");
        plan->palette = !p.colour_map.empty();
        break;
    case PHOTOMETRIC_MIN_IS_WHITE: plan->negative = true; break;
    default: break;
    }
    // A decoder that delivers fewer samples than the photometric names keeps what there is.
    if (!planar && !plan->ycbcr && channels > s.samples) channels = s.samples >= 3 ? 3 : 1;
    if (channels != 4) h->layout_flags &= ~HEADER_CMYK;
    if (channels != 3) h->layout_flags &= ~HEADER_LAB_SIGNED;
    plan->channels = channels;
    for (int& pick : plan->pick) pick = std::min(pick, s.samples - 1);

    // Chunk geometry.
    plan->chunk_width = p.tiled ? p.tile_width : p.width;
    plan->chunk_height = p.tiled ? p.tile_length : p.rows_per_strip;
    if (plan->chunk_width > TILE_SIDE_LIMIT || plan->chunk_height > TILE_SIDE_LIMIT || plan->chunk_width == 0 || plan->chunk_height == 0)
        return load_fail(ctx, STATUS_BAD_HEADER, "TIFF : Bad tile size !");
    plan->across = (p.width + plan->chunk_width - 1) / plan->chunk_width;
    plan->down = (p.height + plan->chunk_height - 1) / plan->chunk_height;
    plan->file_planes = planar ? static_cast<int>(p.samples) : 1;
    plan->read_planes = planar ? std::min(channels, plan->file_planes) : 1;

    // Units of decoding.
    const uint64_t cw = plan->chunk_width;
    if (plan->blocks) {
        plan->unit_rows = plan->block_v;
        plan->unit_bytes = static_cast<size_t>((cw + plan->block_h - 1) / plan->block_h * (plan->block_h * plan->block_v + 2));
    } else {
        plan->unit_bytes = static_cast<size_t>((cw * static_cast<uint64_t>(s.samples) * static_cast<uint64_t>(s.bits) + 7) / 8);
    }

    // The pipeline's layout.
    const int64_t w = static_cast<int64_t>(p.width);
    const bool packable = channels == 1 && s.samples == 1 && !s.floating && !plan->ycbcr &&
                          (s.bits == 1 || s.bits == 2 || s.bits == 4 || s.bits == 8) &&
                          (!p.tiled || (cw * static_cast<uint64_t>(s.bits)) % 8 == 0);
    if (packable) {
        plan->delivery = Delivery::Packed;
        h->planes = 1;
        h->bits_per_plane = static_cast<int16_t>(s.bits);
        h->bytes_per_plane_line = static_cast<int32_t>((w * s.bits + 7) / 8);
        plan->line_stride = static_cast<size_t>(h->bytes_per_plane_line);
    } else if (planar && plan->read_planes > 1 && !plan->ycbcr_planes) {
        plan->delivery = Delivery::Planar;
        h->layout_flags |= HEADER_PLANAR;
        h->planes = static_cast<int16_t>(plan->read_planes);
        h->bits_per_plane = 8;
        h->bytes_per_plane_line = static_cast<int32_t>(w);
        plan->line_stride = static_cast<size_t>(w);
    } else {
        if (planar && !plan->ycbcr_planes) plan->read_planes = 1;
        plan->delivery = Delivery::Bytes;
        h->planes = 1;
        h->bits_per_plane = static_cast<int16_t>(8 * channels);
        h->bytes_per_plane_line = static_cast<int32_t>(w * channels);
        plan->line_stride = static_cast<size_t>(w * channels);
    }
    // Grey with alpha keeps its grey; RGB and CMYK keep their first three or four samples.
    if (plan->delivery != Delivery::Bytes || plan->ycbcr) {
        for (int i = 0; i < 4; ++i) plan->pick[i] = 0;
    }

    h->width = static_cast<int32_t>(p.width);
    h->height = static_cast<int32_t>(p.height);
    h->compression = code;
    if (text) std::snprintf(h->compression_text, sizeof h->compression_text, "%s", text);
    h->colour_model = colour_model(p.photometric);
    h->orientation = orientation_of(p.orientation);
    h->x_dpi = dpi_of(p.x_resolution, p.resolution_unit);
    h->y_dpi = dpi_of(p.y_resolution, p.resolution_unit);
    plan->rescale = p.raw_samples && c == TIFF_COMPRESSION_NONE && s.bits == 16 && !s.floating && !p.tiled &&
                    !plan->ycbcr && plan->delivery != Delivery::Packed;
    plan->unit_rows = plan->blocks ? plan->block_v : 1;
    // Strips of the file's own layout decode straight into the pipeline's buffer.
    bool identity = plan->delivery == Delivery::Bytes && s.bits == 8 && s.samples == channels;
    for (int i = 0; i < channels && identity; ++i) identity = plan->pick[i] == i;
    plan->direct = !p.tiled && !plan->blocks && !plan->ycbcr && !plan->rescale &&
                   (plan->delivery == Delivery::Packed || identity ||
                    (plan->delivery == Delivery::Planar && s.bits == 8)) &&
                   plan->unit_bytes <= plan->line_stride + 1024;
    // Uncompressed rows that need nothing done to them are read in runs of many rows: one read
    // per run rather than per row, the run small enough to stay in the processor's cache.
    plan->plain_runs = plan->direct && c == TIFF_COMPRESSION_NONE && plan->unit_bytes == plan->line_stride;
    uint64_t lines = p.tiled ? std::min<uint64_t>(plan->chunk_height, p.height) : static_cast<uint64_t>(plan->unit_rows);
    if (plan->plain_runs) lines = std::clamp<uint64_t>((256u << 10) / std::max<size_t>(plan->line_stride, 1), 1, p.height);
    h->lines_per_call = static_cast<uint16_t>(std::min<uint64_t>(lines, 65535));
    return STATUS_OK;
}

// --- the chunks --------------------------------------------------------------------------------

// Byte counts the file does not give (or gives as 0): up to the next chunk or the file's end.
uint64_t chunk_bytes(const TiffPage& p, size_t index, const std::vector<uint64_t>& sorted, int64_t file_size)
{
    if (index < p.byte_counts.size() && p.byte_counts[index] > 0) return p.byte_counts[index];
    const uint64_t offset = p.offsets[index];
    const auto next = std::upper_bound(sorted.begin(), sorted.end(), offset);
    const uint64_t end = next != sorted.end() ? *next : static_cast<uint64_t>(file_size);
    return end > offset ? end - offset : 0;
}

struct Reader {
    LoadContext* ctx;
    Stream* stream;
    const TiffPage& page;
    const ReadPlan& plan;
    HeaderInfo& h;
    ChunkDecoder decoder;
    YCbCrConverter ycc;
    std::vector<uint8_t> unit;
    std::vector<uint8_t> converted;  // one unit's rows of kept channels, for tiles and YCbCr
    std::vector<uint64_t> sorted_offsets;

    Reader(LoadContext* c, Stream* s, const TiffPage& p, const ReadPlan& pl, HeaderInfo& hd)
        : ctx(c), stream(s), page(p), plan(pl), h(hd) {}

    // The unit's rows into `rows` (pointers to where pixel x0 of each row goes), `cols` pixels.
    void place(uint8_t* data, int cols, uint8_t* const* rows, int row_count)
    {
        SampleFormat f = plan.source;
        if (plan.predictor > 1 && !plan.blocks) {
            bool big = f.big_endian;
            tiff_undo_predictor(plan.predictor, f, data, static_cast<int>(plan.chunk_width), &big);
            f.big_endian = big;
        }
        switch (plan.delivery) {
        case Delivery::Packed:
            std::memcpy(rows[0], data, static_cast<size_t>((int64_t{cols} * f.bits + 7) / 8));
            break;
        case Delivery::Planar: {
            static const int first[4] = {0, 0, 0, 0};
            tiff_pick_channels(f, data, cols, first, 1, rows[0]);
            break;
        }
        case Delivery::Bytes:
            if (plan.blocks) {
                ycc.blocks(data, plan.block_h, plan.block_v, cols, row_count, rows);
            } else if (plan.ycbcr) {
                static const int ycc_pick[3] = {0, 1, 2};
                tiff_pick_channels(f, data, cols, ycc_pick, 3, rows[0]);
                ycc.row(rows[0], cols, rows[0]);
            } else {
                tiff_pick_channels(f, data, cols, plan.pick, plan.channels, rows[0]);
            }
            break;
        }
    }

    size_t x_bytes(uint64_t x0) const
    {
        if (plan.delivery == Delivery::Packed) return static_cast<size_t>(x0 * static_cast<uint64_t>(plan.source.bits) / 8);
        if (plan.delivery == Delivery::Planar) return static_cast<size_t>(x0);
        return static_cast<size_t>(x0) * static_cast<size_t>(plan.channels);
    }

    Status run()
    {
        for (uint64_t o : page.offsets) sorted_offsets.push_back(o);
        std::sort(sorted_offsets.begin(), sorted_offsets.end());
        if (plan.ycbcr) ycc.init(page.ycbcr_coefficients, page.reference_black_white);
        LUM_TRY(decoder.begin_page(page, static_cast<int>(plan.chunk_width), static_cast<int>(plan.chunk_height), plan.unit_bytes));
        unit.assign(plan.unit_bytes + 16, 0);

        if (plan.plain_runs) return plain_runs();
        if (plan.rescale) return rescaled();
        if (plan.ycbcr_planes) return ycbcr_planes();
        if (const unsigned threads = strip_threads(); threads > 1) return parallel_strips(threads);

        const uint64_t per_plane = plan.across * plan.down;
        const bool planar = plan.delivery == Delivery::Planar;
        for (int plane = 0; plane < plan.read_planes; ++plane) {
            for (uint64_t cy = 0; cy < plan.down; ++cy) {
                const uint64_t y0 = cy * plan.chunk_height;
                const int rows = static_cast<int>(std::min<uint64_t>(plan.chunk_height, page.height - y0));
                if (page.tiled) std::memset(h.line_buffer, 0, plan.line_stride * static_cast<size_t>(h.lines_per_call));
                Status failure = STATUS_OK;
                int rows_reached = 0;
                for (uint64_t cx = 0; cx < plan.across && failure == STATUS_OK; ++cx) {
                    const uint64_t index = static_cast<uint64_t>(plane) * per_plane + cy * plan.across + cx;
                    const uint64_t x0 = cx * plan.chunk_width;
                    const int cols = static_cast<int>(std::min<uint64_t>(plan.chunk_width, page.width - x0));
                    int done = 0;
                    failure = chunk(index, y0, x0, cols, rows, plane, &done);
                    rows_reached = std::max(rows_reached, done);
                }
                if (page.tiled && rows_reached > 0) {
                    // A row of tiles cut short still shows what its tiles reached.
                    const Status s = load_put_lines(ctx, planar ? plane : -1, static_cast<int>(y0), rows_reached);
                    if (s != STATUS_OK) return s;
                }
                if (failure != STATUS_OK) return failure;
            }
        }
        return STATUS_OK;
    }

    Status chunk(uint64_t index, uint64_t y0, uint64_t x0, int cols, int rows, int plane, int* done)
    {
        *done = 0;
        if (index >= page.offsets.size()) return STATUS_INCOMPLETE;
        const Status opened = decoder.open(stream, page.offsets[index], chunk_bytes(page, static_cast<size_t>(index), sorted_offsets, stream->size));
        if (opened == STATUS_BAD_HEADER) return load_fail(ctx, STATUS_BAD_HEADER, "%s", BAD_LZW);
        if (opened != STATUS_OK) return opened;
        const bool planar = plan.delivery == Delivery::Planar;
        const bool direct = plan.direct;
        for (int r = 0; r < rows; r += plan.unit_rows) {
            const int n = std::min(plan.unit_rows, rows - r);
            uint8_t* targets[4];
            for (int j = 0; j < plan.unit_rows; ++j) {
                const size_t line = page.tiled ? static_cast<size_t>(r + j) : static_cast<size_t>(j);
                targets[j] = h.line_buffer + std::min<size_t>(line, h.lines_per_call - 1) * plan.line_stride + x_bytes(x0);
            }
            uint8_t* data = direct ? h.line_buffer : unit.data();
            const Status s = decoder.next_unit(data);
            if (s != STATUS_OK) return s;
            if (direct) {
                if (plan.predictor > 1) place_in_place(data);
            } else {
                place(data, cols, targets, n);
            }
            *done = r + n;
            if (!page.tiled) {
                const Status put = load_put_lines(ctx, planar ? plane : -1, static_cast<int>(y0) + r, n);
                if (put != STATUS_OK) return put;
            }
        }
        return STATUS_OK;
    }

    // LZW, deflate and JPEG strips cost far more to decode than to hand on, and each stands alone:
    // on a machine with cores to spare, a large page's strips are decoded side by side. One
    // thread alone is no gain, nor is a page of a few strips or a small one.
    unsigned strip_threads() const
    {
        const uint32_t c = page.compression;
        const bool costly = c == TIFF_COMPRESSION_LZW || c == TIFF_COMPRESSION_DEFLATE ||
                            c == TIFF_COMPRESSION_ADOBE_DEFLATE || c == TIFF_COMPRESSION_JPEG;
        if (!costly || page.tiled || plan.unit_rows != 1 || plan.down < 4) return 1;
        const uint64_t decoded = uint64_t{plan.unit_bytes} * page.height * static_cast<uint64_t>(plan.read_planes);
        const uint64_t strip = plan.chunk_height * plan.unit_bytes;
        if (decoded < (2u << 20) || strip > (16u << 20)) return 1;
        // Each thread holds a decoded strip or more: with many cores and large strips, fewer threads.
        const uint64_t affordable = std::max<uint64_t>(1, (64u << 20) / strip);
        return static_cast<unsigned>(std::min<uint64_t>(parallel_threads(static_cast<size_t>(plan.down)), affordable));
    }

    // Batches of strips: their bytes read here, decoded on `threads` threads, then their rows
    // handed on in order. A strip that fails hands on the rows it reached and ends the page, as
    // it would read one strip at a time.
    Status parallel_strips(unsigned threads)
    {
        struct Strip {
            std::vector<uint8_t> data;  // compressed, then the decoder's spent buffer
            std::vector<uint8_t> rows;
            int rows_done = 0;
            Status status = STATUS_OK;
        };
        std::vector<std::unique_ptr<ChunkDecoder>> decoders(threads);
        for (auto& d : decoders) {
            d = std::make_unique<ChunkDecoder>();
            LUM_TRY(d->begin_page(page, static_cast<int>(plan.chunk_width), static_cast<int>(plan.chunk_height), plan.unit_bytes));
        }
        const size_t strip_bytes = static_cast<size_t>(plan.chunk_height) * plan.unit_bytes;
        const uint64_t batch = std::max<uint64_t>(threads, (8u << 20) / std::max<size_t>(strip_bytes, 1));
        std::vector<Strip> strips(static_cast<size_t>(std::min(batch, plan.down)));
        const bool planar = plan.delivery == Delivery::Planar;
        uint8_t* target = h.line_buffer;
        for (int plane = 0; plane < plan.read_planes; ++plane) {
            for (uint64_t first = 0; first < plan.down; first += strips.size()) {
                const size_t count = static_cast<size_t>(std::min<uint64_t>(strips.size(), plan.down - first));
                size_t fetched = 0;
                while (fetched < count) {
                    Strip& strip = strips[fetched];
                    const uint64_t index = static_cast<uint64_t>(plane) * plan.down + first + fetched++;
                    strip.rows_done = 0;
                    strip.status = STATUS_INCOMPLETE;
                    if (index >= page.offsets.size()) break;
                    const uint64_t bytes = chunk_bytes(page, static_cast<size_t>(index), sorted_offsets, stream->size);
                    strip.status = ChunkDecoder::fetch(stream, page.offsets[index], bytes, &strip.data);
                    if (strip.status != STATUS_OK) break;
                }
                for_each_in_parallel(fetched, threads, [&](size_t i, unsigned thread) {
                    Strip& strip = strips[i];
                    if (strip.status != STATUS_OK) return;
                    try {
                        ChunkDecoder& decoder = *decoders[thread];
                        strip.status = decoder.open_fetched(&strip.data);
                        if (strip.status != STATUS_OK) return;
                        const uint64_t y0 = (first + i) * plan.chunk_height;
                        const int rows = static_cast<int>(std::min<uint64_t>(plan.chunk_height, page.height - y0));
                        strip.rows.resize(static_cast<size_t>(rows) * plan.unit_bytes + 16);
                        for (; strip.rows_done < rows; ++strip.rows_done) {
                            uint8_t* row = strip.rows.data() + static_cast<size_t>(strip.rows_done) * plan.unit_bytes;
                            strip.status = decoder.next_unit(row);
                            if (strip.status != STATUS_OK) break;
                            if (plan.direct && plan.predictor > 1) place_in_place(row);
                        }
                    } catch (const std::bad_alloc&) {
                        strip.status = STATUS_NO_MEMORY;  // the rows reached still stand
                    }
                });
                for (size_t i = 0; i < fetched; ++i) {
                    Strip& strip = strips[i];
                    const int y0 = static_cast<int>((first + i) * plan.chunk_height);
                    for (int r = 0; r < strip.rows_done; ++r) {
                        uint8_t* row = strip.rows.data() + static_cast<size_t>(r) * plan.unit_bytes;
                        if (plan.direct) std::memcpy(target, row, plan.unit_bytes);
                        else place(row, static_cast<int>(page.width), &target, 1);
                        LUM_TRY(load_put_lines(ctx, planar ? plane : -1, y0 + r, 1));
                    }
                    if (strip.status == STATUS_BAD_HEADER) return load_fail(ctx, STATUS_BAD_HEADER, "%s", BAD_LZW);
                    if (strip.status != STATUS_OK) return strip.status;
                }
            }
        }
        return STATUS_OK;
    }

    // Uncompressed rows straight into the pipeline's buffer, a run of rows per read; strips that
    // follow each other in the file are read as one. Only whole rows are handed on.
    Status plain_runs()
    {
        const bool planar = plan.delivery == Delivery::Planar;
        const uint64_t stride = plan.line_stride;
        const uint64_t rps = plan.chunk_height;
        const uint64_t strip_bytes = rps * stride;
        const uint64_t size = static_cast<uint64_t>(std::max<int64_t>(stream->size, 0));
        uint64_t position = UINT64_MAX;
        for (int plane = 0; plane < plan.read_planes; ++plane) {
            const uint64_t first = static_cast<uint64_t>(plane) * plan.down;
            for (uint64_t y = 0; y < page.height;) {
                const uint64_t want = std::min<uint64_t>(h.lines_per_call, page.height - y);
                // Rows that reach the picture unchanged are read straight into it.
                uint8_t* in_place = planar ? nullptr : load_lines_in_place(ctx, static_cast<int>(y), static_cast<int>(want));
                uint8_t* lines = in_place ? in_place : h.line_buffer;
                uint64_t got = 0;
                Status failure = STATUS_OK;
                while (got < want) {
                    const uint64_t row = y + got;
                    uint64_t index = first + row / rps;
                    if (index >= page.offsets.size() || page.offsets[index] >= size) {
                        failure = STATUS_INCOMPLETE;
                        break;
                    }
                    const uint64_t offset = page.offsets[index] + row % rps * stride;
                    uint64_t n = std::min(want - got, rps - row % rps);
                    while (got + n < want && index + 1 < first + plan.down && index + 1 < page.offsets.size() &&
                           page.offsets[index + 1] > page.offsets[index] && page.offsets[index + 1] - page.offsets[index] == strip_bytes) {
                        ++index;
                        n += std::min(rps, want - got - n);
                    }
                    if (position != offset && stream_seek(stream, static_cast<int64_t>(offset), SEEK_SET) != 0) {
                        failure = STATUS_INCOMPLETE;
                        break;
                    }
                    uint8_t* out = lines + got * stride;
                    const size_t bytes = static_cast<size_t>(n * stride);
                    const size_t read = stream_read(stream, out, bytes);
                    position = offset + read;
                    if (page.fill_order == 2) reverse_bits(out, read);
                    got += read / stride;
                    if (read < bytes) {
                        // A row cut short is not handed on, and leaves nothing in the picture.
                        std::memset(out + read / stride * stride, 0, read % stride);
                        failure = STATUS_INCOMPLETE;
                        break;
                    }
                }
                if (got > 0 && in_place) LUM_TRY(load_put_lines_in_place(ctx, static_cast<int>(y), static_cast<int>(got)));
                else if (got > 0) LUM_TRY(load_put_lines(ctx, planar ? plane : -1, static_cast<int>(y), static_cast<int>(got)));
                if (failure != STATUS_OK) return failure;
                y += got;
            }
        }
        return STATUS_OK;
    }

    // Raw-sample files keep 12 significant bits in 16-bit samples over a narrow range of their
    // own: the whole picture is read first, then stretched from its darkest to its brightest
    // value. Rows a short file cut off count neither in the range nor in the picture.
    Status rescaled()
    {
        const bool planar = plan.delivery == Delivery::Planar;
        const size_t values_per_row = plan.unit_bytes / 2;
        const bool big = plan.source.big_endian;
        std::vector<uint16_t> values;
        values.reserve(static_cast<size_t>(std::min<uint64_t>(static_cast<uint64_t>(std::max<int64_t>(stream->size, 0)) / 2,
                                                               uint64_t{values_per_row} * page.height * static_cast<uint64_t>(plan.read_planes))));
        std::vector<uint64_t> rows_read(static_cast<size_t>(plan.read_planes), 0);
        uint16_t lo = 0xFFFF, hi = 0;
        Status failure = STATUS_OK;
        for (int plane = 0; plane < plan.read_planes && failure == STATUS_OK; ++plane) {
            for (uint64_t cy = 0; cy < plan.down && failure == STATUS_OK; ++cy) {
                const uint64_t index = static_cast<uint64_t>(plane) * plan.down + cy;
                if (index >= page.offsets.size()) {
                    failure = STATUS_INCOMPLETE;
                    break;
                }
                failure = decoder.open(stream, page.offsets[index], 0);
                const uint64_t y0 = cy * plan.chunk_height;
                const uint64_t rows = std::min<uint64_t>(plan.chunk_height, page.height - y0);
                for (uint64_t r = 0; r < rows && failure == STATUS_OK; ++r) {
                    failure = decoder.next_unit(unit.data());
                    if (failure != STATUS_OK) break;
                    for (size_t i = 0; i < values_per_row; ++i) {
                        const uint8_t* b = unit.data() + 2 * i;
                        const uint16_t v = static_cast<uint16_t>((big ? (b[0] << 8 | b[1]) : (b[1] << 8 | b[0])) >> 4);
                        lo = std::min(lo, v);
                        hi = std::max(hi, v);
                        values.push_back(v);
                    }
                    ++rows_read[static_cast<size_t>(plane)];
                }
            }
        }

        SampleFormat bytes = plan.source;
        bytes.bits = 8;
        std::vector<uint8_t> row(values_per_row + 16);
        static const int first[4] = {0, 0, 0, 0};
        const uint16_t* v = values.data();
        for (int plane = 0; plane < plan.read_planes; ++plane) {
            for (uint64_t y = 0; y < rows_read[static_cast<size_t>(plane)]; ++y, v += values_per_row) {
                for (size_t i = 0; i < values_per_row; ++i)
                    // A flat picture has no range to stretch: its level is kept as it is.
                    row[i] = static_cast<uint8_t>(hi > lo ? (v[i] - lo) * 255 / (hi - lo) : v[i] >> 4);
                const int cols = static_cast<int>(plan.chunk_width);
                if (planar) tiff_pick_channels(bytes, row.data(), cols, first, 1, h.line_buffer);
                else tiff_pick_channels(bytes, row.data(), cols, plan.pick, plan.channels, h.line_buffer);
                LUM_TRY(load_put_lines(ctx, planar ? plane : -1, static_cast<int>(y), 1));
            }
        }
        return failure;
    }

    // YCbCr in separate planes: the luma plane at full size, then Cb and Cr planes of one sample
    // per block, each plane in its own strips of rows-per-strip rows (of blocks, for chroma).
    // All three are needed for any pixel, so the planes are gathered before rows are handed on.
    Status ycbcr_planes()
    {
        const uint64_t bh = static_cast<uint64_t>(plan.block_h), bv = static_cast<uint64_t>(plan.block_v);
        const uint64_t width[3] = {page.width, (page.width + bh - 1) / bh, (page.width + bh - 1) / bh};
        const uint64_t height[3] = {page.height, (page.height + bv - 1) / bv, (page.height + bv - 1) / bv};
        const uint64_t strip_rows[3] = {plan.chunk_height, (plan.chunk_height + bv - 1) / bv, (plan.chunk_height + bv - 1) / bv};
        std::vector<uint8_t> planes[3];
        uint64_t rows_read[3] = {0, 0, 0};
        const SampleFormat one{8, 1, false, false};
        Status failure = STATUS_OK;
        for (int plane = 0; plane < 3 && failure == STATUS_OK; ++plane) {
            const size_t w = static_cast<size_t>(width[plane]);
            failure = decoder.begin_page(page, static_cast<int>(w), static_cast<int>(strip_rows[plane]), w);
            unit.assign(w + 16, 0);
            for (uint64_t cy = 0; cy < plan.down && failure == STATUS_OK; ++cy) {
                const uint64_t y0 = cy * strip_rows[plane];
                if (y0 >= height[plane]) break;
                const uint64_t index = static_cast<uint64_t>(plane) * plan.down + cy;
                if (index >= page.offsets.size()) {
                    failure = STATUS_INCOMPLETE;
                    break;
                }
                const Status opened = decoder.open(stream, page.offsets[index], chunk_bytes(page, static_cast<size_t>(index), sorted_offsets, stream->size));
                if (opened == STATUS_BAD_HEADER) return load_fail(ctx, STATUS_BAD_HEADER, "%s", BAD_LZW);
                failure = opened;
                const uint64_t rows = std::min(strip_rows[plane], height[plane] - y0);
                // Grown strip by strip, so that memory follows what the file really holds.
                planes[plane].resize(static_cast<size_t>((y0 + rows) * w));
                for (uint64_t r = 0; r < rows && failure == STATUS_OK; ++r) {
                    failure = decoder.next_unit(unit.data());
                    if (failure != STATUS_OK) break;
                    uint8_t* out = planes[plane].data() + (y0 + r) * w;
                    if (plan.predictor > 1) {
                        bool big = false;
                        tiff_undo_predictor(plan.predictor, one, unit.data(), static_cast<int>(w), &big);
                    }
                    std::memcpy(out, unit.data(), w);
                    rows_read[plane] = y0 + r + 1;
                }
            }
        }

        // Rows whose luma and both chroma samples were all read.
        const uint64_t lines = std::min({rows_read[0], rows_read[1] * bv, rows_read[2] * bv, page.height});
        const size_t cw = static_cast<size_t>(width[1]);
        for (uint64_t y = 0; y < lines; ++y) {
            const uint8_t* luma = planes[0].data() + y * width[0];
            const uint8_t* cb = planes[1].data() + (y / bv) * cw;
            const uint8_t* cr = planes[2].data() + (y / bv) * cw;
            uint8_t* out = h.line_buffer;
            for (uint64_t x = 0; x < page.width; ++x, out += 3) ycc.to_rgb(luma[x], cb[x / bh], cr[x / bh], out);
            LUM_TRY(load_put_lines(ctx, -1, static_cast<int>(y), 1));
        }
        return failure;
    }

    void place_in_place(uint8_t* data)
    {
        bool big = plan.source.big_endian;
        tiff_undo_predictor(plan.predictor, plan.source, data, static_cast<int>(plan.chunk_width), &big);
    }
};

Status read_chunks(Stream* s, LoadContext* ctx, const TiffFile& file, const TiffDirectory& directory, const TiffPage& page, HeaderInfo& h);

Status read_page(Stream* s, LoadContext* ctx, const char* label)
{
    TiffFile file;
    Status status = tiff_open(s, &file);
    if (status != STATUS_OK) return status;

    uint64_t offset = 0;
    const int wanted = ctx->params.image_index;
    const int pages = tiff_count_pages(file, wanted < 0 ? 0 : wanted, &offset);
    ctx->image_count = pages;
    TiffDirectory directory;
    if (pages == 0) return STATUS_INCOMPLETE;
    LUM_TRY(tiff_read_directory(file, offset, &directory));
    TiffPage page;
    tiff_page_parse(file, directory, &page);

    HeaderInfo h;
    header_init(&h);
    std::snprintf(h.format_label, sizeof h.format_label, "%s%s", label ? label : "TIFF",
                  page.tiled ? " (Tiled)" : "");

    if (page.compression == TIFF_COMPRESSION_OJPEG) {
        // Old-style JPEG pages that carry a whole JPEG stream are read as one.
        if (!page.has_jpeg_interchange) {
            // Without a stream of its own the page's chunks are scan data for the tables in its tags.
            if (page.old_jpeg_q.empty() || page.old_jpeg_dc.empty() || page.old_jpeg_ac.empty())
                return load_fail(ctx, STATUS_BAD_HEADER, "TIFF : Bad data compression algorithm !");
            return read_chunks(s, ctx, file, directory, page, h);
        }
        keep_texts(file, directory, page, ctx);
        LUM_TRY(stream_seek(s, static_cast<int64_t>(page.jpeg_interchange), SEEK_SET) == 0 ? STATUS_OK : STATUS_INCOMPLETE);
        return jpeg_read_embedded(s, ctx, "TIFF (jpeg)", orientation_of(page.orientation));
    }

    return read_chunks(s, ctx, file, directory, page, h);
}

Status read_chunks(Stream* s, LoadContext* ctx, const TiffFile& file, const TiffDirectory& directory, const TiffPage& page, HeaderInfo& h)
{
    ReadPlan plan;
    Status status = STATUS_OK;
    LUM_TRY(plan_page(ctx, file, page, &plan, &h));
    if (page.offsets.empty()) return load_fail(ctx, STATUS_BAD_HEADER, "TIFF : No strip offsets !");
    keep_texts(file, directory, page, ctx);
    keep_resources(file, directory, ctx);
    keep_exif(file, directory, ctx);

    // The colour map, as the pipeline's table of 16-bit values: reds, greens and blues, as many
    // of each as the delivered depth can index (a map with more samples than one per pixel is
    // delivered a byte a pixel, whatever its bits), the file's own entries first.
    std::vector<uint16_t> palette;
    if (plan.palette) {
        const size_t entries = size_t{1} << std::min<int>(h.planes * h.bits_per_plane, 8);
        const size_t given = page.colour_map.size() / 3;
        palette.assign(3 * entries, 0);
        for (int c = 0; c < 3; ++c)
            for (size_t i = 0; i < std::min(entries, given); ++i) palette[c * entries + i] = page.colour_map[c * given + i];
    }

    LUM_TRY(load_begin(ctx, &h));
    Reader reader(ctx, s, page, plan, h);
    status = reader.run();
    const uint32_t kind = plan.negative ? uint32_t{PALETTE_NEGATIVE} : 0u;
    if (plan.palette) load_end(ctx, PALETTE_PLANES_16, 16, reinterpret_cast<const uint8_t*>(palette.data()));
    else load_end(ctx, kind, 8, nullptr);
    return status;
}

}  // namespace

bool tiff_signature(const uint8_t* head, size_t size)
{
    // The byte order, the version and the first directory's offset: 8 bytes at the least.
    if (size < 8) return false;
    if (!((head[0] == 'I' && head[1] == 'I') || (head[0] == 'M' && head[1] == 'M'))) return false;
    const bool v42 = (head[2] == 42 && head[3] == 0) || (head[2] == 0 && head[3] == 42);
    const bool v43 = (head[2] == 43 && head[3] == 0) || (head[2] == 0 && head[3] == 43);
    return v42 || v43;
}

Status tiff_read_labelled(Stream* stream, LoadContext* ctx, const char* label)
{
    try {
        return read_page(stream, ctx, label);
    } catch (const std::bad_alloc&) {
        return STATUS_NO_MEMORY;
    }
}

Status tiff_read(Stream* stream, LoadContext* ctx) { return tiff_read_labelled(stream, ctx, nullptr); }
