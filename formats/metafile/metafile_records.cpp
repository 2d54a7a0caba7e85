// Metafile records checked before the system plays them. The system trusts every size and
// index a metafile holds; a damaged file (or, under Wine, a stock brush where a region is filled)
// would have it read outside the data. Window-free, so it is tested everywhere.
#include <algorithm>
#include <cstdlib>
#include <initializer_list>

#include "formats/common/stream_bytes.h"
#include "formats/metafile/metafile_codec.h"

namespace {

// --- plain metafiles ----------------------------------------------------------------------------

constexpr size_t WMF_HEADER = 18;
constexpr uint16_t WMF_END = 0x0000;
constexpr uint16_t WMF_POLYGON = 0x0324;
constexpr uint16_t WMF_POLYLINE = 0x0325;
constexpr uint16_t WMF_TEXT_OUT = 0x0521;
constexpr uint16_t WMF_POLY_POLYGON = 0x0538;
constexpr uint16_t WMF_EXT_TEXT_OUT = 0x0A32;
constexpr uint16_t WMF_ESCAPE = 0x0626;

// Whether the counts inside a record (`p`, `n` bytes of parameters) stay inside it, and the
// objects it names inside the file's table of `objects`.
bool wmf_record_fits(uint16_t function, const uint8_t* p, size_t n, uint32_t objects)
{
    switch (function) {
    case 0x012A: case 0x012B: case 0x012C: case 0x012D: case 0x01F0: case 0x0234:
        // invert, paint and select a region, select and delete an object, select a palette
        return n >= 2 && le16_at(p) < objects;
    case 0x0228: case 0x0429:  // fill and frame a region: the region, then the brush
        return n >= 4 && le16_at(p) < objects && le16_at(p + 2) < objects;
    case WMF_POLYGON:
    case WMF_POLYLINE: return n >= 2 && 2 + 4 * size_t{le16_at(p)} <= n;
    case WMF_POLY_POLYGON: {
        if (n < 2) return false;
        const size_t polygons = le16_at(p);
        if (2 + 2 * polygons > n) return false;
        size_t points = 0;
        for (size_t i = 0; i < polygons; ++i) points += le16_at(p + 2 + 2 * i);
        return 2 + 2 * polygons + 4 * points <= n;
    }
    case WMF_TEXT_OUT: return n >= 2 && 2 + ((size_t{le16_at(p)} + 1) & ~size_t{1}) + 4 <= n;
    case WMF_ESCAPE: return n >= 4 && 4 + size_t{le16_at(p + 2)} <= n;  // function, byte count, bytes
    case WMF_EXT_TEXT_OUT: {
        if (n < 8) return false;
        const size_t count = le16_at(p + 4);
        const bool rectangle = le16_at(p + 6) & 0x0006;  // opaque or clipped
        return 8 + (rectangle ? 8 : 0) + count <= n;
    }
    default: return true;
    }
}


// --- enhanced metafiles --------------------------------------------------------------------------

constexpr size_t EMF_HEADER_MIN = 88;
constexpr uint32_t EMF_RECORD_HEADER = 1;
constexpr uint32_t EMF_RECORD_END = 14;
constexpr uint32_t EMF_SELECT_OBJECT = 37;
constexpr uint32_t EMF_SELECT_PALETTE = 48;
constexpr uint32_t EMF_CREATE_BRUSH = 39;
constexpr uint32_t EMF_DELETE_OBJECT = 40;
constexpr uint32_t EMF_FILL_REGION = 71;
constexpr uint32_t EMF_FRAME_REGION = 72;
constexpr uint32_t STOCK_OBJECT = 0x80000000;

// Records whose first parameter is an index into the metafile's table of objects.
bool names_an_object(uint32_t type)
{
    switch (type) {
    case 37: case 38: case 39: case 40: case 48: case 49: case 50: case 51: case 82: case 93: case 94:
    case 95: case 99: case 100: case 101: case 122: return true;
    default: return false;
    }
}

// Whether the points, polygons, characters and bitmaps a record (`r`, `n` bytes with its type
// and size) counts lie inside it. Offsets count from the record's start.
bool emf_record_fits(uint32_t type, const uint8_t* r, uint64_t n)
{
    auto points = [&](uint64_t point_bytes, uint64_t extra_per_point) {
        return n >= 28 && 28 + (point_bytes + extra_per_point) * le32_at(r + 24) <= n;
    };
    auto polygons = [&](uint64_t point_bytes) {
        if (n < 32) return false;
        const uint64_t count = le32_at(r + 24), total = le32_at(r + 28);
        if (32 + 4 * count + point_bytes * total > n) return false;
        uint64_t sum = 0;
        for (uint64_t i = 0; i < count; ++i) sum += le32_at(r + 32 + 4 * i);
        return sum <= total;
    };
    auto inside = [&](uint64_t offset, uint64_t bytes) { return bytes == 0 || (offset >= 8 && offset <= n && bytes <= n - offset); };
    // A bitmap given as header and bits: both inside, and the bits as many as its lines need.
    auto bitmap = [&](uint64_t at) {
        if (n < at + 16) return false;
        const uint64_t header_at = le32_at(r + at), header = le32_at(r + at + 4);
        const uint64_t bits_at = le32_at(r + at + 8), bits = le32_at(r + at + 12);
        if (!inside(header_at, header) || !inside(bits_at, bits)) return false;
        if (header < 40 || bits == 0) return true;
        const uint8_t* h = r + header_at;
        const uint32_t compression = le32_at(h + 16);
        if (compression != 0 && compression != 3) return true;  // compressed bits carry their own size
        const uint64_t width = static_cast<uint64_t>(std::abs(int64_t{static_cast<int32_t>(le32_at(h + 4))}));
        const uint64_t height = static_cast<uint64_t>(std::abs(int64_t{static_cast<int32_t>(le32_at(h + 8))}));
        const uint64_t row = (width * le16_at(h + 14) + 31) / 32 * 4;
        return row == 0 || height <= bits / row;  // a product could pass 64 bits
    };
    switch (type) {
    case 2: case 3: case 4: case 5: case 6: return points(8, 0);        // poly-Béziers, polygons, polylines
    case 85: case 86: case 87: case 88: case 89: return points(4, 0);   // the same with 16-bit points
    case 56: return points(8, 1);                                        // poly-draw: points and their kinds
    case 92: return points(4, 1);
    case 7: case 8: return polygons(8);                                  // poly-polylines and poly-polygons
    case 90: case 91: return polygons(4);
    case 83: case 84: {                                                  // text, 8- and 16-bit characters
        if (n < 76) return false;
        const uint64_t characters = le32_at(r + 44), string_at = le32_at(r + 48), widths_at = le32_at(r + 72);
        return inside(string_at, characters * (type == 84 ? 2 : 1)) && (widths_at == 0 || inside(widths_at, 4 * characters));
    }
    case 76: case 77: case 78: case 114: case 116: return bitmap(84);  // block transfers from a bitmap
    case 79: return bitmap(96);
    case 80: case 81: return bitmap(48);                                 // device-independent bits drawn
    case 93: case 94: return bitmap(16);                                 // brushes made of a bitmap
    default: return true;
    }
}

// The stock brushes a region may be filled or framed with: their style and colour.
bool stock_brush(uint32_t index, uint32_t* style, uint32_t* colour)
{
    static const uint32_t colours[5] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000};
    const uint32_t n = index & ~STOCK_OBJECT;
    if (n < 5) {
        *style = 0;  // solid
        *colour = colours[n];
        return true;
    }
    if (n == 5) {  // the hollow brush
        *style = 1;
        *colour = 0;
        return true;
    }
    return false;
}

