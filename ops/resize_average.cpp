// Area-averaging reduction. Positions are counted in units of 1/(new size) of a source pixel
// along each axis, so that every overlap between a source pixel and a new pixel is a whole number
// and each new pixel is the exact mean of the area it covers, rounded once.
//
// Source lines are summed down the columns first (one straight pass over the source, where
// almost all the time goes), and each finished sum line is then divided into the new columns.
#include <algorithm>
#include <cstring>
#include <limits>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "ops/pixel_dispatch.h"
#include "ops/resize_internal.h"
#include "ops/scratch.h"

namespace {

// Adds up to four lines of n values to the sums: 16-bit sums for 8-bit values, 32-bit sums for
// 16-bit values, each sum loaded and stored once for all the lines.
void add_lines(uint16_t* sum, const uint8_t* const* lines, int count, int64_t n)
{
    int64_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
        __m128i* s = reinterpret_cast<__m128i*>(sum + i);
        __m128i lo = _mm_loadu_si128(s), hi = _mm_loadu_si128(s + 1);
        for (int k = 0; k < count; ++k) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lines[k] + i));
            lo = _mm_add_epi16(lo, _mm_unpacklo_epi8(bytes, zero));
            hi = _mm_add_epi16(hi, _mm_unpackhi_epi8(bytes, zero));
        }
        _mm_storeu_si128(s, lo);
        _mm_storeu_si128(s + 1, hi);
    }
#endif
    for (; i < n; ++i) {
        unsigned v = sum[i];
        for (int k = 0; k < count; ++k) v += lines[k][i];
        sum[i] = static_cast<uint16_t>(v);
    }
}

void add_lines(uint32_t* sum, const uint16_t* const* lines, int count, int64_t n)
{
    int64_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; i + 8 <= n; i += 8) {
        __m128i* s = reinterpret_cast<__m128i*>(sum + i);
        __m128i lo = _mm_loadu_si128(s), hi = _mm_loadu_si128(s + 1);
        for (int k = 0; k < count; ++k) {
            const __m128i words = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lines[k] + i));
            lo = _mm_add_epi32(lo, _mm_unpacklo_epi16(words, zero));
            hi = _mm_add_epi32(hi, _mm_unpackhi_epi16(words, zero));
        }
        _mm_storeu_si128(s, lo);
        _mm_storeu_si128(s + 1, hi);
    }
#endif
    for (; i < n; ++i) {
        uint32_t v = sum[i];
        for (int k = 0; k < count; ++k) v += lines[k][i];
        sum[i] = v;
    }
}

// Adds w × each value to the sums, for lines split between two new lines. The 32-bit form is
// used when the weight is below 65536 and no sum can pass 32 bits.
void add_weighted(uint32_t* sum, const uint8_t* v, uint32_t w, int64_t n)
{
    int64_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128(), weight = _mm_set1_epi16(static_cast<short>(w));
    for (; i + 16 <= n; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v + i));
        __m128i* s = reinterpret_cast<__m128i*>(sum + i);
        for (int half = 0; half < 2; ++half) {
            const __m128i x = half ? _mm_unpackhi_epi8(bytes, zero) : _mm_unpacklo_epi8(bytes, zero);
            const __m128i lo = _mm_mullo_epi16(x, weight), hi = _mm_mulhi_epu16(x, weight);
            _mm_storeu_si128(s + 2 * half, _mm_add_epi32(_mm_loadu_si128(s + 2 * half), _mm_unpacklo_epi16(lo, hi)));
            _mm_storeu_si128(s + 2 * half + 1, _mm_add_epi32(_mm_loadu_si128(s + 2 * half + 1), _mm_unpackhi_epi16(lo, hi)));
        }
    }
#endif
    for (; i < n; ++i) sum[i] += w * v[i];
}

void add_weighted(uint32_t* sum, const uint16_t* v, uint32_t w, int64_t n)
{
    int64_t i = 0;
#if defined(__SSE2__)
    const __m128i weight = _mm_set1_epi16(static_cast<short>(w));
    for (; i + 8 <= n; i += 8) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v + i));
        __m128i* s = reinterpret_cast<__m128i*>(sum + i);
        const __m128i lo = _mm_mullo_epi16(x, weight), hi = _mm_mulhi_epu16(x, weight);
        _mm_storeu_si128(s, _mm_add_epi32(_mm_loadu_si128(s), _mm_unpacklo_epi16(lo, hi)));
        _mm_storeu_si128(s + 1, _mm_add_epi32(_mm_loadu_si128(s + 1), _mm_unpackhi_epi16(lo, hi)));
    }
