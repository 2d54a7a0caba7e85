// Separable resampling: each axis gets a list of (source index, weight) taps per new index, and
// the picture goes through both axes a line at a time, never as a whole intermediate picture.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "ops/pixel_dispatch.h"
#include "ops/resize_internal.h"
#include "ops/scratch.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

double sinc(double x)
{
    if (x == 0) return 1;
    x *= kPi;
    return std::sin(x) / x;
}

double kernel(int filter, double x)
{
    const double a = std::fabs(x);
    switch (filter) {
    case RESIZE_HERMITE: return a < 1 ? (2 * a - 3) * a * a + 1 : 0;
    case RESIZE_GAUSSIAN: return a < 1.25 ? std::exp(-2 * x * x) * 0.7978845608028654 : 0;
    case RESIZE_QUADRATIC: return a < 0.5 ? 0.75 - x * x : a < 1.5 ? (a - 1.5) * (a - 1.5) / 2 : 0;
    case RESIZE_BSPLINE: return a < 1 ? a * a * a / 2 - x * x + 2.0 / 3 : a < 2 ? (2 - a) * (2 - a) * (2 - a) / 6 : 0;
    case RESIZE_MITCHELL:
        return a < 1   ? (7.0 / 6) * a * a * a - 2 * x * x + 8.0 / 9
               : a < 2 ? -(7.0 / 18) * a * a * a + 2 * x * x - (10.0 / 3) * a + 16.0 / 9
                       : 0;
    case RESIZE_LANCZOS: return a < 3 ? sinc(x) * sinc(x / 3) : 0;
    case RESIZE_RAISED_COSINE: return a < 1 ? (std::cos(kPi * x) + 1) / 2 : 0;
    default: return 0;
    }
}

double support(int filter)
{
    switch (filter) {
    case RESIZE_HERMITE: return 1.0;
    case RESIZE_GAUSSIAN: return 1.25;
    case RESIZE_QUADRATIC: return 1.5;
    case RESIZE_BSPLINE:
    case RESIZE_MITCHELL: return 2.0;
    case RESIZE_LANCZOS: return 3.0;
    default: return 1.0;
    }
}

// The taps of one axis: new index i reads count[i] source indices from index + offset[i].
struct Taps {
    Scratch<int64_t> offset;  // new size + 1 entries
    Scratch<int32_t> index;
    Scratch<double> weight;
    int64_t reach = 0;        // widest distance between a new index's first and last source index, plus one

    bool alloc(int new_size, uint64_t most)
    {
        return offset.alloc(static_cast<uint64_t>(new_size) + 1) && index.alloc(most) && weight.alloc(most);
    }
    void finish(int new_size)
    {
        for (int i = 0; i < new_size; ++i) {
            const int64_t a = offset[i], b = offset[i + 1];
            if (b > a) reach = std::max<int64_t>(reach, index[b - 1] - index[a] + 1);
        }
    }
};

bool filter_taps(Taps& taps, int filter, int old_size, int new_size)
{
    const double factor = static_cast<double>(new_size) / old_size;
    double scale = std::max(1 / factor, 1.0);
    double reach = scale * support(filter);
    if (reach <= 0.5) {
        reach = 0.5000001;
        scale = 1;
    }
    const uint64_t per = static_cast<uint64_t>(2 * reach + 3);
    if (!taps.alloc(new_size, per * static_cast<uint64_t>(new_size))) return false;
    int64_t n_taps = 0;
    for (int i = 0; i < new_size; ++i) {
        taps.offset[i] = n_taps;
        const double centre = (i + 0.5) / factor;
        const int64_t start = static_cast<int64_t>(std::max(centre - reach + 0.5, 0.0));
        const int64_t stop = static_cast<int64_t>(std::min(centre + reach + 0.5, static_cast<double>(old_size)));
        double density = 0;
        const int64_t first = n_taps;
        for (int64_t n = start; n < stop && n_taps - first < static_cast<int64_t>(per); ++n) {
            const double w = kernel(filter, (static_cast<double>(n) - centre + 0.5) / scale);
            taps.index[n_taps] = static_cast<int32_t>(n);
            taps.weight[n_taps++] = w;
            density += w;
        }
        if (density != 0 && density != 1)
            for (int64_t k = first; k < n_taps; ++k) taps.weight[k] /= density;
    }
    taps.offset[new_size] = n_taps;
    taps.finish(new_size);
    return true;
}

