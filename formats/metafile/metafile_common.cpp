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
