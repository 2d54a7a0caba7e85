#include "formats/common/stream_bytes.h"

#include <cstdio>
#include <cstdlib>

int64_t stream_bytes_left(Stream* stream)
{
    const int64_t left = stream->size - stream_tell(stream);
    return left > 0 ? left : 0;
}

Status stream_read_exact(Stream* stream, void* buffer, size_t count)
{
    return stream_read(stream, buffer, count) == count ? STATUS_OK : STATUS_INCOMPLETE;
}

Status stream_seek_inside(Stream* stream, int64_t offset)
{
    if (offset < 0 || offset > stream->size) return STATUS_INCOMPLETE;
    return stream_seek(stream, offset, SEEK_SET) == 0 ? STATUS_OK : STATUS_INCOMPLETE;
}

Status stream_skip_inside(Stream* stream, int64_t count)
{
    if (count < 0 || count > stream_bytes_left(stream)) return STATUS_INCOMPLETE;
    return stream_skip(stream, count) ? STATUS_INCOMPLETE : STATUS_OK;
}

Status stream_read_block(Stream* stream, size_t count, uint8_t** out)
{
    *out = nullptr;
    if (static_cast<uint64_t>(count) > static_cast<uint64_t>(stream_bytes_left(stream))) return STATUS_INCOMPLETE;
    auto* block = static_cast<uint8_t*>(std::malloc(count ? count : 1));
    if (!block) return STATUS_NO_MEMORY;
    if (stream_read(stream, block, count) != count) {
        std::free(block);
        return STATUS_INCOMPLETE;
    }
    *out = block;
    return STATUS_OK;
}

namespace {

// N bytes decoded by `decode`; a short read gives 0 and STATUS_INCOMPLETE.
template <typename T, size_t N, T (*decode)(const uint8_t*)>
Status get_number(Stream* stream, T* out)
{
    uint8_t bytes[N] = {};
    if (stream_read(stream, bytes, N) != N) {
        *out = 0;
        return STATUS_INCOMPLETE;
    }
    *out = decode(bytes);
    return STATUS_OK;
}

}  // namespace

Status stream_get_u16le(Stream* stream, uint16_t* out) { return get_number<uint16_t, 2, le16_at>(stream, out); }
Status stream_get_u16be(Stream* stream, uint16_t* out) { return get_number<uint16_t, 2, be16_at>(stream, out); }
Status stream_get_u32le(Stream* stream, uint32_t* out) { return get_number<uint32_t, 4, le32_at>(stream, out); }
Status stream_get_u32be(Stream* stream, uint32_t* out) { return get_number<uint32_t, 4, be32_at>(stream, out); }