#endif
    for (; i < n; ++i) sum[i] += w * v[i];
}

template <class T>
void add_weighted(uint64_t* sum, const T* v, uint64_t w, int64_t n)
{
    for (int64_t i = 0; i < n; ++i) sum[i] += w * v[i];
}

// Which source indices one new index covers, and by how much.
struct Cover {
    Scratch<int64_t> first;   // first source index of new index k
    Scratch<int64_t> offset;  // its weights start here; new size + 1 entries
    Scratch<uint32_t> weight;
    // The same, packed for the pass across a line: first index, number of indices, and the
    // weights of the first and last (those between are whole).
    struct Span {
        int64_t first;
        int64_t count;
        uint32_t first_weight, last_weight;
    };
    Scratch<Span> span;
    // When the old size is a whole multiple of the new one: how many whole source indices each
    // new index takes (0 otherwise).
    int64_t uniform = 0;

    // Source index x spans [x·new, (x+1)·new), new index k spans [k·old, (k+1)·old).
    bool build(int64_t old_size, int64_t new_size)
    {
        if (!first.alloc(static_cast<uint64_t>(new_size)) || !offset.alloc(static_cast<uint64_t>(new_size) + 1)) return false;
        int64_t total = 0;
        for (int64_t k = 0; k < new_size; ++k) {
            first[k] = k * old_size / new_size;
            const int64_t last = ((k + 1) * old_size - 1) / new_size;
            offset[k] = total;
            total += last - first[k] + 1;
        }
        offset[new_size] = total;
        if (!weight.alloc(static_cast<uint64_t>(total))) return false;
        for (int64_t k = 0; k < new_size; ++k)
            for (int64_t t = offset[k]; t < offset[k + 1]; ++t) {
                const int64_t x = first[k] + (t - offset[k]);
                weight[t] = static_cast<uint32_t>(std::min((x + 1) * new_size, (k + 1) * old_size) -
                                                  std::max(x * new_size, k * old_size));
            }
        uniform = old_size % new_size == 0 ? old_size / new_size : 0;
        if (!span.alloc(static_cast<uint64_t>(new_size))) return false;
        for (int64_t k = 0; k < new_size; ++k)
            span[k] = Span{first[k], offset[k + 1] - offset[k], weight[offset[k]], weight[offset[k + 1] - 1]};
        return true;
    }
};

// Source lines as values of the result's type: bilevel bits as 0 or 255, colour-mapped indices
// through the map, grey pictures of fewer levels stretched to the full range.
struct LineSource {
    const Picture* picture;
    int kind;  // 0 direct, 1 bilevel, 2 mapped to RGB, 3 mapped to BGR, 4 grey levels
    uint8_t levels[256];

    template <class T>
    const T* line(int y, T* room) const
    {
        const uint8_t* from = picture_line(picture, y);
        switch (kind) {
        case 1: {
            auto* to = reinterpret_cast<uint8_t*>(room);
            for (int x = 0; x < picture->width; ++x) to[x] = bit_get(from, x) ? 255 : 0;
            return room;
        }
        case 2:
        case 3: colour_map_expand_line(picture, from, reinterpret_cast<uint8_t*>(room), kind == 3); return room;
        case 4: {
            auto* to = reinterpret_cast<uint8_t*>(room);
            for (int x = 0; x < picture->width; ++x) to[x] = levels[from[x]];
            return room;
        }
        default: return reinterpret_cast<const T*>(from);
        }
    }
};

// An integer as a double, converted into a cleared register: the plain conversion instruction
// keeps the register's old upper half, which chains every step of a loop to the one before.
inline double to_double(int64_t v)
{
#if defined(__SSE2__) && defined(__x86_64__)
    return _mm_cvtsd_f64(_mm_cvtsi64_sd(_mm_setzero_pd(), v));
#else
    return static_cast<double>(v);
#endif
}

template <class T, int C, class Wide>
class Averager {
public:
    Averager(const LineSource& lines, Picture* out, const Cover& across, const Cover& down, int64_t max_value)
        : lines_(lines), out_(out), across_(across), down_(down), max_value_(max_value)
    {
    }

