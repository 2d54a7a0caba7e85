// PDF: the file is copied to a temporary file while its page boxes are read, then rendered to an
// uncompressed 24-bit TIFF by the interpreter.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "formats/common/stream_bytes.h"
#include "formats/postscript/ghostscript.h"
#include "formats/postscript/ps_codec.h"
#include "formats/postscript/ps_support.h"
#include "formats/tiff/tiff_codec.h"

namespace {

constexpr int PDF_LINE_MAX = 1023;
constexpr const char* PDF_LABEL = "Portable Document Format";

// The page size in points, from the last sound "/MediaBox" of a line.
void read_media_box(const char* line, int* width, int* height)
{
    const char* box = std::strstr(line, "/MediaBox");
    if (!box) return;
    double x1, y1, x2, y2;
    if (std::sscanf(box, "/MediaBox [%lf %lf %lf %lf", &x1, &y1, &x2, &y2) != 4 &&
        std::sscanf(box, "/MediaBox[%lf %lf %lf %lf", &x1, &y1, &x2, &y2) != 4)
        return;
    if (!(x1 <= x2 && y1 <= y2) || x2 - x1 > 1e6 || y2 - y1 > 1e6) return;
    *width = static_cast<int>(x2 - x1) + (x2 != std::floor(x2) ? 1 : 0);
    *height = static_cast<int>(y2 - y1) + (y2 != std::floor(y2) ? 1 : 0);
}

Status read_tiff(Stream* s, LoadContext* ctx, const char* label, int) { return tiff_read_labelled(s, ctx, label); }

int pixels(int points, int resolution)
{
    const double p = points * static_cast<double>(resolution) / 72.0 - 0.5;
    return p < 0 ? 0 : static_cast<int>(p);
}

}  // namespace

Status pdf_read(Stream* s, LoadContext* ctx)
{
    char head[5];
    if (stream_read(s, head, 5) != 5 || std::memcmp(head, "%PDF-", 5) != 0) return STATUS_UNKNOWN_FORMAT;
    if (!ghostscript_available()) return STATUS_UNKNOWN_FORMAT;
    ScratchFile copy;
    if (!copy.made()) return STATUS_OPEN_FAILED;
    FILE* out = std::fopen(copy.name(), "wb");
    if (!out) return STATUS_OPEN_FAILED;
    stream_seek(s, 0, SEEK_SET);
    int width = 0, height = 0;
    char line[PDF_LINE_MAX + 1];
    int n = 0;
    for (int c; (c = stream_next_byte(s)) >= 0;) {
        line[n++] = static_cast<char>(c);
        if (c == '\n' || c == '\r' || n == PDF_LINE_MAX) {
            std::fwrite(line, 1, static_cast<size_t>(n), out);
            line[n] = 0;
            // Binary streams may hold zero bytes: a box after one is not looked for.
            read_media_box(line, &width, &height);
            n = 0;
        }
    }
    std::fwrite(line, 1, static_cast<size_t>(n), out);
    line[n] = 0;
    read_media_box(line, &width, &height);
    const bool written = std::fflush(out) == 0;
    std::fclose(out);
    if (!written) return STATUS_OPEN_FAILED;
    // A box the text scan cannot read (an indirect reference, inside a compressed object): the
    // default page rather than an empty one.
    if (width == 0 || height == 0) width = 612, height = 792;

    const int resolution = ctx->params.render_resolution > 0 ? ctx->params.render_resolution : 72;
    const std::string g = "-g" + std::to_string(pixels(width, resolution)) + "x" + std::to_string(pixels(height, resolution));
    const std::string r = "-r" + std::to_string(resolution) + "x" + std::to_string(resolution);
    ScratchFile raster;
    if (!raster.made()) return STATUS_OPEN_FAILED;
    const std::string output = std::string("-sOutputFile=") + raster.name();
    std::vector<std::string> args;
    if (ctx->params.flags & LOAD_PREVIEW_MARK)
        args = {"-dBATCH", "-dFirstPage=1", "-dLastPage=1", "-dMaxBitmap=300000000", "-sDEVICE=tiff24nc", "-q",
                "-dNOPAUSE", "-dSAFER", "-dTextAlphaBits=4", "-dGraphicsAlphaBits=4", g, r, output};
    else
        args = {"-dBATCH", "-dMaxBitmap=300000000", "-sDEVICE=tiff24nc", "-q", "-dNOPAUSE", "-dSAFER",
                "-dTextAlphaBits=4", "-dGraphicsAlphaBits=4", g, r, output};
    if (ctx->params.cie_colours) args.push_back("-dUseCIEColors");
    args.push_back(copy.name());
    args.push_back("-c quit");
    args.push_back("-c quit");
    ghostscript_run(args);
    copy.remove_now();
    return read_rendered(raster.name(), ctx, read_tiff, PDF_LABEL, resolution, 0);
}

bool pdf_signature(const uint8_t* head, size_t size)
{
    return size >= 5 && std::memcmp(head, "%PDF-", 5) == 0;
}
