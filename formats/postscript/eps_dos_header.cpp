#include "formats/postscript/eps_dos_header.h"

#include <cstring>

#include "formats/common/stream_bytes.h"

bool eps_dos_header_parse(const uint8_t* head, size_t size, EpsDosHeader* out)
{
    if (size < EPS_DOS_HEADER_SIZE || le32_at(head) != EPS_DOS_SIGNATURE) return false;
    out->ps_offset = le32_at(head + 4);
    out->ps_length = le32_at(head + 8);
    out->tiff_offset = le32_at(head + 20);
    out->tiff_length = le32_at(head + 24);
    return true;
}

std::vector<uint8_t> eps_preview_photoshop(const uint8_t* tiff, size_t size)
{
    static const char PREFIX[] = "Photoshop 3.0";  // with its zero byte
    std::vector<uint8_t> chunk;
    if (size < 8 || tiff[0] != 'I' || tiff[1] != 'I' || le16_at(tiff + 2) != 42) return chunk;
    const uint32_t directory = le32_at(tiff + 4);
    if (directory > size - 2) return chunk;
    const uint32_t entries = le16_at(tiff + directory);
    // Each entry's 12 bytes must lie inside the preview; the count is only 16 bits wide.
    if ((size - directory - 2) / 12 < entries) return chunk;
    for (uint32_t i = 0; i < entries; ++i) {
        const uint8_t* entry = tiff + directory + 2 + 12 * i;
        if (le16_at(entry) != EPS_PHOTOSHOP_TAG) continue;
        const uint16_t type = le16_at(entry + 2);
        const uint32_t count = le32_at(entry + 4);
        // Bytes (1), undefined (7) or longs (4) all hold the resource block byte for byte.
        const uint64_t length = type == 4 ? uint64_t{count} * 4 : count;
        const uint8_t* data;
        if (length <= 4) {
            data = entry + 8;
        } else {
            const uint32_t offset = le32_at(entry + 8);
            if (offset > size || length > size - offset) return chunk;
            data = tiff + offset;
        }
        chunk.resize(sizeof PREFIX + length);
        std::memcpy(chunk.data(), PREFIX, sizeof PREFIX);
        std::memcpy(chunk.data() + sizeof PREFIX, data, length);
        return chunk;
    }
    return chunk;
}
