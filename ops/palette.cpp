// Modes 12 to 18: colour-mapped pictures, by two-colour map, exact map, uniform palette with
// ordered dither, or median cut.
#include <algorithm>
#include <array>
#include <cstring>
#include <numeric>

#include "ops/depth.h"
#include "ops/depth_internal.h"
#include "ops/dither_matrix.h"
#include "ops/scratch.h"

namespace {

void set_entry(Picture* result, int index, uint8_t red, uint8_t green, uint8_t blue)
{
    result->colour_map[index] = red;
    result->colour_map[256 + index] = green;
    result->colour_map[512 + index] = blue;
}

void two_colour_map(const SourceReader& source, Picture* result)
{
    set_entry(result, 1, 255, 255, 255);
    for (int y = 0; y < result->height; ++y) {
        const uint8_t* in = picture_line(source.picture, y);
        uint8_t* out = picture_line(result, y);
        for (int x = 0; x < source.width; ++x) out[x] = static_cast<uint8_t>(bit_get(in, x));
    }
}

// Grey and colour-mapped sources: the byte values in use, most frequent first. False when more
// than `colours` are in use.
bool exact_map_one_byte(const SourceReader& source, int colours, Picture* result)
{
    const Picture* p = source.picture;
    uint64_t counts[256] = {};
    for (int y = 0; y < p->height; ++y) {
        const uint8_t* in = picture_line(p, y);
        for (int x = 0; x < source.width; ++x) ++counts[in[x]];
    }
    if (std::count_if(std::begin(counts), std::end(counts), [](uint64_t c) { return c != 0; }) > colours) return false;
    std::array<uint8_t, 256> order;
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](uint8_t a, uint8_t b) { return counts[a] > counts[b]; });
    uint8_t index_of[256] = {};
    for (int j = 0; j < colours; ++j) {
        const uint8_t v = order[j];
        index_of[v] = static_cast<uint8_t>(j);
        set_entry(result, j, source.red[v], source.green[v], source.blue[v]);
    }
    for (int y = 0; y < p->height; ++y) {
        const uint8_t* in = picture_line(p, y);
        uint8_t* out = picture_line(result, y);
        for (int x = 0; x < source.width; ++x) out[x] = index_of[in[x]];
    }
    if (p->type == PIXEL_COLORS && p->transparent_index < 256 && counts[p->transparent_index])
        result->transparent_index = index_of[p->transparent_index];
    return true;
}

// Colour sources: the distinct colours in order of first appearance, found through a small
// open-addressed table. False as soon as there are more than `colours`.
bool exact_map_colours(const SourceReader& source, int colours, Picture* result, uint8_t* buffer)
{
    constexpr int kSlots = 1024;  // at least four times the largest palette: short probe runs
    uint32_t keys[kSlots] = {};  // colour + 1, 0 = free
    uint8_t indexes[kSlots];
    int found = 0;
    uint32_t last_key = 0;
    uint8_t last_index = 0;
    for (int y = 0; y < result->height; ++y) {
        const uint8_t* rgb = source_rgb_line(source, y, buffer);
        uint8_t* out = picture_line(result, y);
        for (int x = 0; x < source.width; ++x, rgb += 3) {
            const uint32_t key = ((uint32_t{rgb[0]} << 16) | (uint32_t{rgb[1]} << 8) | rgb[2]) + 1;
            if (key != last_key) {
                uint32_t slot = (key * 2654435761u) >> 22;
                while (keys[slot] != key && keys[slot] != 0) slot = (slot + 1) & (kSlots - 1);
                if (keys[slot] == 0) {
                    if (found == colours) return false;
                    keys[slot] = key;
                    indexes[slot] = static_cast<uint8_t>(found);
                    set_entry(result, found++, rgb[0], rgb[1], rgb[2]);
                }
                last_key = key;
                last_index = indexes[slot];
            }
            out[x] = last_index;
        }
    }
    return true;
}

// Levels of red, green and blue of the uniform palettes.
struct UniformLevels {
    int red, green, blue;
};

UniformLevels uniform_levels(int colours)
{
    switch (colours) {
    case 8: return {2, 2, 2};
    case 16: return {2, 4, 2};
    case 32: return {4, 4, 2};
    case 64: return {4, 4, 4};
    case 216: return {6, 6, 6};
    default: return {8, 8, 4};
    }
}

// One channel of the uniform palette: the index contribution of the level below each value, its
// position towards the level above, and what the level above adds.
struct ChannelSplit {
    uint8_t low[256];
    DitherLevels levels;
    int weight;
};

void split_channel(int levels, int weight, ChannelSplit* out)
{
    dither_levels(levels, &out->levels);
    out->weight = weight;
    for (int v = 0; v < 256; ++v) out->low[v] = static_cast<uint8_t>(out->levels.low[v] * weight);
}

// Branch-free: the choice between the two levels changes from pixel to pixel.
inline int channel_index(const ChannelSplit& c, uint8_t v, uint8_t threshold)
{
    return c.low[v] + c.weight * (c.levels.position[v] > threshold);
}

void uniform_ordered(const SourceReader& source, int colours, Picture* result, uint8_t* buffer)
{
    const UniformLevels n = uniform_levels(colours);
    for (int r = 0; r < n.red; ++r)
        for (int g = 0; g < n.green; ++g)
            for (int b = 0; b < n.blue; ++b)
                set_entry(result, (r * n.green + g) * n.blue + b, static_cast<uint8_t>(r * 255 / (n.red - 1)),
                          static_cast<uint8_t>(g * 255 / (n.green - 1)), static_cast<uint8_t>(b * 255 / (n.blue - 1)));
    result->colour_used = static_cast<int16_t>(n.red * n.green * n.blue);

    ChannelSplit red, green, blue;
    split_channel(n.red, n.green * n.blue, &red);
    split_channel(n.green, n.blue, &green);
    split_channel(n.blue, 1, &blue);
    for (int y = 0; y < result->height; ++y) {
        const uint8_t* rgb = source_rgb_line(source, y, buffer);
        const uint8_t* m = kOrdered8[y & 7].data();
        uint8_t* out = picture_line(result, y);
        for (int x = 0; x < source.width; ++x, rgb += 3) {
            const uint8_t t = m[x & 7];
            out[x] = static_cast<uint8_t>(channel_index(red, rgb[0], t) + channel_index(green, rgb[1], t) + channel_index(blue, rgb[2], t));
        }
    }
}

}  // namespace

Status depth_to_palette(const SourceReader& source, int colours, int dither, Picture* result)
{
    if (picture_alloc_like(result, PIXEL_COLORS, source.picture) || !result->colour_map) return STATUS_NO_MEMORY;
    result->colour_used = static_cast<int16_t>(colours);
    const uint32_t type = source.picture->type;
    if (type == PIXEL_BINARY) {
        two_colour_map(source, result);
        return STATUS_OK;
    }
    Scratch<uint8_t> buffer(static_cast<size_t>(source.width) * 3);
    if (!buffer.ok()) return STATUS_NO_MEMORY;
    if (dither == DITHER_ORDERED) {
        uniform_ordered(source, colours, result, buffer.get());
        return STATUS_OK;
    }
    const bool one_byte = source_is_one_byte(source);
    if (one_byte ? exact_map_one_byte(source, colours, result) : exact_map_colours(source, colours, result, buffer.get())) return STATUS_OK;
    std::memset(result->colour_map, 0, 768);
    return median_cut_map(source, colours, dither == DITHER_DIFFUSION && !one_byte, result);
}
