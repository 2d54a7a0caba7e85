// Adaptive palettes by median cut over a 5-6-5 bit colour histogram, with an inverse colour map
// filled lazily in groups of cells, and optional Floyd-Steinberg diffusion with error limiting.
#include <algorithm>
#include <climits>
#include <cstring>

#include "ops/depth_internal.h"
#include "ops/scratch.h"

namespace {

// Histogram cells: red and blue keep 5 bits, green 6.
constexpr int kRedCells = 32, kGreenCells = 64, kBlueCells = 32;
constexpr int kCells = kRedCells * kGreenCells * kBlueCells;
// Weights of the colour distance and of the box lengths (cell widths 8, 4, 8 times 2, 3, 1).
constexpr int kRedWeight = 2, kGreenWeight = 3, kBlueWeight = 1;
constexpr int kRedLength = 16, kGreenLength = 12, kBlueLength = 8;
// The inverse colour map is filled for groups of 4 x 8 x 4 cells (32 values along each axis).
constexpr int kGroupRed = 4, kGroupGreen = 8, kGroupBlue = 4;

inline int cell_index(int r_cell, int g_cell, int b_cell) { return (r_cell << 11) | (g_cell << 5) | b_cell; }
inline int cell_of(int red, int green, int blue) { return cell_index(red >> 3, green >> 2, blue >> 3); }
inline int red_centre(int cell) { return 8 * cell + 4; }
inline int green_centre(int cell) { return 4 * cell + 2; }
inline int blue_centre(int cell) { return 8 * cell + 4; }

struct Box {
    int r0, r1, g0, g1, b0, b1;  // cell bounds, inclusive
    int64_t volume;
    uint64_t population;
};

struct Palette {
    int count = 0;
    uint8_t red[256], green[256], blue[256];
};

// Shrinks the box to its occupied cells and counts its pixels.
void update_box(const uint16_t* histogram, Box* box)
{
    Box b = *box;
    int r0 = INT_MAX, r1 = -1, g0 = INT_MAX, g1 = -1, b0 = INT_MAX, b1 = -1;
    uint64_t population = 0;
    for (int r = b.r0; r <= b.r1; ++r)
        for (int g = b.g0; g <= b.g1; ++g) {
            const uint16_t* cell = histogram + cell_index(r, g, 0);
            for (int c = b.b0; c <= b.b1; ++c) {
                if (!cell[c]) continue;
                population += cell[c];
                r0 = std::min(r0, r), r1 = std::max(r1, r);
                g0 = std::min(g0, g), g1 = std::max(g1, g);
                b0 = std::min(b0, c), b1 = std::max(b1, c);
            }
        }
    if (population) b = {r0, r1, g0, g1, b0, b1, 0, population};
    const int64_t dr = (b.r1 - b.r0) * kRedLength, dg = (b.g1 - b.g0) * kGreenLength, db = (b.b1 - b.b0) * kBlueLength;
    b.volume = dr * dr + dg * dg + db * db;
    b.population = population;
    *box = b;
}

// While the palette is less than half full the most populous box is split, then the largest.
Box* pick_box(Box* boxes, int count, int wanted)
{
    Box* pick = nullptr;
    if (count * 2 <= wanted) {
        uint64_t most = 0;
        for (Box* b = boxes; b < boxes + count; ++b)
            if (b->population > most && b->volume > 0) most = b->population, pick = b;
    } else {
        int64_t largest = 0;
        for (Box* b = boxes; b < boxes + count; ++b)
            if (b->volume > largest) largest = b->volume, pick = b;
    }
    return pick;
}

// Splits the box across its longest weighted side; the upper half goes to *other.
void split_box(const uint16_t* histogram, Box* box, Box* other)
{
    const int dr = (box->r1 - box->r0) * kRedLength, dg = (box->g1 - box->g0) * kGreenLength, db = (box->b1 - box->b0) * kBlueLength;
    *other = *box;
    // Ties prefer green, then red.
    if (db > dg && db > dr) {
        box->b1 = (box->b0 + box->b1) / 2;
        other->b0 = box->b1 + 1;
    } else if (dr > dg) {
        box->r1 = (box->r0 + box->r1) / 2;
        other->r0 = box->r1 + 1;
    } else {
        box->g1 = (box->g0 + box->g1) / 2;
        other->g0 = box->g1 + 1;
    }
    update_box(histogram, box);
    update_box(histogram, other);
}

void box_colour(const uint16_t* histogram, const Box& b, uint8_t* red, uint8_t* green, uint8_t* blue)
{
    uint64_t total = 0, rs = 0, gs = 0, bs = 0;
    for (int r = b.r0; r <= b.r1; ++r)
        for (int g = b.g0; g <= b.g1; ++g) {
            const uint16_t* cell = histogram + cell_index(r, g, 0);
            for (int c = b.b0; c <= b.b1; ++c) {
                const uint64_t n = cell[c];
                total += n;
                rs += n * red_centre(r);
                gs += n * green_centre(g);
                bs += n * blue_centre(c);
            }
        }
    if (!total) total = 1;
    *red = static_cast<uint8_t>((rs + total / 2) / total);
    *green = static_cast<uint8_t>((gs + total / 2) / total);
    *blue = static_cast<uint8_t>((bs + total / 2) / total);
}

void choose_colours(const uint16_t* histogram, int wanted, Palette* palette)
{
    Box boxes[256];
    int count = 1;
    boxes[0] = {0, kRedCells - 1, 0, kGreenCells - 1, 0, kBlueCells - 1, 0, 0};
    update_box(histogram, &boxes[0]);
    while (count < wanted) {
        Box* box = pick_box(boxes, count, wanted);
        if (!box) break;
        split_box(histogram, box, &boxes[count++]);
    }
    palette->count = count;
    for (int i = 0; i < palette->count; ++i) box_colour(histogram, boxes[i], &palette->red[i], &palette->green[i], &palette->blue[i]);
}

inline int weighted_distance(int dr, int dg, int db)
{
    dr *= kRedWeight, dg *= kGreenWeight, db *= kBlueWeight;
    return dr * dr + dg * dg + db * db;
}

// Nearest and farthest weighted distance of value v to the span lo ... hi along one axis.
inline void axis_distances(int v, int lo, int hi, int weight, int* nearest, int* farthest)
{
    const int closest = (v < lo ? lo - v : v > hi ? v - hi : 0) * weight;
    const int widest = std::max(std::abs(v - lo), std::abs(v - hi)) * weight;
    *nearest += closest * closest;
    *farthest += widest * widest;
}

// The inverse colour map, kept in the histogram's cells: palette index + 1, 0 = not yet known.
class InverseMap {
public:
    InverseMap(uint16_t* cells, const Palette& palette) : cells_(cells), palette_(palette) { std::memset(cells, 0, kCells * sizeof(uint16_t)); }

