// Reading an IFF picture: the FORM chunk and its type, then the chunks inside it until the BODY:
// BMHD (the bitmap header), CMAP (the colour map), CAMG (the Amiga display mode: HAM, Extra
// Half-Brite), and BODY (the rows, raw or ByteRun1).
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "core/line_convert.h"
#include "formats/common/packbits.h"
#include "formats/common/stream_bytes.h"
#include "formats/iff/iff_codec.h"

namespace {

constexpr int SIDE_LIMIT = 16000;
constexpr int MAX_COLOURS = 256;
constexpr uint32_t CAMG_HAM = 0x800;
constexpr uint32_t CAMG_EHB = 0x80;
constexpr int MASK_PLANE = 1;  // BMHD masking: a mask plane follows the picture's planes

constexpr uint32_t id(const char (&s)[5])
{
    return uint32_t{static_cast<uint8_t>(s[0])} << 24 | uint32_t{static_cast<uint8_t>(s[1])} << 16 |
           uint32_t{static_cast<uint8_t>(s[2])} << 8 | uint32_t{static_cast<uint8_t>(s[3])};
}

struct Bmhd {
    int width = 0, height = 0;
    int planes = 0;
    int masking = 0;
    int compression = 0;
};

struct IffPicture {
    bool chunky = false;  // FORM PBM
    bool have_bmhd = false;
    Bmhd bmhd;
    uint8_t cmap[3 * MAX_COLOURS] = {};
    int colours = 0;
    uint32_t camg = 0;
};

struct IffReader {
    Stream* s;
    LoadContext* ctx;
    IffPicture pic;
};

Status read_bmhd(Stream* s, Bmhd* b)
{
    uint8_t d[20];
    LUM_TRY(stream_read_exact(s, d, sizeof d));
    b->width = d[0] << 8 | d[1];
    b->height = d[2] << 8 | d[3];
    b->planes = d[8];
    b->masking = d[9];
    b->compression = d[10];
    return STATUS_OK;
}

Status read_cmap(Stream* s, uint32_t size, IffPicture* p)
{
    const uint32_t entries = size / 3;
    if (entries > MAX_COLOURS) return STATUS_UNKNOWN_FORMAT;
    std::memset(p->cmap, 0, sizeof p->cmap);
    LUM_TRY(stream_read_exact(s, p->cmap, 3 * entries));
    p->colours = static_cast<int>(entries);
    return STATUS_OK;
}

bool is_ham(const IffPicture& p) { return (p.camg & CAMG_HAM) != 0 && !p.chunky; }
bool is_true_colour(const IffPicture& p) { return !p.chunky && (p.bmhd.planes == 24 || is_ham(p)); }

// Extra Half-Brite: six planes whose upper 32 colours are the lower 32 at half brightness.
// Files that forget the display mode still give themselves away by a 32-colour map.
void extend_half_brite(IffPicture* p)
{
    const bool ehb = (p->camg & CAMG_EHB) != 0 || p->colours == 32;
    if (p->chunky || is_ham(*p) || p->bmhd.planes != 6 || !ehb || p->colours > 32) return;
    for (int i = 0; i < 3 * 32; ++i) p->cmap[3 * 32 + i] = static_cast<uint8_t>(p->cmap[i] >> 1);
    p->colours = 64;
}

void describe(const IffPicture& p, HeaderInfo* h)
{
    header_init(h);
    std::snprintf(h->format_label, sizeof h->format_label, "Amiga Interchange Format IFF/ILBM");
    h->width = p.bmhd.width;
    h->height = p.bmhd.height;
    if (p.bmhd.compression) h->compression = COMPRESSION_RLE;
    h->bytes_per_plane_line = p.bmhd.width;
    if (is_true_colour(p)) {
        h->planes = 3;
        h->bits_per_plane = 8;
    } else {
        h->layout_flags = LAYOUT_BYTE_PER_PIXEL;
        h->bits_per_plane = static_cast<int16_t>(p.chunky ? 8 : p.bmhd.planes);
    }
}

// One byte a pixel from up to 8 planes of an interleaved row, the first of them the least
// significant bit. Eight pixels at a time: each plane byte spreads its bits over eight bytes.
class PlaneGatherer {
public:
    PlaneGatherer(const uint8_t* row, size_t plane_bytes) : row_(row), plane_bytes_(plane_bytes) {}

