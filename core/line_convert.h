// The small converters behind the loading pipeline: line unpackers (a file's line into whole-byte
// samples), line stores (those samples into a picture row in the requested type and channel
// order) and palette converters (a file's colour table into the planar colour map).
#pragma once

#include <cstdint>

// Layout flags that pick the unpacker; see HeaderInfo.
enum : uint32_t {
    LAYOUT_INTERLEAVED_PLANES = 0x1,
    LAYOUT_BYTE_PER_PIXEL = 0x2,
    LAYOUT_PLANAR = 0x4,
    LAYOUT_REVERSED = 0x8,
    LAYOUT_ALPHA_FIRST = 0x10,
    LAYOUT_BGRA = 0x20,
    LAYOUT_565 = 0x100,
    LAYOUT_15_RED_LOW = 0x200,
    LAYOUT_444_HIGH = 0x400,
    LAYOUT_444_LOW = 0x800,
    LAYOUT_555_GREEN_6 = 0x1000,
    LAYOUT_555_HIGH = 0x2000,
};

// What an unpacked line holds per pixel.
enum SampleKind {
    SAMPLES_BITS,   // packed bits, most significant first (bilevel results)
    SAMPLES_BYTE,   // one byte: an index, a grey level or a bit value 0/1
    SAMPLES_RGB,    // R, G, B
    SAMPLES_RGBA,   // R, G, B, A (or C, M, Y, K)
    SAMPLES_RAW,    // the file's own bytes (native results)
    SAMPLES_PLANE,  // one plane's line of a planar file, unchanged
};

struct LineLayout {
    uint32_t flags;
    int planes;
    int bits;        // per plane, or per component when components >= 1
    int components;  // 0: samples are described by planes x bits
    int width;
    int bytes_per_plane_line;
};

using LineUnpacker = void (*)(const LineLayout& layout, const uint8_t* in, uint8_t* out);

// Bytes one file line occupies in the reader's buffer.
int64_t line_input_bytes(const LineLayout& layout);
// Bytes one plane's line must have for its unpacker to stay inside it.
int64_t plane_line_bytes_needed(const LineLayout& layout);
// Chooses the unpacker once per load; `bilevel_result` keeps 1-bit lines packed.
LineUnpacker line_unpacker_for(const LineLayout& layout, bool bilevel_result, SampleKind* kind);
// True for the unpackers that copy a line as it is.
bool line_unpacker_copies(LineUnpacker unpacker);
int sample_bytes(SampleKind kind, const LineLayout& layout);

// Targets of a line store.
enum StoreTarget { STORE_BILEVEL, STORE_BYTE, STORE_THREE, STORE_FOUR, STORE_NATIVE };

struct StoreSpec {
    StoreTarget target;
    SampleKind source;
    int channel_order;      // 0 RGB/RGBA, 1 BGR/ABGR, 2 BGR/BGRA, 3 BGR/ARGB
    uint8_t default_alpha;
    int width;
    int native_bytes;       // bytes of one native line
};

using LineStore = void (*)(const StoreSpec& spec, const uint8_t* in, uint8_t* row);
LineStore line_store_for(const StoreSpec& spec);
// True when the store is a plain copy, so that lines can be unpacked straight into the row.
bool line_store_copies(const StoreSpec& spec);

// Byte positions of R, G, B and A within a pixel of the requested order.
struct ChannelPositions {
    int r, g, b, a;
};
ChannelPositions channel_positions(int bytes_per_pixel, int channel_order);

// Planar files: one plane's line goes to its channel. For 1-bit planes the bit of each pixel
// becomes bit `plane` of its index (plane 0 clears the row).
void store_plane_bits(const uint8_t* plane_line, uint8_t* row, int width, int plane);
void store_plane_bytes(const uint8_t* plane_line, uint8_t* row, int width, int offset, int bytes_per_pixel);

// Reverses a line of `count` pixels of `pixel_bytes` bytes (0: packed bits) in place.
void reverse_line(uint8_t* line, int count, int pixel_bytes);

// Palette kinds (load_end's palette kind); 0: three bytes R, G, B.
enum : uint32_t {
    PALETTE_NEGATIVE = 0x1,
    PALETTE_ATARI = 0x2,
    PALETTE_ATARI_STE = 0x4,
    PALETTE_444 = 0x8,
    PALETTE_PLANES_16 = 0x10,
    PALETTE_BGR = 0x200,
    PALETTE_RGBX = 0x400,
    PALETTE_XBGR = 0x800,
    PALETTE_BGRX = 0x1000,
};

// Bytes a palette of `entries` entries in the layout `kind` names takes in the file's table.
int palette_bytes(uint32_t kind, int entries);
// Converts `entries` file palette entries into the 1024-byte planar colour map.
void palette_to_map(uint32_t kind, int bits, const uint8_t* palette, int entries, uint8_t map[1024]);