    int index(int red, int green, int blue)
    {
        const int cell = cell_of(red, green, blue);
        if (!cells_[cell]) fill_group(red >> 3, green >> 2, blue >> 3);
        return cells_[cell] - 1;
    }

private:
    // Fills every cell of the group around one cell with the palette entry nearest to the
    // cell's centre (the lowest index on ties), after keeping only the entries that can be
    // nearest somewhere in the group.
    void fill_group(int r_cell, int g_cell, int b_cell)
    {
        const int rc0 = r_cell & ~(kGroupRed - 1), gc0 = g_cell & ~(kGroupGreen - 1), bc0 = b_cell & ~(kGroupBlue - 1);
        const int rlo = red_centre(rc0), rhi = red_centre(rc0 + kGroupRed - 1);
        const int glo = green_centre(gc0), ghi = green_centre(gc0 + kGroupGreen - 1);
        const int blo = blue_centre(bc0), bhi = blue_centre(bc0 + kGroupBlue - 1);
        int nearest[256], bound = INT_MAX;
        for (int i = 0; i < palette_.count; ++i) {
            int farthest = 0;
            nearest[i] = 0;
            axis_distances(palette_.red[i], rlo, rhi, kRedWeight, &nearest[i], &farthest);
            axis_distances(palette_.green[i], glo, ghi, kGreenWeight, &nearest[i], &farthest);
            axis_distances(palette_.blue[i], blo, bhi, kBlueWeight, &nearest[i], &farthest);
            bound = std::min(bound, farthest);
        }
        int candidates[256], count = 0;
        for (int i = 0; i < palette_.count; ++i)
            if (nearest[i] <= bound) candidates[count++] = i;

        for (int r = rc0; r < rc0 + kGroupRed; ++r)
            for (int g = gc0; g < gc0 + kGroupGreen; ++g)
                for (int b = bc0; b < bc0 + kGroupBlue; ++b) {
                    int best = INT_MAX, best_index = 0;
                    for (int k = 0; k < count; ++k) {
                        const int i = candidates[k];
                        const int d = weighted_distance(red_centre(r) - palette_.red[i], green_centre(g) - palette_.green[i],
                                                        blue_centre(b) - palette_.blue[i]);
                        if (d < best) best = d, best_index = i;
                    }
                    cells_[cell_index(r, g, b)] = static_cast<uint16_t>(best_index + 1);
                }
    }