void append_record(std::vector<uint8_t>& out, std::initializer_list<uint32_t> words)
{
    for (uint32_t w : words) {
        const size_t at = out.size();
        out.resize(at + 4);
        put_le32_at(out.data() + at, w);
    }
}

}  // namespace

std::vector<uint8_t> wmf_sound_records(const uint8_t* data, size_t size, bool* whole)
{
    *whole = false;
    if (size < WMF_HEADER || le16_at(data + 2) != 9) return {};
    const uint32_t objects = le16_at(data + 10);
    size_t at = WMF_HEADER;
    uint32_t largest = 3;
    bool ended = false;
    while (size - at >= 6) {
        const uint64_t bytes = 2 * uint64_t{le32_at(data + at)};
        const uint16_t function = le16_at(data + at + 4);
        if (bytes < 6 || bytes > size - at || !wmf_record_fits(function, data + at + 6, static_cast<size_t>(bytes) - 6, objects)) break;
        largest = std::max(largest, static_cast<uint32_t>(bytes / 2));
        at += static_cast<size_t>(bytes);
        if (function == WMF_END) {
            ended = true;
            break;
        }
    }
    std::vector<uint8_t> out(data, data + at);
    if (!ended) out.insert(out.end(), {3, 0, 0, 0, 0, 0});
    *whole = ended;
    put_le32_at(out.data() + 6, static_cast<uint32_t>(out.size() / 2));
    put_le32_at(out.data() + 12, largest);
    return out;
}