// Codes 0 and 1: the covered span when reducing, a blend of two neighbours when enlarging.
bool interpolation_taps(Taps& taps, int old_size, int new_size)
{
    const double scale = static_cast<double>(old_size) / new_size;
    const uint64_t per = scale >= 1 ? static_cast<uint64_t>(scale) + 3 : 2;
    if (!taps.alloc(new_size, per * static_cast<uint64_t>(new_size))) return false;
    int64_t n_taps = 0;
    auto add = [&](int64_t n, double w) {
        taps.index[n_taps] = static_cast<int32_t>(std::min<int64_t>(n, old_size - 1));
        taps.weight[n_taps++] = w;
    };
    for (int i = 0; i < new_size; ++i) {
        taps.offset[i] = n_taps;
        if (scale >= 1) {
            const double start = i * scale, end = (i + 1) * scale;
            const int64_t limit = taps.offset[i] + static_cast<int64_t>(per);
            for (int64_t n = static_cast<int64_t>(start); n < end && n_taps < limit; ++n) {
                const double covered = std::min<double>(n + 1, end) - std::max<double>(n, start);
                if (covered > 0.0001) add(n, covered / scale);
            }
        } else {
            const double position = i * scale;
            const int64_t n = static_cast<int64_t>(position);
            const double f = position - n;
            add(n, 1 - f);
            if (f > 0.0001) add(n + 1, f);
        }
    }
    taps.offset[new_size] = n_taps;
    taps.finish(new_size);
    return true;
}

// How a pass's sums become stored values.
struct Rounding {
    double max_value;
    double bias;  // 0.5 to round, 0.0001 to truncate the own interpolation's values, 0 to keep them

    bool stores() const { return bias != 0; }

    double apply(double s) const
    {
        if (s <= 0) return 0;
        if (s >= max_value) return max_value;
        return std::trunc(s + bias);
    }
};

template <class T, int C>
class Resampler {
public:
    Resampler(const Picture* source, Picture* out, const Taps& across, const Taps& down, Rounding between, Rounding last)
        : source_(source), out_(out), across_(across), down_(down), between_(between), last_(last)
    {
    }

    // Down the columns first: each new line is one weighted sum of whole source lines.
    bool vertical_first()
    {
        const int64_t n = int64_t{source_->width} * C;
        Scratch<double> line;
        if (!line.alloc(static_cast<uint64_t>(n))) return false;
        for (int j = 0; j < out_->height; ++j) {
            std::fill(line.get(), line.get() + n, 0.0);
            for (int64_t t = down_.offset[j]; t < down_.offset[j + 1]; ++t) {
                const T* from = reinterpret_cast<const T*>(picture_line(source_, down_.index[t]));
                const double w = down_.weight[t];
                double* acc = line.get();
                for (int64_t x = 0; x < n; ++x) acc[x] += w * from[x];
            }
            if (between_.stores()) for (int64_t x = 0; x < n; ++x) line[x] = between_.apply(line[x]);
            across(line.get(), reinterpret_cast<T*>(picture_line(out_, j)));
        }
        return true;
    }

    // Across the lines first, each source line once, kept in a ring for the new lines that read it.
    bool horizontal_first()
    {
        const int64_t n = int64_t{out_->width} * C;
        const int64_t ring = std::max<int64_t>(down_.reach, 1);
        Scratch<double> lines, sum;
        if (!lines.alloc(static_cast<uint64_t>(n) * static_cast<uint64_t>(ring)) || !sum.alloc(static_cast<uint64_t>(n)))
            return false;
        int64_t made = 0;  // source lines resampled so far
        Scratch<double> source_line;
        if (!source_line.alloc(static_cast<uint64_t>(source_->width) * C)) return false;
        for (int j = 0; j < out_->height; ++j) {
            const int64_t a = down_.offset[j], b = down_.offset[j + 1];
            const int64_t needed = b > a ? down_.index[b - 1] + 1 : made;
            for (; made < needed; ++made) {
                const T* from = reinterpret_cast<const T*>(picture_line(source_, static_cast<int>(made)));
                for (int64_t x = 0; x < int64_t{source_->width} * C; ++x) source_line[x] = from[x];
                double* to = lines.get() + (made % ring) * n;
                across_sums(source_line.get(), to);
                if (between_.stores()) for (int64_t x = 0; x < n; ++x) to[x] = between_.apply(to[x]);
            }
            std::fill(sum.get(), sum.get() + n, 0.0);
            for (int64_t t = a; t < b; ++t) {
                const double* from = lines.get() + (down_.index[t] % ring) * n;
                const double w = down_.weight[t];
                for (int64_t x = 0; x < n; ++x) sum[x] += w * from[x];
            }
            T* to = reinterpret_cast<T*>(picture_line(out_, j));
            for (int64_t x = 0; x < n; ++x) to[x] = static_cast<T>(last_.apply(sum[x]));
        }
        return true;
    }

private:
    // The weighted sums across one line, handed to `store` as (element, sum).
    template <class Store>
    void across_pass(const double* from, Store store) const
    {
        for (int i = 0; i < out_->width; ++i) {
            double s[C] = {};
            for (int64_t t = across_.offset[i]; t < across_.offset[i + 1]; ++t) {
                const double* p = from + int64_t{across_.index[t]} * C;
                const double w = across_.weight[t];
                for (int c = 0; c < C; ++c) s[c] += w * p[c];
            }
            for (int c = 0; c < C; ++c) store(int64_t{i} * C + c, s[c]);
        }
    }
    void across_sums(const double* from, double* to) const
    {
        across_pass(from, [to](int64_t k, double v) { to[k] = v; });
    }
    void across(const double* from, T* to) const
    {
        across_pass(from, [this, to](int64_t k, double v) { to[k] = static_cast<T>(last_.apply(v)); });
    }

