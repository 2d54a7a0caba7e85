// The loading pipeline: parameters, file information, and the calls a reader makes.
#pragma once

#include <cstdint>

#include "core/picture.h"
#include "core/status.h"
#include "core/stream.h"

enum : uint32_t {
    LOAD_VERBOSE = 0x1,
    LOAD_WANT_COLOUR = 0x2,
    LOAD_DEEP_AS_RGB = 0x4,
    LOAD_WANT_ALPHA = 0x8,
    LOAD_PROGRESS_DASHES = 0x100,
    LOAD_ACCEPT_DAMAGED = 0x400,
    LOAD_PREVIEW = 0x800,
    LOAD_KNOWN_EXTENSION = 0x1000,
    LOAD_PREVIEW_MARK = 0x8000,  // set by load_picture with LOAD_PREVIEW, read by the PostScript reader
    LOAD_KEEP_COMMENT = 0x10000,
    LOAD_KEEP_TEXTS = 0x20000,
    LOAD_KEEP_CHUNKS = 0x40000,
    LOAD_BILEVEL_AS_GREY = 0x80000,
    LOAD_KEEP_CMYK = 0x100000,
    LOAD_NATIVE = 0x200000,
    LOAD_FAST_DECODE = 0x1000000,
};

// Line layout flags of HeaderInfo the pipeline interprets itself; the other low bits pick the
// line unpacker.
enum : uint32_t {
    HEADER_PLANAR = 0x4,
    HEADER_CMYK_INVERTED = 0x4000,
    HEADER_CMYK = 0x8000,
    HEADER_LAB = 0x20000,
    HEADER_LAB_ALT = 0x40000,
    HEADER_LAB_SIGNED = 0x80000,
    HEADER_LAB_SIGNED_ALT = 0x100000,
    HEADER_SELF_REDUCING = 0x400000,
};

enum : uint16_t {
    COMPRESSION_NONE = 0,
    COMPRESSION_RLE = 1,
    COMPRESSION_LZW = 2,
    COMPRESSION_JPEG = 3,
    COMPRESSION_ZIP = 4,
    COMPRESSION_SGI_RLE = 5,
    COMPRESSION_CCITT_RLE = 6,
    COMPRESSION_CCITT_G3 = 7,
    COMPRESSION_CCITT_G3_2D = 8,
    COMPRESSION_CCITT_G4 = 9,
    COMPRESSION_WAVELET = 10,
    COMPRESSION_TEXT = 255,
};

const char* compression_name(uint16_t code, const char* header_text);
const char* colour_model_name(uint16_t code);

constexpr int LOAD_MESSAGE_MAX = 64;
constexpr int LOAD_TEXTS_MAX = 32;
// The largest palette a reader can hand over: 256 entries of the widest layout (16-bit planes).
constexpr int LOAD_PALETTE_BYTES = 256 * 6;

using LineCallback = int (*)(int line, int total, void* data);
using PixelAllocator = void* (*)(int width, int height, int components, int bits, int padding,
                                 int bytes_per_line, void* data);
using ProgressCallback = void (*)(int value, void* data);
using CancelCallback = int (*)(void* data);

// Field order and reserved bytes keep the offsets format plug-ins were built against
// (with 32-bit pointers).
struct LoadParams {
    uint16_t channel_order;  // 0 RGB/RGBA, 1 BGR/ABGR, 2 BGR/BGRA, 3 BGR/ARGB
    int16_t format_index;    // -1: recognise
    uint16_t origin;
    uint16_t reserved_6;
    uint32_t flags;
    int32_t image_index;
    uint16_t line_padding;
    uint8_t default_alpha;
    uint8_t reserved_19[5];
    uint32_t reduce_method;  // 2: averaging, else nearest pixel
    int32_t box_width;
    int32_t box_height;
    void* line_callback_data;
    LineCallback line_callback;
    uint8_t reserved_44[16];
    PixelAllocator pixel_allocator;
    void* allocator_data;
    ProgressCallback progress_callback;
    void* progress_data;
    CancelCallback cancel_callback;
    void* cancel_data;
    int32_t reserved_84;
    int32_t reserved_88;
    uint8_t reserved_92[9];
    uint8_t reserved_101;
    uint8_t flatten_palette_alpha;
    uint8_t flatten_alpha;
    uint8_t reserved_104;
    uint8_t scale_placeable;
    uint16_t render_resolution;
    int16_t render_width;
    int16_t render_height;
    uint8_t cie_colours;
    uint8_t reserved_113;
    uint8_t use_exif_thumbnail;
    uint8_t reserved_115;
    uint8_t reserved_116;
    uint8_t drop_fourth_channel;
    uint8_t reserved_118[2];
    float reserved_120;
    float reserved_124;
    float reserved_128;
    float reserved_132;
};

struct HeaderInfo {
    uint32_t layout_flags;
    uint16_t orientation;  // 0x10 bottom line first, 0x01 right to left
    uint16_t reserved_6;
    uint16_t lines_per_call;
    uint16_t reserved_10;
    uint8_t* line_buffer;  // set by load_begin
    int32_t width;
    int32_t height;
    int16_t planes;
    int16_t bits_per_plane;
    int16_t components;
    int16_t reserved_30;
    int32_t bytes_per_plane_line;
    uint32_t x_dpi;
    uint32_t y_dpi;
    int32_t full_width;
    int32_t full_height;
    int32_t full_bytes_per_line;
    uint16_t full_bits_per_component;
    uint16_t reserved_58;
    uint16_t full_components;
    uint16_t reserved_62;
    uint16_t compression;
    uint16_t colour_model;
    uint16_t transparent_index;
    char compression_text[160];
    char format_label[130];
};