std::vector<uint8_t> emf_sound_records(const uint8_t* data, size_t size, bool* whole)
{
    *whole = false;
    if (size < EMF_HEADER_MIN || le32_at(data) != EMF_RECORD_HEADER || le32_at(data + 40) != METAFILE_ENHANCED_SIGNATURE) return {};
    const uint32_t header = le32_at(data + 4);
    if (header < EMF_HEADER_MIN || header % 4 || header > size) return {};
    std::vector<uint8_t> out(data, data + header);
    uint32_t handles = le16_at(data + 48 + 8);  // nHandles, after nBytes and nRecords
    const uint32_t table = std::max<uint32_t>(handles, 1);
    const uint32_t slot = table;  // where stock brushes are remade: one past the table
    uint32_t records = 1;
    bool damaged = false;
    size_t at = header;
    while (size - at >= 8) {
        const uint32_t type = le32_at(data + at);
        const uint32_t bytes = le32_at(data + at + 4);
        if (bytes < 8 || bytes % 4 || bytes > size - at) break;
        const uint8_t* r = data + at;
        at += bytes;
        if (type == EMF_RECORD_END) {
            out.insert(out.end(), r, r + bytes);
            ++records;
            *whole = true;
            break;
        }
        // A damaged record is left out and the drawing goes on; the load says it was damaged.
        if (!emf_record_fits(type, r, bytes)) {
            damaged = true;
            continue;
        }
        if (names_an_object(type)) {
            // Only selecting takes a stock object; any other index must lie inside the table.
            const uint32_t index = bytes >= 12 ? le32_at(r + 8) : table;
            const bool selects = type == EMF_SELECT_OBJECT || type == EMF_SELECT_PALETTE;
            if (index & STOCK_OBJECT ? !selects : index >= table) {
                damaged = true;
                continue;
            }
        }
        uint32_t style = 0, colour = 0;
        if ((type == EMF_FILL_REGION || type == EMF_FRAME_REGION) && bytes >= 32 && (le32_at(r + 28) & STOCK_OBJECT)) {
            // A region filled or framed with a stock brush: the same brush made as an object of
            // the file's own, in a slot added to its table (of at most 65535), and deleted after.
            if (slot > 0xFFFE || !stock_brush(le32_at(r + 28), &style, &colour)) {
                damaged = true;
                continue;
            }
            append_record(out, {EMF_CREATE_BRUSH, 24, slot, style, colour, 0});
            const size_t start = out.size();
            out.insert(out.end(), r, r + bytes);
            put_le32_at(out.data() + start + 28, slot);
            append_record(out, {EMF_DELETE_OBJECT, 12, slot});
            handles = std::max(handles, slot + 1);
            records += 3;
            continue;
        }
        out.insert(out.end(), r, r + bytes);
        ++records;
    }
    if (!*whole) {
        append_record(out, {EMF_RECORD_END, 20, 0, 16, 20});
        ++records;
    }
    if (damaged) *whole = false;
    put_le32_at(out.data() + 48, static_cast<uint32_t>(out.size()));
    put_le32_at(out.data() + 52, records);
    put_le16_at(out.data() + 56, handles);
    return out;
}
