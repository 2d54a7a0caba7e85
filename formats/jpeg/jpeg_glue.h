// libjpeg's manager objects for the library: an error manager that jumps back with a status, a
// source manager over a Stream or a memory block, and a destination manager over a Stream.
// libjpeg reports errors by longjmp: everything here is plain C-like data, and the functions that
// set the jump point hold no object with a destructor.
#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include "core/status.h"
#include "core/stream.h"

struct JpegError {
    jpeg_error_mgr manager;  // first: libjpeg hands back a pointer to it
    jmp_buf jump;
    Status status;
    // While set, a premature end is only noted (in ended_early) and decoding goes on over the
    // fake end-of-image marker: a progressive file reads all its scans before the first line.
    int defer_end;
    int ended_early;
};

// Reading: error exit jumps with STATUS_CORRUPT for an unsupported process, STATUS_NO_MEMORY when
// libjpeg runs out of the memory it is allowed, else STATUS_UNKNOWN_FORMAT; the premature-end warning jumps with STATUS_INCOMPLETE; nothing is printed.
jpeg_error_mgr* jpeg_reading_errors(JpegError* error);
// Writing: any error exit jumps with STATUS_CODEC_ERROR.
jpeg_error_mgr* jpeg_writing_errors(JpegError* error);

constexpr size_t JPEG_SOURCE_BLOCK = 4096;

struct JpegStreamSource {
    jpeg_source_mgr manager;
    Stream* stream;
    bool started;
    JOCTET buffer[JPEG_SOURCE_BLOCK];
};
void jpeg_stream_source(j_decompress_ptr cinfo, JpegStreamSource* source, Stream* stream);

struct JpegMemorySource {
    jpeg_source_mgr manager;
};
void jpeg_memory_source(j_decompress_ptr cinfo, JpegMemorySource* source, const uint8_t* bytes, size_t length);

struct JpegStreamDestination {
    jpeg_destination_mgr manager;
    Stream* stream;
    bool failed;
    JOCTET buffer[JPEG_SOURCE_BLOCK];
};
void jpeg_stream_destination(j_compress_ptr cinfo, JpegStreamDestination* destination, Stream* stream);