    uint16_t* cells_;
    const Palette& palette_;
};

inline void count_pixel(uint16_t* histogram, int cell)
{
    const uint16_t n = histogram[cell];
    histogram[cell] = static_cast<uint16_t>(n + (n != 0xFFFF));
}

// Grey and colour-mapped sources: 256 byte values, counted once and mapped through a table.
void map_one_byte(const SourceReader& source, uint16_t* histogram, int wanted, Palette* palette, Picture* result)
{
    const Picture* p = source.picture;
    uint64_t counts[256] = {};
    for (int y = 0; y < p->height; ++y) {
        const uint8_t* in = picture_line(p, y);
        for (int x = 0; x < source.width; ++x) ++counts[in[x]];
    }
    std::memset(histogram, 0, kCells * sizeof(uint16_t));
    for (int v = 0; v < 256; ++v) {
        uint16_t& cell = histogram[cell_of(source.red[v], source.green[v], source.blue[v])];
        cell = static_cast<uint16_t>(std::min<uint64_t>(cell + counts[v], 0xFFFF));
    }
    choose_colours(histogram, wanted, palette);
    InverseMap inverse(histogram, *palette);
    uint8_t table[256];
    for (int v = 0; v < 256; ++v) table[v] = static_cast<uint8_t>(inverse.index(source.red[v], source.green[v], source.blue[v]));
    for (int y = 0; y < p->height; ++y) {
        const uint8_t* in = picture_line(p, y);
        uint8_t* out = picture_line(result, y);
        for (int x = 0; x < source.width; ++x) out[x] = table[in[x]];
    }
}

void map_plain(const SourceReader& source, InverseMap& inverse, Picture* result, uint8_t* buffer)
{
    for (int y = 0; y < result->height; ++y) {
        const uint8_t* rgb = source_rgb_line(source, y, buffer);
        uint8_t* out = picture_line(result, y);
        for (int x = 0; x < source.width; ++x, rgb += 3) out[x] = static_cast<uint8_t>(inverse.index(rgb[0], rgb[1], rgb[2]));
    }
}

// The diffused error reaching a pixel, in sixteenths, is limited before it is added: small
// errors pass, medium ones are halved beyond 16, large ones stop at 32, so that strong edges do
// not smear.
struct ErrorLimit {
    int table[511];
    ErrorLimit()
    {
        int out = 0, in = 0;
        for (; in < 16; ++in, ++out) set(in, out);
        for (; in < 48; ++in, out += (in & 1) ? 0 : 1) set(in, out);
        for (; in <= 255; ++in) set(in, out);
    }
    void set(int in, int out)
    {
        table[255 + in] = out;
        table[255 - in] = -out;
    }
    int operator()(int error) const { return table[255 + error]; }
};

// What one component carries along a line, in sixteenths of an error.
struct Carry {
    int right = 0, below_left = 0, below = 0;
};

inline int corrected(const ErrorLimit& limit, int value, const Carry& carry, int above)
{
    return std::clamp(value + limit((carry.right + above + 8) >> 4), 0, 255);
}

// Spreads a pixel's error and returns the finished share of the pixel below-left of it.
inline int16_t spread(Carry& carry, int error)
{
    const int finished = carry.below_left + 3 * error;
    carry.below_left = carry.below + 5 * error;
    carry.below = error;
    carry.right = 7 * error;
    return static_cast<int16_t>(finished);
}

// Floyd-Steinberg, every line left to right: 7/16 of a pixel's error to the right, 3/16 below
// left, 5/16 below, 1/16 below right. errors[3 * (x + 1) + c] holds what reached column x of the
// current line from the line above; it is overwritten with the next line's share once read.
void map_diffused(const SourceReader& source, InverseMap& inverse, const Palette& palette, Picture* result, uint8_t* buffer,
                  int16_t* errors)
{
    const ErrorLimit limit;
    const int width = source.width;
    for (int y = 0; y < result->height; ++y) {
        const uint8_t* rgb = source_rgb_line(source, y, buffer);
        uint8_t* out = picture_line(result, y);
        Carry red, green, blue;
        int16_t* e = errors;
        for (int x = 0; x < width; ++x, rgb += 3, e += 3) {
            const int r = corrected(limit, rgb[0], red, e[3]);
            const int g = corrected(limit, rgb[1], green, e[4]);
            const int b = corrected(limit, rgb[2], blue, e[5]);
            const int index = inverse.index(r, g, b);
            out[x] = static_cast<uint8_t>(index);
            e[0] = spread(red, r - palette.red[index]);
            e[1] = spread(green, g - palette.green[index]);
            e[2] = spread(blue, b - palette.blue[index]);
        }
        e[0] = static_cast<int16_t>(red.below_left);
        e[1] = static_cast<int16_t>(green.below_left);
        e[2] = static_cast<int16_t>(blue.below_left);
    }
}

}  // namespace

