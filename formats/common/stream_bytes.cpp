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

template <size_t N>
Status read_bytes(Stream* stream, uint8_t (&bytes)[N])
{
    if (stream_read(stream, bytes, N) == N) return STATUS_OK;
    for (uint8_t& b : bytes) b = 0;
    return STATUS_INCOMPLETE;
}

}  // namespace

Status stream_get_u16le(Stream* stream, uint16_t* out)
{
    uint8_t b[2];
    const Status s = read_bytes(stream, b);
    *out = le16_at(b);
    return s;
}

Status stream_get_u16be(Stream* stream, uint16_t* out)
{
    uint8_t b[2];
    const Status s = read_bytes(stream, b);
    *out = be16_at(b);
    return s;
}

Status stream_get_u32le(Stream* stream, uint32_t* out)
{
    uint8_t b[4];
    const Status s = read_bytes(stream, b);
    *out = le32_at(b);
    return s;
}

Status stream_get_u32be(Stream* stream, uint32_t* out)
{
    uint8_t b[4];
    const Status s = read_bytes(stream, b);
    *out = be32_at(b);
    return s;
}