    bool run()
    {
        const Picture* source = lines_.picture;
        const int64_t old_w = source->width, old_h = source->height, new_h = out_->height;
        const int64_t n = old_w * C;
        Scratch<Sum> sums;
        Scratch<Wide> wide;
        Scratch<T> room;  // expanded lines: kBatch whole ones and one split one
        if (!sums.alloc(static_cast<uint64_t>(n)) || !wide.alloc(static_cast<uint64_t>(n)) ||
            !totals_.alloc(static_cast<uint64_t>(out_->width) * C) ||
            !room.alloc(static_cast<uint64_t>(n) * (kBatch + 1)))
            return false;
        // Whole lines are added unweighted into narrow sums, folded into the 64-bit ones before
        // they could overflow; split lines go straight to the 64-bit sums with their weight.
        const int64_t fold_every = std::max<int64_t>(kBatch, static_cast<int64_t>(std::numeric_limits<Sum>::max() / std::numeric_limits<T>::max()));
        const double area = static_cast<double>(old_w) * static_cast<double>(old_h);
        const T* batch[kBatch];
        for (int64_t j = 0; j < new_h; ++j) {
            std::memset(sums.get(), 0, static_cast<size_t>(n) * sizeof(Sum));
            bool has_wide = false;
            int64_t whole = 0;  // lines in the narrow sums
            int pending = 0;    // lines in the batch
            for (int64_t t = down_.offset[j]; t < down_.offset[j + 1]; ++t) {
                const int y = static_cast<int>(down_.first[j] + (t - down_.offset[j]));
                const uint64_t w = down_.weight[t];
                if (w != static_cast<uint64_t>(new_h)) {
                    const T* v = lines_.line(y, room.get() + kBatch * n);
                    if (!has_wide) std::memset(wide.get(), 0, static_cast<size_t>(n) * sizeof(Wide));
                    has_wide = true;
                    add_weighted(wide.get(), v, static_cast<Wide>(w), n);
                    continue;
                }
                if (whole + pending == fold_every) {
                    add_lines(sums.get(), batch, pending, n);
                    pending = 0;
                    fold(sums.get(), wide.get(), n, new_h, &has_wide);
                    whole = 0;
                }
                batch[pending] = lines_.line(y, room.get() + pending * n);
                if (++pending == kBatch) {
                    add_lines(sums.get(), batch, pending, n);
                    whole += pending;
                    pending = 0;
                }
            }
            if (pending) add_lines(sums.get(), batch, pending, n);
            T* to = reinterpret_cast<T*>(picture_line(out_, static_cast<int>(j)));
            if (has_wide) {
                fold(sums.get(), wide.get(), n, new_h, &has_wide);
                divide(wide.get(), to, 1 / area);
            } else {
                // Only whole lines: their common weight comes in at the end.
                divide(sums.get(), to, static_cast<double>(new_h) / area);
            }
        }
        return true;
    }

private:
    using Sum = std::conditional_t<sizeof(T) == 1, uint16_t, uint32_t>;
    static constexpr int kBatch = 4;

    static void fold(Sum* sums, Wide* wide, int64_t n, int64_t weight, bool* has_wide)
    {
        if (!*has_wide) std::memset(wide, 0, static_cast<size_t>(n) * sizeof(Wide));
        *has_wide = true;
        for (int64_t x = 0; x < n; ++x) {
            wide[x] += static_cast<Wide>(sums[x]) * static_cast<Wide>(weight);
            sums[x] = 0;
        }
    }

    // Divides a line of column sums into the new columns: the totals of the whole line first,
    // then their scaling, two short loops without dependencies between their steps. Sums stay
    // below 2^63, so signed arithmetic (and its cheap conversion to double) is safe.
    template <class S>
    void divide(const S* sums, T* to, double scale)
    {
        if (across_.uniform)
            scale *= uniform_totals(sums);
        else
            split_totals(sums);
        // Locals: stores through `to` (bytes) could alias any member.
        const int64_t* total = totals_.get();
        const int64_t n = int64_t{out_->width} * C, top = max_value_;
        for (int64_t i = 0; i < n; ++i) {
            const int64_t v = static_cast<int64_t>(to_double(total[i]) * scale + 0.5);
            to[i] = static_cast<T>(v < top ? v : top);
        }
    }

    // Only a new column's first and last source columns can be split; those between count whole.
    template <class S>
    void split_totals(const S* sums)
    {
        const int64_t full = out_->width;
        const Cover::Span* span = across_.span.get();
        int64_t* total = totals_.get();
        for (int64_t k = 0; k < full; ++k, ++span, total += C) {
            const S* p = sums + span->first * C;
#pragma GCC unroll 4
            for (int c = 0; c < C; ++c) total[c] = int64_t{span->first_weight} * static_cast<int64_t>(p[c]);
            if (span->count > 1) {
                int64_t inner[C] = {};
                for (int64_t t = 2; t < span->count; ++t) {
                    p += C;
#pragma GCC unroll 4
                    for (int c = 0; c < C; ++c) inner[c] += static_cast<int64_t>(p[c]);
                }
                p += C;
#pragma GCC unroll 4
                for (int c = 0; c < C; ++c) total[c] += full * inner[c] + int64_t{span->last_weight} * static_cast<int64_t>(p[c]);
            }
        }
    }

