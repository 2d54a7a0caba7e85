#include "formats/tiff/tiff_page.h"

#include <algorithm>

namespace {

constexpr uint64_t MAX_COLOUR_MAP = 3 * 65536;
constexpr uint64_t MAX_JPEG_TABLES = 1 << 20;

uint32_t small(uint64_t v, uint32_t limit) { return v > limit ? limit : static_cast<uint32_t>(v); }

}  // namespace

void tiff_page_parse(const TiffFile& f, const TiffDirectory& d, TiffPage* p)
{
    auto number = [&](uint16_t tag, uint64_t fallback) { return tiff_entry_number(f, d.find(tag), fallback); };
    p->width = number(TAG_IMAGE_WIDTH, 0);
    p->height = number(TAG_IMAGE_LENGTH, 0);
    p->bits = small(number(TAG_BITS_PER_SAMPLE, 1), 0xFFFF);
    p->compression = small(number(TAG_COMPRESSION, TIFF_COMPRESSION_NONE), 0xFFFFFFFF);
    // Fax pages are white-is-zero unless they say otherwise.
    const bool fax = p->compression >= TIFF_COMPRESSION_CCITT_RLE && p->compression <= TIFF_COMPRESSION_CCITT_T6;
    p->photometric = small(number(TAG_PHOTOMETRIC, fax ? PHOTOMETRIC_MIN_IS_WHITE : PHOTOMETRIC_MIN_IS_BLACK), 0xFFFFFFFF);
    p->fill_order = small(number(TAG_FILL_ORDER, 1), 0xFFFF);
    p->samples = small(number(TAG_SAMPLES_PER_PIXEL, 1), 0xFFFF);
    p->planar = small(number(TAG_PLANAR_CONFIGURATION, 1), 0xFFFF);
    p->t4_options = small(number(TAG_T4_OPTIONS, 0), 0xFFFFFFFF);
    p->resolution_unit = small(number(TAG_RESOLUTION_UNIT, 2), 0xFFFF);
    p->predictor = small(number(TAG_PREDICTOR, 1), 0xFFFF);
    p->sample_format = small(number(TAG_SAMPLE_FORMAT, 1), 0xFFFF);
    p->orientation = small(number(TAG_ORIENTATION, 1), 0xFFFF);
    p->tile_width = number(TAG_TILE_WIDTH, 0);
    p->tile_length = number(TAG_TILE_LENGTH, 0);

    // Rows per strip of 0 or beyond the height (some writers put 2^32 - 1) mean one strip.
    const uint64_t rows = number(TAG_ROWS_PER_STRIP, 0);
    p->rows_per_strip = rows == 0 || rows > p->height ? p->height : rows;

    const TiffEntry* tile_offsets = d.find(TAG_TILE_OFFSETS);
    p->tiled = tile_offsets && p->tile_width > 0 && p->tile_length > 0;
    const TiffEntry* offsets = p->tiled ? tile_offsets : d.find(TAG_STRIP_OFFSETS);
    if (!offsets) offsets = tile_offsets;
    const TiffEntry* counts = d.find(p->tiled ? TAG_TILE_BYTE_COUNTS : TAG_STRIP_BYTE_COUNTS);
    if (!counts) counts = d.find(p->tiled ? TAG_STRIP_BYTE_COUNTS : TAG_TILE_BYTE_COUNTS);
    if (!offsets || !tiff_entry_numbers(f, *offsets, &p->offsets)) p->offsets.clear();
    if (!counts || !tiff_entry_numbers(f, *counts, &p->byte_counts)) p->byte_counts.clear();

    if (const TiffEntry* e = d.find(TAG_EXTRA_SAMPLES)) tiff_entry_numbers(f, *e, &p->extra_samples, 64);
    if (const TiffEntry* e = d.find(TAG_COLOR_MAP)) {
        std::vector<uint64_t> v;
        if (tiff_entry_numbers(f, *e, &v, MAX_COLOUR_MAP)) {
            p->colour_map.resize(v.size());
            for (size_t i = 0; i < v.size(); ++i) p->colour_map[i] = static_cast<uint16_t>(v[i]);
        }
    }
    if (const TiffEntry* e = d.find(TAG_JPEG_TABLES)) {
        std::vector<uint8_t> bytes;
        if (tiff_type_size(e->type) == 1 && tiff_entry_bytes(f, *e, &bytes, MAX_JPEG_TABLES)) p->jpeg_tables = std::move(bytes);
    }
    if (const TiffEntry* e = d.find(TAG_JPEG_INTERCHANGE_FORMAT)) {
        p->jpeg_interchange = tiff_entry_number(f, e, 0);
        p->has_jpeg_interchange = p->jpeg_interchange > 0 && p->jpeg_interchange < static_cast<uint64_t>(f.size);
    }
    if (const TiffEntry* e = d.find(TAG_YCBCR_COEFFICIENTS)) {
        std::vector<double> v;
        if (tiff_entry_reals(f, *e, &v, 3) && v.size() == 3 && v[1] > 0)
            std::copy(v.begin(), v.end(), p->ycbcr_coefficients);
    }
    if (const TiffEntry* e = d.find(TAG_REFERENCE_BLACK_WHITE)) {
        std::vector<double> v;
        if (tiff_entry_reals(f, *e, &v, 6) && v.size() == 6) std::copy(v.begin(), v.end(), p->reference_black_white);
    }
    if (const TiffEntry* e = d.find(TAG_YCBCR_SUBSAMPLING)) {
        std::vector<uint64_t> v;
        if (tiff_entry_numbers(f, *e, &v, 2) && v.size() == 2) {
            p->subsampling_h = small(v[0], 0xFFFF);
            p->subsampling_v = small(v[1], 0xFFFF);
        }
    }
    std::vector<double> r;
    if (const TiffEntry* e = d.find(TAG_X_RESOLUTION); e && tiff_entry_reals(f, *e, &r, 1) && !r.empty()) p->x_resolution = r[0];
    if (const TiffEntry* e = d.find(TAG_Y_RESOLUTION); e && tiff_entry_reals(f, *e, &r, 1) && !r.empty()) p->y_resolution = r[0];
    if (p->compression == TIFF_COMPRESSION_OJPEG) {
        auto tables = [&](uint16_t tag, bool huffman, std::vector<std::vector<uint8_t>>* out) {
            std::vector<uint64_t> at;
            const TiffEntry* e = d.find(tag);
            if (!e || !tiff_entry_numbers(f, *e, &at, 4)) return;
            for (uint64_t offset : at) {
                std::vector<uint8_t> t(huffman ? 16 : 64);
                if (!tiff_read_at(f, offset, t.data(), t.size())) return;
                if (huffman) {
                    size_t values = 0;
                    for (int i = 0; i < 16; ++i) values += t[static_cast<size_t>(i)];
                    if (values > 256) return;
                    t.resize(16 + values);
                    if (!tiff_read_at(f, offset + 16, t.data() + 16, values)) return;
                }
                out->push_back(std::move(t));
            }
        };
        tables(TAG_JPEG_Q_TABLES, false, &p->old_jpeg_q);
        tables(TAG_JPEG_DC_TABLES, true, &p->old_jpeg_dc);
        tables(TAG_JPEG_AC_TABLES, true, &p->old_jpeg_ac);
        p->old_jpeg_restart = small(number(TAG_JPEG_RESTART_INTERVAL, 0), 0xFFFF);
    }
    p->raw_samples = d.find(TAG_UIC1) || d.find(TAG_MM_HEADER) || d.find(TAG_MM_STAMP);
}
