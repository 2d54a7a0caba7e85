#include "ops/filter.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "ops/op.h"
#include "ops/pixel_check.h"
#include "ops/simd.h"

constexpr FilterKernel filter_kernels[FILTER_KERNEL_COUNT] = {
    {{0, -1, 0, -1, 10, -1, 0, -1, 0}, 6, 0},
    {{-1, 0, -1, 0, 7, 0, -1, 0, -1}, 3, 0},
    {{0, -1, 0, -1, 5, -1, 0, -1, 0}, 1, 0},
    {{1, -2, 1, -2, 5, -2, 1, -2, 1}, 1, 0},
    {{0, 1, 0, 1, -4, 1, 0, 1, 0}, 1, 128},
    {{-1, -1, -1, -1, 8, -1, -1, -1, -1}, 1, 128},
    {{1, -2, 1, -2, 4, -2, 1, -2, 1}, 1, 128},
    {{-1, 0, 0, 0, 0, 0, 0, 0, 1}, 1, 128},
    {{-1, -2, 0, -2, 0, 2, 0, 2, 1}, 1, 128},
};

void padded_line(uint8_t* buffer, const Picture* picture, int y, int size)
{
    const size_t pb = picture->bytes_per_pixel;
    const int border = size / 2;
    const uint8_t* line = picture_line(picture, std::clamp(y, 0, picture->height - 1));
    const size_t row = static_cast<size_t>(picture->width) * pb;
    uint8_t* middle = buffer + border * pb;
    std::memcpy(middle, line, row);
    for (int i = 0; i < border; ++i) {
        std::memcpy(buffer + i * pb, line, pb);
        std::memcpy(middle + row + i * pb, line + row - pb, pb);
    }
}

namespace {

// One output line: `n` bytes from the three neighbouring lines, neighbours `step` bytes apart.
using RowFilter = void (*)(const uint8_t* up, const uint8_t* mid, const uint8_t* down, uint8_t* out, size_t n,
                           ptrdiff_t step, const void* params);

// Fixed-length blocks let the compiler turn the cell into vector code without a scalar tail
// per block; the tail of the line is done byte by byte.
template <class Cell>
[[gnu::always_inline]] inline void filter_bytes(const uint8_t* __restrict up, const uint8_t* __restrict mid,
                         const uint8_t* __restrict down, uint8_t* __restrict out, size_t n, ptrdiff_t s,
                         const Cell& cell)
{
    constexpr size_t block = 64;
    size_t i = 0;
    for (; i + block <= n; i += block) {
        // Written through a local block, which nothing else can alias.
        uint8_t cells[block];
        for (size_t j = 0; j < block; ++j) cells[j] = cell(up + i + j, mid + i + j, down + i + j, s);
        std::memcpy(out + i, cells, block);
    }
    for (; i < n; ++i) out[i] = cell(up + i, mid + i, down + i, s);
}

struct BlurCell {
    int centre;    // weight of the centre byte
    float inverse; // 1 / (centre + 1200)