    // Every new column takes the same number of whole columns: plain sums. Returns their common
    // weight, for the scale.
    template <class S>
    double uniform_totals(const S* sums)
    {
        const int64_t count = across_.uniform;
        int64_t* total = totals_.get();
        for (int64_t k = 0; k < out_->width; ++k, total += C) {
            int64_t inner[C] = {};
            for (int64_t t = 0; t < count; ++t, sums += C) {
#pragma GCC unroll 4
                for (int c = 0; c < C; ++c) inner[c] += static_cast<int64_t>(sums[c]);
            }
#pragma GCC unroll 4
            for (int c = 0; c < C; ++c) total[c] = inner[c];
        }
        return static_cast<double>(out_->width);
    }

    const LineSource& lines_;
    Picture* out_;
    Scratch<int64_t> totals_;
    const Cover& across_;
    const Cover& down_;
    int64_t max_value_;
};

}  // namespace

Status image_resize_average(Picture* source, Picture* destination, int width, int height, uint32_t mapped_target)
{
    if (!source->data || width < 1 || height < 1) return STATUS_BAD_PARAMETER;
    LineSource lines{source, 0, {}};
    uint32_t type = source->type;
    if (source->type == PIXEL_BINARY) {
        // Grey shares of white only make sense when several bits fall into each new pixel.
        if (width >= source->width || height >= source->height) return STATUS_BAD_PARAMETER;
        lines.kind = 1;
        type = PIXEL_GREY;
    } else if (source->type == PIXEL_COLORS) {
        if (mapped_target != PIXEL_RGB && mapped_target != PIXEL_BGR) return STATUS_BAD_PARAMETER;
        lines.kind = mapped_target == PIXEL_BGR ? 3 : 2;
        type = mapped_target;
    } else if (source->type == PIXEL_GREY && source->bits_per_component <= 8 && source->colour_used >= 2 &&
               source->colour_used < 256) {
        lines.kind = 4;
        const int top = source->colour_used - 1;
        for (int i = 0; i < 256; ++i) lines.levels[i] = static_cast<uint8_t>(std::min(255, i * 255 / top));
    }
    const bool deep = lines.kind == 0 && source->bits_per_component > 8;
    const int components = lines.kind == 2 || lines.kind == 3 ? 3 : lines.kind ? 1 : source->components_per_pixel;
    if (lines.kind == 0 && ((components != 1 && components != 3 && components != 4) ||
                            source->bytes_per_pixel != components * (deep ? 2 : 1)))
        return STATUS_BAD_PARAMETER;
    const int bits = deep ? std::min<int>(source->bits_per_component, 16) : 8;
    const int64_t max_value = (int64_t{1} << bits) - 1;
    // Every sum stays below old width × old height × the largest value.
    if (static_cast<double>(source->width) * source->height * 65535.0 >= 9.2e18)
        return STATUS_BAD_PARAMETER;

    Cover across, down;
    if (!across.build(source->width, width) || !down.build(source->height, height)) return STATUS_NO_MEMORY;
    Picture out{};
    LUM_TRY(op_result_alloc(source, &out, width, height, type, bits));
    if (type != source->type) {
        out.colour_used = type == PIXEL_GREY ? 256 : 0;
        out.transparent_index = NO_TRANSPARENT_INDEX;
    }
    if (lines.kind == 4) out.colour_used = 256;

    bool done = false;
    // Sums of split lines fit 32 bits, and their weights 16, while the picture has fewer than
    // 65536 lines.
    const bool narrow = source->height < 65536;
    auto go = [&](auto t, auto c) {
        using T = decltype(t);
        constexpr int C = decltype(c)::value;
        done = narrow ? Averager<T, C, uint32_t>(lines, &out, across, down, max_value).run()
                      : Averager<T, C, uint64_t>(lines, &out, across, down, max_value).run();
    };
    with_sample_layout(components, deep, go);
    if (!done) {
        picture_free(&out);
        return STATUS_NO_MEMORY;
    }
    op_deliver(source, destination, &out);
    return STATUS_OK;
}
