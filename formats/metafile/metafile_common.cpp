#include <algorithm>

#include "formats/common/stream_bytes.h"
#include "formats/metafile/metafile_codec.h"

MetafileKind metafile_kind(const uint8_t* head, size_t size)
{
    if (size >= 44 && le32_at(head + 40) == METAFILE_ENHANCED_SIGNATURE) return MetafileKind::Enhanced;
    if (size >= 4 && le32_at(head) == METAFILE_PLACEABLE_KEY) return MetafileKind::Placeable;
    return MetafileKind::Plain;
}

void metafile_fit(int width, int height, int box_width, int box_height, int* out_width, int* out_height)
{
    int w = box_width, h = box_height;
    if (width > 0 && height > 0) {
        if (int64_t{width} * box_height > int64_t{height} * box_width)
            h = static_cast<int>(int64_t{height} * box_width / width);
        else
            w = static_cast<int>(int64_t{width} * box_height / height);
    }
    *out_width = w < 1 ? 1 : w;
    *out_height = h < 1 ? 1 : h;
}

namespace {

constexpr size_t WMF_HEADER = 18;
constexpr uint16_t WMF_END = 0x0000;
constexpr uint16_t WMF_POLYGON = 0x0324;
constexpr uint16_t WMF_POLYLINE = 0x0325;
constexpr uint16_t WMF_TEXT_OUT = 0x0521;
constexpr uint16_t WMF_POLY_POLYGON = 0x0538;
constexpr uint16_t WMF_EXT_TEXT_OUT = 0x0A32;

// Whether the counts inside a record (`p`, `n` bytes of parameters) stay inside it.
bool wmf_record_fits(uint16_t function, const uint8_t* p, size_t n)
{
    switch (function) {
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
    case WMF_EXT_TEXT_OUT: {
        if (n < 8) return false;
        const size_t count = le16_at(p + 4);
        const bool rectangle = le16_at(p + 6) & 0x0006;  // opaque or clipped
        return 8 + (rectangle ? 8 : 0) + count <= n;
    }
    default: return true;
    }
}

void put_le16(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void put_le32(uint8_t* p, uint32_t v)
{
    put_le16(p, v & 0xFFFF);
    put_le16(p + 2, v >> 16);
}

}  // namespace

std::vector<uint8_t> wmf_sound_records(const uint8_t* data, size_t size, bool* whole)
{
    *whole = false;
    if (size < WMF_HEADER || le16_at(data + 2) != 9) return {};
    size_t at = WMF_HEADER;
    uint32_t largest = 3;
    bool ended = false;
    while (size - at >= 6) {
        const uint64_t bytes = 2 * uint64_t{le32_at(data + at)};
        const uint16_t function = le16_at(data + at + 4);
        if (bytes < 6 || bytes > size - at || !wmf_record_fits(function, data + at + 6, static_cast<size_t>(bytes) - 6)) break;
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
    put_le32(out.data() + 6, static_cast<uint32_t>(out.size() / 2));
    put_le32(out.data() + 12, largest);
    return out;
}

bool wmf_signature(const uint8_t* head, size_t size)
{
    if (size >= 4 && le32_at(head) == METAFILE_PLACEABLE_KEY) return true;
    // A plain metafile's header: type 1 (memory) or 2 (disk), then its size of 9 words.
    return size >= 4 && (le16_at(head) == 1 || le16_at(head) == 2) && le16_at(head + 2) == 9;
}

bool emf_signature(const uint8_t* head, size_t size)
{
    // The header record (type 1) holds the signature at offset 40.
    return size >= 44 && le32_at(head) == 1 && le32_at(head + 40) == METAFILE_ENHANCED_SIGNATURE;
}

#if !defined(_WIN32)

bool metafile_supported() { return false; }
Status metafile_read(Stream*, LoadContext*) { return STATUS_UNKNOWN_FORMAT; }
Status emf_write(const char*, SaveContext*) { return STATUS_NO_WRITER; }
void emf_writable_types(WritableType list[FORMAT_WRITABLE_MAX]) { list[0].type = WRITABLE_END; }
void metafile_set_readback_bits(int) {}

#endif