Status median_cut_map(const SourceReader& source, int colours, bool diffuse, Picture* result)
{
    const size_t width = static_cast<size_t>(source.width);
    Scratch<uint16_t> histogram(kCells);
    Scratch<uint8_t> buffer(width * 3);
    Scratch<int16_t> errors(diffuse ? 3 * (width + 2) : 0);
    if (!histogram.ok() || !buffer.ok() || !errors.ok()) return STATUS_NO_MEMORY;
    Palette palette;
    if (source_is_one_byte(source)) {
        map_one_byte(source, histogram.get(), colours, &palette, result);
    } else {
        for (int y = 0; y < result->height; ++y) {
            const uint8_t* rgb = source_rgb_line(source, y, buffer.get());
            for (size_t x = 0; x < width; ++x, rgb += 3) count_pixel(histogram.get(), cell_of(rgb[0], rgb[1], rgb[2]));
        }
        choose_colours(histogram.get(), colours, &palette);
        InverseMap inverse(histogram.get(), palette);
        if (diffuse)
            map_diffused(source, inverse, palette, result, buffer.get(), errors.get());
        else
            map_plain(source, inverse, result, buffer.get());
    }
    for (int i = 0; i < palette.count; ++i) {
        result->colour_map[i] = palette.red[i];
        result->colour_map[256 + i] = palette.green[i];
        result->colour_map[512 + i] = palette.blue[i];
    }
    return STATUS_OK;
}
