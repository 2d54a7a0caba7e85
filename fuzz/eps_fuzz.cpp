// The EPS header walk: the DOS wrapper, the Photoshop resources of its TIFF preview, the preview
// read through the TIFF reader, and the PostScript rows up to the interpreter (kept out: its own
// parser is not ours to search, and it would slow every run).
#include <vector>

#include "formats/postscript/eps_dos_header.h"
#include "formats/postscript/ghostscript.h"
#include "fuzz/fuzz_load.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* d, size_t n)
{
    static const bool no_interpreter = (ghostscript_set_library_name("/nonexistent/libgs.so"), true);
    (void)no_interpreter;
    EpsDosHeader header;
    if (eps_dos_header_parse(d, n, &header) && header.tiff_offset < n) {
        const size_t length = header.tiff_length < n - header.tiff_offset ? header.tiff_length : n - header.tiff_offset;
        volatile size_t kept = eps_preview_photoshop(d + header.tiff_offset, length).size();
        (void)kept;
    }
    fuzz_load(d, n, "epsp", ".eps");
    return fuzz_load(d, n, "ps", ".ps");
}