    const Picture* source_;
    Picture* out_;
    const Taps& across_;
    const Taps& down_;
    Rounding between_, last_;
};

template <class T, int C>
bool run(const Picture* source, Picture* out, const Taps& across, const Taps& down, bool filtered, bool horizontal)
{
    const int bits = source->bits_per_component > 16 ? 16 : source->bits_per_component;
    const double max_value = bits > 8 ? static_cast<double>((1 << bits) - 1) : 255.0;
    const Rounding last{max_value, filtered ? 0.5 : 0.0001};
    // The filtered passes go through a picture of the source's type; the own interpolation
    // keeps full precision until the end.
    const Rounding between{max_value, filtered ? 0.5 : 0};
    Resampler<T, C> r(source, out, across, down, between, last);
    return horizontal ? r.horizontal_first() : r.vertical_first();
}

// A colour-mapped picture as RGB, for the filters that compute new colours.
Status expand_colour_map(const Picture* source, Picture* rgb)
{
    LUM_TRY(op_result_alloc(source, rgb, source->width, source->height, PIXEL_RGB, 8));
    rgb->colour_used = 0;
    rgb->transparent_index = NO_TRANSPARENT_INDEX;
    for (int y = 0; y < source->height; ++y)
        colour_map_expand_line(source, picture_line(source, y), picture_line(rgb, y), false);
    return STATUS_OK;
}

}  // namespace

Status resize_resample(Picture* source, Picture* destination, int width, int height, int filter)
{
    const bool filtered = filter >= RESIZE_HERMITE;
    Picture expanded{};
    const Picture* from = source;
    if (source->type == PIXEL_COLORS) {
        LUM_TRY(expand_colour_map(source, &expanded));
        from = &expanded;
    }
    const int components = from->components_per_pixel;
    const bool deep = from->bits_per_component > 8;
    const bool shape_ok = (components == 1 || components == 3 || components == 4) &&
                          from->bytes_per_pixel == components * (deep ? 2 : 1);
    Taps across, down;
    const bool taps_ok = shape_ok && (filtered ? filter_taps(across, filter, from->width, width) && filter_taps(down, filter, from->height, height)
                                               : interpolation_taps(across, from->width, width) && interpolation_taps(down, from->height, height));
    Picture out{};
    Status status = !shape_ok  ? Status{STATUS_BAD_PARAMETER}
                    : !taps_ok ? Status{STATUS_NO_MEMORY}
                               : op_result_alloc(from, &out, width, height);
    if (status == STATUS_OK) {
        if (filtered) out.transparent_index = NO_TRANSPARENT_INDEX;
        // The less costly order of the two passes, as the amount of work each leaves.
        const bool horizontal = (int64_t{from->width} + width) * height < (int64_t{from->height} + height) * width;
        bool done = false;
        auto go = [&](auto t, auto c) {
            done = run<decltype(t), decltype(c)::value>(from, &out, across, down, filtered, horizontal);
        };
        with_sample_layout(components, deep, go);
        if (!done) {
            picture_free(&out);
            status = STATUS_NO_MEMORY;
        }
    }
    picture_free(&expanded);
    if (status != STATUS_OK) return status;
    op_deliver(source, destination, &out);
    return STATUS_OK;
}
