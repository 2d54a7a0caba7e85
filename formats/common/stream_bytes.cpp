#include "formats/common/stream_bytes.h"

#include <cstdio>

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