#if UINTPTR_MAX == 0xFFFFFFFFu
#include <cstddef>
static_assert(offsetof(LoadParams, line_padding) == 16);
static_assert(offsetof(LoadParams, reduce_method) == 24);
static_assert(offsetof(LoadParams, line_callback) == 40);
static_assert(offsetof(LoadParams, pixel_allocator) == 60);
static_assert(offsetof(LoadParams, cancel_data) == 80);
static_assert(offsetof(LoadParams, reserved_101) == 101);
static_assert(offsetof(LoadParams, render_resolution) == 106);
static_assert(offsetof(LoadParams, use_exif_thumbnail) == 114);
static_assert(offsetof(LoadParams, drop_fourth_channel) == 117);
static_assert(offsetof(LoadParams, reserved_132) == 132);
static_assert(offsetof(HeaderInfo, line_buffer) == 12);
static_assert(offsetof(HeaderInfo, bytes_per_plane_line) == 32);
static_assert(offsetof(HeaderInfo, full_components) == 60);
static_assert(offsetof(HeaderInfo, transparent_index) == 68);
static_assert(offsetof(HeaderInfo, compression_text) == 70);
static_assert(offsetof(HeaderInfo, format_label) == 230);
#endif

struct FileInfo {
    uint32_t file_size;
    uint16_t format_index;
    uint16_t bits_per_component;
    uint16_t components;
    int32_t width;
    int32_t height;
    uint16_t planes;
    uint16_t bits_per_plane;
    int32_t bytes_per_plane_line;
    int16_t x_dpi;
    int16_t y_dpi;
    uint16_t compression;
    uint16_t colour_model;
    int32_t text_count;
    char* texts[LOAD_TEXTS_MAX];  // heap texts the caller takes over (file_info_free_texts)
    char format_label[200];
    char compression_text[160];
    char message[LOAD_MESSAGE_MAX];
    int32_t preview;  // 1 when a preview was delivered instead of the full picture
};

struct LoadConversion;  // the pipeline's working state between load_begin and load_end

struct LoadContext {
    LoadParams params;
    const char* file_name;
    Stream* stream;
    Picture* picture;
    FileInfo* info;
    uint32_t private_value;  // the registry row's value, for plug-in readers
    int32_t image_count;     // a reader of several-picture files stores how many it found
    int began;               // load_begin has been reached
    char message[LOAD_MESSAGE_MAX];
    char* comment;
    PictureChunk* chunks;
    int32_t text_count;
    char* texts[LOAD_TEXTS_MAX];
    LoadConversion* conversion;
    // The palette handed over with load_set_palette. Before load_begin only its address is kept
    // (the entry count depends on the depth the header declares); load_begin copies it.
    const uint8_t* palette_waiting;
    int32_t palette_held;  // the copy below is the reader's palette
    uint32_t palette_kind;
    int32_t palette_bits;
    uint8_t palette[LOAD_PALETTE_BYTES];
    int32_t row_index;  // the registry row whose reader runs (plug-in bridges find their library by it)
};

using FormatReader = Status (*)(Stream* stream, LoadContext* context);

void load_params_init(LoadParams* params);
Status load_picture(const char* file_name, Picture* picture, const LoadParams* params, FileInfo* info);
// Frees the keyed texts a load left in `info`.
void file_info_free_texts(FileInfo* info);

// Codec side, called by a reader in this order.
void header_init(HeaderInfo* header);
Status load_begin(LoadContext* context, HeaderInfo* header);
Status load_put_lines(LoadContext* context, int plane, int line, int count);
// Where a reader may write lines `line` to `line + count - 1` itself, bytes exactly as it would
// put them in its line buffer, one after the other: the picture's own rows when those lines reach
// it unchanged, so that no copy is made. Null when they do not (the reader uses its buffer).
uint8_t* load_lines_in_place(LoadContext* context, int line, int count);
// Hands on lines written where load_lines_in_place said, as load_put_lines does its buffer's.
Status load_put_lines_in_place(LoadContext* context, int line, int count);
// Finishes the picture. A null palette means the one handed over with load_set_palette, if any.
// Only the first call after load_begin does anything, and the recognition loop makes it for a
// reader that returns without it, whatever the status: a reader that stops early just returns.
Status load_end(LoadContext* context, uint32_t palette_kind, int palette_bits, const uint8_t* palette);
// Hands the file's colour table to the pipeline as soon as the reader has it (2 to the power
// planes x bits entries in the layout `kind` names), so that however the load ends the picture
// gets it. After load_begin it is copied at once; before, it must stay valid until load_begin,
// which copies it.
void load_set_palette(LoadContext* context, uint32_t kind, int bits, const uint8_t* palette);

void load_set_comment(LoadContext* context, const char* text, int length);
void load_add_text(LoadContext* context, const char* key, const char* text, int length);
void load_add_chunk(LoadContext* context, uint32_t kind, const uint8_t* bytes, uint32_t size);
Status load_read_comment(Stream* stream, LoadContext* context, int length);
Status load_read_text(Stream* stream, LoadContext* context, const char* key, int length);

// Writes the reader's one-line message ("Pcx : Bad picture's size !") and returns `status`, so a
// reader can write `return load_fail(ctx, STATUS_BAD_HEADER, "...")`.
Status load_fail(LoadContext* context, Status status, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;
