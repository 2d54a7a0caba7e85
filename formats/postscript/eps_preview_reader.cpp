// The TIFF preview a DOS EPS file carries beside its PostScript text: read without rendering.
#include <algorithm>
#include <cstdlib>

#include "formats/common/stream_bytes.h"
#include "formats/postscript/eps_dos_header.h"
#include "formats/postscript/ps_codec.h"
#include "formats/postscript/ps_support.h"
#include "formats/tiff/tiff_codec.h"

Status eps_preview_read(Stream* s, LoadContext* ctx)
{
    uint8_t head[EPS_DOS_HEADER_SIZE];
    EpsDosHeader dos;
    const size_t got = stream_read(s, head, sizeof head);
    if (!eps_dos_header_parse(head, got, &dos) || dos.tiff_offset == 0 || dos.tiff_length == 0 ||
        dos.tiff_offset >= s->size)
        return STATUS_UNKNOWN_FORMAT;
    const int64_t length = std::min<int64_t>(dos.tiff_length, s->size - dos.tiff_offset);
    uint8_t* tiff = nullptr;
    LUM_TRY(stream_seek_inside(s, dos.tiff_offset));
    LUM_TRY(stream_read_block(s, static_cast<size_t>(length), &tiff));
    // The TIFF reader's offsets count from the preview's first byte: it gets a file of its own.
    ScratchFile preview;
    FILE* out = preview.made() ? std::fopen(preview.name(), "wb") : nullptr;
    const bool written = out && std::fwrite(tiff, 1, static_cast<size_t>(length), out) == static_cast<size_t>(length);
    if (out) std::fclose(out);
    std::free(tiff);
    if (!written) return STATUS_OPEN_FAILED;
    Stream* stream = stream_open(preview.name(), STREAM_READ);
    if (!stream) return STATUS_UNKNOWN_FORMAT;
    const Status status = tiff_read_labelled(stream, ctx, "Encapsulated Postscript(Preview)");
    stream_close(stream);
    return status;
}

bool eps_preview_signature(const uint8_t* head, size_t size)
{
    return size >= 4 && le32_at(head) == EPS_DOS_SIGNATURE;
}