    // Pixels 0 .. 8 x plane_bytes - 1 into `out`, from planes first .. first + count - 1.
    void gather(int first, int count, uint8_t* out) const
    {
        const uint64_t* spread = spread_table();
        for (size_t i = 0; i < plane_bytes_; ++i) {
            uint64_t eight = 0;
            for (int p = 0; p < count; ++p) eight |= spread[row_[plane_bytes_ * static_cast<size_t>(first + p) + i]] << p;
            std::memcpy(out + 8 * i, &eight, 8);  // the host is little-endian: byte k is pixel k
        }
    }

private:
    static const uint64_t* spread_table()
    {
        static const struct Table {
            uint64_t v[256];
            Table()
            {
                for (int b = 0; b < 256; ++b) {
                    v[b] = 0;
                    for (int k = 0; k < 8; ++k) v[b] |= uint64_t{(b >> (7 - k)) & 1u} << (8 * k);
                }
            }
        } table;
        return table.v;
    }

    const uint8_t* row_;
    size_t plane_bytes_;
};

struct Held {
    uint8_t r, g, b;
};

// Hold-And-Modify: each pixel either takes a palette colour or changes one component of the
// colour before it.
void ham_line(const uint8_t* values, int width, const IffPicture& p, Held* held, uint8_t* out)
{
    const bool ham8 = p.bmhd.planes >= 7;
    const int data_bits = ham8 ? 6 : 4;
    const uint32_t data_mask = (1u << data_bits) - 1;
    uint8_t* red = out;
    uint8_t* green = out + width;
    uint8_t* blue = out + 2 * width;
    for (int x = 0; x < width; ++x) {
        const uint32_t v = values[x];
        const uint32_t data = v & data_mask;
        const auto modified = [&](uint8_t old) {
            return ham8 ? static_cast<uint8_t>(data << 2 | (old & 3)) : static_cast<uint8_t>(data * 17);
        };
        switch ((v >> data_bits) & 3) {
        case 0: *held = {p.cmap[3 * data], p.cmap[3 * data + 1], p.cmap[3 * data + 2]}; break;
        case 1: held->b = modified(held->b); break;
        case 2: held->r = modified(held->r); break;
        default: held->g = modified(held->g); break;
        }
        red[x] = held->r;
        green[x] = held->g;
        blue[x] = held->b;
    }
}

void index_line(uint8_t* values, int width, int colours)
{
    for (int x = 0; x < width; ++x)
        if (values[x] >= colours) values[x] = 0;
}

Status read_body(IffReader& r)
{
    const IffPicture& p = r.pic;
    const int width = p.bmhd.width;
    const size_t plane_bytes = static_cast<size_t>((width + 15) / 16 * 2);
    const int stored_planes = p.bmhd.planes + (p.bmhd.masking == MASK_PLANE ? 1 : 0);
    const size_t row_bytes = p.chunky ? static_cast<size_t>((width + 1) & ~1) : plane_bytes * static_cast<size_t>(stored_planes);
    std::unique_ptr<uint8_t[]> row(new (std::nothrow) uint8_t[row_bytes]);
    if (!row) return STATUS_NO_MEMORY;

    // Gathered pixels: whole plane bytes of them, beyond the width.
    std::unique_ptr<uint8_t[]> values(new (std::nothrow) uint8_t[8 * plane_bytes * 3]);
    if (!values) return STATUS_NO_MEMORY;

    HeaderInfo h;
    describe(p, &h);
    LUM_TRY(load_begin(r.ctx, &h));
    const uint8_t* palette = is_true_colour(p) ? nullptr : p.cmap;
    load_set_palette(r.ctx, 0, 8, palette);
    const PlaneGatherer planes(row.get(), plane_bytes);
    const size_t w = static_cast<size_t>(width);
    Held held{p.cmap[0], p.cmap[1], p.cmap[2]};
    for (int y = 0; y < p.bmhd.height; ++y) {
        if (p.bmhd.compression) LUM_TRY(packbits_decode_stream(r.s, row.get(), row_bytes));
        else LUM_TRY(stream_read_exact(r.s, row.get(), row_bytes));
        uint8_t* line = h.line_buffer;
        if (p.chunky) {
            std::memcpy(line, row.get(), w);
        } else if (p.bmhd.planes == 24 && !is_ham(p)) {
            // Bits 0-7 red, 8-15 green, 16-23 blue: the three lines in that order.
            for (int c = 0; c < 3; ++c) {
                planes.gather(8 * c, 8, values.get());
                std::memcpy(line + w * static_cast<size_t>(c), values.get(), w);
            }
        } else {
            planes.gather(0, std::min(p.bmhd.planes, 8), values.get());
            if (is_ham(p)) {
                ham_line(values.get(), width, p, &held, line);
            } else {
                index_line(values.get(), width, p.colours);
                std::memcpy(line, values.get(), w);
            }
        }
        LUM_TRY(load_put_lines(r.ctx, -1, y, 1));
    }
    return load_end(r.ctx, 0, 8, palette);
}

Status check_bmhd(IffReader& r)
{
    const Bmhd& b = r.pic.bmhd;
    if (b.width < 1 || b.width >= SIDE_LIMIT || b.height < 1 || b.height >= SIDE_LIMIT)
        return load_fail(r.ctx, STATUS_BAD_HEADER, "Iff : Bad picture's size !");
    // Planes beyond what a colour map indexes, other than 24-bit true colour, describe no
    // picture this reader can lay out.
    const bool planes_ok = r.pic.chunky ? b.planes == 8 : (b.planes >= 1 && b.planes <= 8) || b.planes == 24;
    if (!planes_ok) return load_fail(r.ctx, STATUS_BAD_HEADER, "Iff : Bad number of planes !");
    return STATUS_OK;
}

}  // namespace

