#include "formats/jpeg/jpeg_glue.h"

#include <jerror.h>

namespace {

JpegError* error_of(j_common_ptr cinfo) { return reinterpret_cast<JpegError*>(cinfo->err); }

void reading_error_exit(j_common_ptr cinfo)
{
    JpegError* e = error_of(cinfo);
    switch (e->manager.msg_code) {
    case JERR_SOF_UNSUPPORTED: e->status = STATUS_CORRUPT; break;
    case JERR_OUT_OF_MEMORY:
    case JERR_NO_BACKING_STORE: e->status = STATUS_NO_MEMORY; break;
    default: e->status = STATUS_UNKNOWN_FORMAT; break;
    }
    std::longjmp(e->jump, 1);
}

void reading_message(j_common_ptr cinfo, int level)
{
    JpegError* e = error_of(cinfo);
    if (level < 0 && e->manager.msg_code == JWRN_JPEG_EOF) {
        if (e->defer_end) {
            e->ended_early = 1;
            return;
        }
        e->status = STATUS_INCOMPLETE;
        std::longjmp(e->jump, 1);
    }
}

void writing_error_exit(j_common_ptr cinfo)
{
    JpegError* e = error_of(cinfo);
    e->status = STATUS_CODEC_ERROR;
    std::longjmp(e->jump, 1);
}

void quiet_output(j_common_ptr) {}

const JOCTET fake_end[2] = {0xFF, JPEG_EOI};

void source_init(j_decompress_ptr) {}
void source_term(j_decompress_ptr) {}

boolean stream_fill(j_decompress_ptr cinfo)
{
    auto* s = reinterpret_cast<JpegStreamSource*>(cinfo->src);
    const size_t got = stream_read(s->stream, s->buffer, JPEG_SOURCE_BLOCK);
    if (got == 0) {
        if (!s->started) ERREXIT(cinfo, JERR_INPUT_EMPTY);
        WARNMS(cinfo, JWRN_JPEG_EOF);
        // Should decoding go on after the warning, it meets an end-of-image marker.
        s->manager.next_input_byte = fake_end;
        s->manager.bytes_in_buffer = 2;
        return TRUE;
    }
    s->started = true;
    s->manager.next_input_byte = s->buffer;
    s->manager.bytes_in_buffer = got;
    return TRUE;
}

void stream_skip(j_decompress_ptr cinfo, long count)
{
    jpeg_source_mgr* m = cinfo->src;
    if (count <= 0) return;
    while (count > static_cast<long>(m->bytes_in_buffer)) {
        count -= static_cast<long>(m->bytes_in_buffer);
        m->fill_input_buffer(cinfo);
        if (m->next_input_byte == fake_end) return;  // nothing left to skip over
    }
    m->next_input_byte += count;
    m->bytes_in_buffer -= static_cast<size_t>(count);
}

boolean memory_fill(j_decompress_ptr cinfo)
{
    WARNMS(cinfo, JWRN_JPEG_EOF);
    cinfo->src->next_input_byte = fake_end;
    cinfo->src->bytes_in_buffer = 2;
    return TRUE;
}

void destination_init(j_compress_ptr cinfo)
{
    auto* d = reinterpret_cast<JpegStreamDestination*>(cinfo->dest);
    d->manager.next_output_byte = d->buffer;
    d->manager.free_in_buffer = JPEG_SOURCE_BLOCK;
}

boolean destination_empty(j_compress_ptr cinfo)
{
    auto* d = reinterpret_cast<JpegStreamDestination*>(cinfo->dest);
    if (stream_write(d->stream, d->buffer, JPEG_SOURCE_BLOCK) != JPEG_SOURCE_BLOCK) d->failed = true;
    d->manager.next_output_byte = d->buffer;
    d->manager.free_in_buffer = JPEG_SOURCE_BLOCK;
    return TRUE;
}

void destination_term(j_compress_ptr cinfo)
{
    auto* d = reinterpret_cast<JpegStreamDestination*>(cinfo->dest);
    const size_t left = JPEG_SOURCE_BLOCK - d->manager.free_in_buffer;
    if (left && stream_write(d->stream, d->buffer, left) != left) d->failed = true;
}

}  // namespace

jpeg_error_mgr* jpeg_reading_errors(JpegError* e)
{
    jpeg_std_error(&e->manager);
    e->manager.error_exit = reading_error_exit;
    e->manager.emit_message = reading_message;
    e->manager.output_message = quiet_output;
    e->status = STATUS_OK;
    e->defer_end = 0;
    e->ended_early = 0;
    return &e->manager;
}

jpeg_error_mgr* jpeg_writing_errors(JpegError* e)
{
    jpeg_std_error(&e->manager);
    e->manager.error_exit = writing_error_exit;
    e->manager.output_message = quiet_output;
    e->status = STATUS_OK;
    return &e->manager;
}

void jpeg_stream_source(j_decompress_ptr cinfo, JpegStreamSource* s, Stream* stream)
{
    s->manager.init_source = source_init;
    s->manager.fill_input_buffer = stream_fill;
    s->manager.skip_input_data = stream_skip;
    s->manager.resync_to_restart = jpeg_resync_to_restart;
    s->manager.term_source = source_term;
    s->manager.bytes_in_buffer = 0;
    s->manager.next_input_byte = nullptr;
    s->stream = stream;
    s->started = false;
    cinfo->src = &s->manager;
}

void jpeg_memory_source(j_decompress_ptr cinfo, JpegMemorySource* s, const uint8_t* bytes, size_t length)
{
    s->manager.init_source = source_init;
    s->manager.fill_input_buffer = memory_fill;
    s->manager.skip_input_data = stream_skip;
    s->manager.resync_to_restart = jpeg_resync_to_restart;
    s->manager.term_source = source_term;
    s->manager.bytes_in_buffer = length;
    s->manager.next_input_byte = bytes;
    cinfo->src = &s->manager;
}

void jpeg_stream_destination(j_compress_ptr cinfo, JpegStreamDestination* d, Stream* stream)
{
    d->manager.init_destination = destination_init;
    d->manager.empty_output_buffer = destination_empty;
    d->manager.term_destination = destination_term;
    d->stream = stream;
    d->failed = false;
    cinfo->dest = &d->manager;
}