    uint8_t operator()(const uint8_t* u, const uint8_t* m, const uint8_t* d, ptrdiff_t s) const
    {
        // The eight neighbours, sides twice, fit 16 bits (at most 3060): narrow lanes go further.
        const auto ring = static_cast<uint16_t>(2 * (u[0] + d[0] + m[-s] + m[s]) + u[-s] + u[s] + d[-s] + d[s]);
        const int sum = centre * m[0] + 100 * ring;
        // The sum stays below 2^21 and the divisor below 4401: adding a half before scaling by
        // the inverse keeps every quotient on the right side of its integer.
        return static_cast<uint8_t>(static_cast<int>((static_cast<float>(sum) + 0.5f) * inverse));
    }
};

template <int Entry>
struct KernelCell {
    uint8_t operator()(const uint8_t* u, const uint8_t* m, const uint8_t* d, ptrdiff_t s) const
    {
        constexpr FilterKernel k = filter_kernels[Entry];
        const int sum = k.weight[0] * u[-s] + k.weight[1] * u[0] + k.weight[2] * u[s] + k.weight[3] * m[-s] +
                        k.weight[4] * m[0] + k.weight[5] * m[s] + k.weight[6] * d[-s] + k.weight[7] * d[0] +
                        k.weight[8] * d[s];
        const int v = sum / k.divisor + k.bias;
        return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
    }
};

template <class Cell>
Cell make_cell(const void* params)
{
    if constexpr (std::is_same_v<Cell, BlurCell>) return *static_cast<const BlurCell*>(params);
    else return Cell{};
}

// The same loop twice: for every machine, and for machines with 64-byte vectors.
template <class Cell>
void narrow_row(const uint8_t* up, const uint8_t* mid, const uint8_t* down, uint8_t* out, size_t n, ptrdiff_t s,
                const void* params)
{
    filter_bytes(up, mid, down, out, n, s, make_cell<Cell>(params));
}

#ifdef LUMEVA_AVX512
template <class Cell>
LUMEVA_TARGET_VBMI void wide_row(const uint8_t* up, const uint8_t* mid, const uint8_t* down, uint8_t* out, size_t n,
                                 ptrdiff_t s, const void* params)
{
    filter_bytes(up, mid, down, out, n, s, make_cell<Cell>(params));
}
#endif

template <class Cell>
RowFilter pick_row()
{
#ifdef LUMEVA_AVX512
    if (cpu_has_avx512_vbmi()) return wide_row<Cell>;
#endif
    return narrow_row<Cell>;
}

constexpr RowFilter (*kernel_rows[FILTER_KERNEL_COUNT])() = {
    pick_row<KernelCell<0>>, pick_row<KernelCell<1>>, pick_row<KernelCell<2>>,
    pick_row<KernelCell<3>>, pick_row<KernelCell<4>>, pick_row<KernelCell<5>>,
    pick_row<KernelCell<6>>, pick_row<KernelCell<7>>, pick_row<KernelCell<8>>};

// The frame both filters share: three padded lines turning over, one output line at a time.
Status run_filter(Picture* source, Picture* destination, const Rect* rect, RowFilter row, const void* params)
{
    LUM_TRY(pixel_check_bytes_not_bilevel(source));
    Rect r;
    LUM_TRY(rect_clip(source, rect, &r));

    Picture result{};
    LUM_TRY(op_result_alloc(source, &result, source->width, source->height));
    result.transparent_index = NO_TRANSPARENT_INDEX;
    const bool whole = r.x == 0 && r.y == 0 && r.w == source->width && r.h == source->height;
    if (!whole) {
        // Pixels outside the rectangle are kept as they are.
        const size_t row_bytes = std::min(source->bytes_per_line, result.bytes_per_line);
        for (int y = 0; y < source->height; ++y)
            std::memcpy(picture_line(&result, y), picture_line(source, y), row_bytes);
    }

    const size_t pb = source->bytes_per_pixel;
    const size_t padded = (static_cast<size_t>(source->width) + 2) * pb;
    auto* buffers = static_cast<uint8_t*>(std::calloc(3, padded));
    if (!buffers) {
        picture_free(&result);
        return STATUS_NO_MEMORY;
    }
    uint8_t* up = buffers;
    uint8_t* mid = buffers + padded;
    uint8_t* down = buffers + 2 * padded;
    padded_line(up, source, r.y - 1, 3);
    padded_line(mid, source, r.y, 3);
    const size_t begin = pb + r.x * pb;  // the rectangle's first byte in a padded line
    const size_t count = static_cast<size_t>(r.w) * pb;
    for (int y = r.y; y < r.y + r.h; ++y) {
        padded_line(down, source, y + 1, 3);
        row(up + begin, mid + begin, down + begin, picture_line(&result, y) + r.x * pb, count,
            static_cast<ptrdiff_t>(pb), params);
        uint8_t* spare = up;
        up = mid;
        mid = down;
        down = spare;
    }
    std::free(buffers);
    op_deliver(source, destination, &result);
    return STATUS_OK;
}

}  // namespace

Status image_blur(Picture* source, Picture* destination, const Rect* rect, unsigned strength)
{
    const int s = static_cast<int>(std::min(strength, 100u));
    BlurCell cell;
    cell.centre = (3175 * (100 - s)) / 100 + 25;
    cell.inverse = 1.0f / static_cast<float>(cell.centre + 1200);
    return run_filter(source, destination, rect, pick_row<BlurCell>(), &cell);
}

Status image_filter(Picture* source, Picture* destination, const Rect* rect, int entry)
{
    if (source && source->type == PIXEL_BINARY) return STATUS_BILEVEL_REFUSED;
    if (entry < 0 || entry >= FILTER_KERNEL_COUNT) return STATUS_BAD_PARAMETER;
    return run_filter(source, destination, rect, kernel_rows[entry](), nullptr);
}

Status image_sharpen(Picture* source, Picture* destination, const Rect* rect)
{
    return image_filter(source, destination, rect, 1);
}