bool iff_signature(const uint8_t* head, size_t size)
{
    static const char form[] = "FORM";
    for (size_t i = 0; i < size && i < 4; ++i)
        if (head[i] != static_cast<uint8_t>(form[i])) return false;
    if (size >= 12 && std::memcmp(head + 8, "ILBM", 4) != 0 && std::memcmp(head + 8, "PBM ", 4) != 0) return false;
    return true;
}

Status iff_read(Stream* s, LoadContext* ctx)
{
    IffReader r{s, ctx, {}};
    uint8_t head[12];
    LUM_TRY(stream_read_exact(s, head, sizeof head));
    if (!iff_signature(head, sizeof head)) return STATUS_UNKNOWN_FORMAT;
    r.pic.chunky = std::memcmp(head + 8, "PBM ", 4) == 0;

    for (;;) {
        uint8_t chunk[8];
        if (stream_read_exact(s, chunk, sizeof chunk) != STATUS_OK) break;
        const uint32_t kind = uint32_t{chunk[0]} << 24 | uint32_t{chunk[1]} << 16 | uint32_t{chunk[2]} << 8 | chunk[3];
        const uint32_t size = uint32_t{chunk[4]} << 24 | uint32_t{chunk[5]} << 16 | uint32_t{chunk[6]} << 8 | chunk[7];
        const int64_t start = stream_tell(s);
        if (kind == id("BODY")) {
            if (!r.pic.have_bmhd) break;
            extend_half_brite(&r.pic);
            return read_body(r);
        }
        if (kind == id("BMHD")) {
            LUM_TRY(read_bmhd(s, &r.pic.bmhd));
            r.pic.have_bmhd = true;
            LUM_TRY(check_bmhd(r));
        } else if (kind == id("CMAP")) {
            LUM_TRY(read_cmap(s, size, &r.pic));
        } else if (kind == id("CAMG") && size >= 4) {
            r.pic.camg = stream_read_u32be(s);
        }
        // Chunks are padded to an even length.
        if (stream_seek_inside(s, start + int64_t{size} + (size & 1)) != STATUS_OK) break;
    }
    if (!r.pic.have_bmhd) return load_fail(ctx, STATUS_BAD_HEADER, "IFF : Not valid !");
    return STATUS_INCOMPLETE;  // a header without a body
}
