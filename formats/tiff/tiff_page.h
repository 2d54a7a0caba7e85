// One page's reading state, gathered from its directory.
#pragma once

#include <cstdint>
#include <vector>

#include "formats/tiff/tiff_directory.h"

enum : uint16_t {
    TAG_NEW_SUBFILE_TYPE = 254,
    TAG_IMAGE_WIDTH = 256,
    TAG_IMAGE_LENGTH = 257,
    TAG_BITS_PER_SAMPLE = 258,
    TAG_COMPRESSION = 259,
    TAG_PHOTOMETRIC = 262,
    TAG_FILL_ORDER = 266,
    TAG_DOCUMENT_NAME = 269,
    TAG_IMAGE_DESCRIPTION = 270,
    TAG_MAKE = 271,
    TAG_MODEL = 272,
    TAG_STRIP_OFFSETS = 273,
    TAG_ORIENTATION = 274,
    TAG_SAMPLES_PER_PIXEL = 277,
    TAG_ROWS_PER_STRIP = 278,
    TAG_STRIP_BYTE_COUNTS = 279,
    TAG_X_RESOLUTION = 282,
    TAG_Y_RESOLUTION = 283,
    TAG_PLANAR_CONFIGURATION = 284,
    TAG_T4_OPTIONS = 292,
    TAG_T6_OPTIONS = 293,
    TAG_RESOLUTION_UNIT = 296,
    TAG_SOFTWARE = 305,
    TAG_DATE_TIME = 306,
    TAG_ARTIST = 315,
    TAG_HOST_COMPUTER = 316,
    TAG_PREDICTOR = 317,
    TAG_COLOR_MAP = 320,
    TAG_TILE_WIDTH = 322,
    TAG_TILE_LENGTH = 323,
    TAG_TILE_OFFSETS = 324,
    TAG_TILE_BYTE_COUNTS = 325,
    TAG_INK_SET = 332,
    TAG_EXTRA_SAMPLES = 338,
    TAG_SAMPLE_FORMAT = 339,
    TAG_JPEG_TABLES = 347,
    TAG_JPEG_INTERCHANGE_FORMAT = 513,
    TAG_JPEG_INTERCHANGE_LENGTH = 514,
    TAG_JPEG_RESTART_INTERVAL = 515,
    TAG_JPEG_Q_TABLES = 519,
    TAG_JPEG_DC_TABLES = 520,
    TAG_JPEG_AC_TABLES = 521,
    TAG_YCBCR_COEFFICIENTS = 529,
    TAG_YCBCR_SUBSAMPLING = 530,
    TAG_REFERENCE_BLACK_WHITE = 532,
    TAG_COPYRIGHT = 33432,
    TAG_UIC1 = 33628,
    TAG_IPTC = 33723,
    TAG_MM_HEADER = 34361,
    TAG_MM_STAMP = 34362,
    TAG_PHOTOSHOP = 34377,
    TAG_EXIF_IFD = 34665,
};

enum : uint32_t {
    TIFF_COMPRESSION_NONE = 1,
    TIFF_COMPRESSION_CCITT_RLE = 2,
    TIFF_COMPRESSION_CCITT_T4 = 3,
    TIFF_COMPRESSION_CCITT_T6 = 4,
    TIFF_COMPRESSION_LZW = 5,
    TIFF_COMPRESSION_OJPEG = 6,
    TIFF_COMPRESSION_JPEG = 7,
    TIFF_COMPRESSION_ADOBE_DEFLATE = 8,
    TIFF_COMPRESSION_THUNDERSCAN = 32809,
    TIFF_COMPRESSION_PACKBITS = 32773,
    TIFF_COMPRESSION_DEFLATE = 32946,
    TIFF_COMPRESSION_SGILOG = 34676,
    TIFF_COMPRESSION_SGILOG24 = 34677,
};

enum : uint32_t {
    PHOTOMETRIC_MIN_IS_WHITE = 0,
    PHOTOMETRIC_MIN_IS_BLACK = 1,
    PHOTOMETRIC_RGB = 2,
    PHOTOMETRIC_PALETTE = 3,
    PHOTOMETRIC_SEPARATED = 5,
    PHOTOMETRIC_YCBCR = 6,
    PHOTOMETRIC_CIELAB = 8,
    PHOTOMETRIC_LOGL = 32844,
    PHOTOMETRIC_LOGLUV = 32845,
};

struct TiffPage {
    uint64_t width = 0;
    uint64_t height = 0;
    uint32_t bits = 1;  // per sample
    uint32_t compression = TIFF_COMPRESSION_NONE;
    uint32_t photometric = PHOTOMETRIC_MIN_IS_BLACK;
    uint32_t fill_order = 1;
    uint32_t samples = 1;
    uint64_t rows_per_strip = 0;  // settled to 1..height
    uint32_t planar = 1;
    uint32_t t4_options = 0;
    uint32_t resolution_unit = 2;
    uint32_t predictor = 1;
    uint32_t sample_format = 1;
    uint32_t orientation = 1;
    uint64_t tile_width = 0;
    uint64_t tile_length = 0;
    bool tiled = false;
    std::vector<uint64_t> offsets;
    std::vector<uint64_t> byte_counts;  // empty when the file gives none
    std::vector<uint64_t> extra_samples;
    std::vector<uint16_t> colour_map;
    std::vector<uint8_t> jpeg_tables;
    uint64_t jpeg_interchange = 0;  // old-style JPEG data, 0 when absent
    bool has_jpeg_interchange = false;
    // Old-style JPEG tables kept in tags: per component, 64 quantisation values, and Huffman
    // tables as 16 counts followed by their values.
    std::vector<std::vector<uint8_t>> old_jpeg_q, old_jpeg_dc, old_jpeg_ac;
    uint32_t old_jpeg_restart = 0;
    double ycbcr_coefficients[3] = {0.299, 0.587, 0.114};
    double reference_black_white[6] = {0, 255, 128, 255, 128, 255};
    uint32_t subsampling_h = 1;
    uint32_t subsampling_v = 1;
    double x_resolution = 0, y_resolution = 0;  // 0 when absent
    bool raw_samples = false;
};

// Fills the page from its directory; arrays whose values lie outside the file stay empty.
void tiff_page_parse(const TiffFile& file, const TiffDirectory& directory, TiffPage* page);
