// The file end of every writer: the file opened, the writer run on its stream, and a failed flush
// (a full disk shows there, not in the writes) turned into a failed save.
#pragma once

#include <cstdio>

#include "core/status.h"
#include "core/stream.h"

template <typename Write>
Status write_file_with(const char* file_name, Write write)
{
    Stream* out = stream_open(file_name, STREAM_WRITE);
    if (!out) return STATUS_CREATE_FAILED;
    Status status = write(out);
    if (status == STATUS_OK && std::fflush(out->file) != 0) status = STATUS_WRITE_FAILED;
    stream_close(out);
    return status;
}
