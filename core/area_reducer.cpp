#include "core/area_reducer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace {

// Splits `source` positions over `target` ones: where each source position starts and what share
// of it (in 1024ths) belongs to the next target position.
void split_axis(int source, int target, std::vector<int32_t>& starts, std::vector<uint16_t>& shares)
{
    const double step = static_cast<double>(source) / target;
    starts.resize(static_cast<size_t>(source));
    shares.resize(static_cast<size_t>(source));
    for (int x = 0; x < source; ++x) {
        int k = static_cast<int>(x / step);
        if (k >= target) k = target - 1;
        const double boundary = (k + 1) * step;
        int share = 0;
        if (k + 1 < target && boundary < x + 1) share = static_cast<int>((x + 1 - boundary) * 1024);
        starts[static_cast<size_t>(x)] = k;
        shares[static_cast<size_t>(x)] = static_cast<uint16_t>(std::clamp(share, 0, 1024));
    }
}

// Sums `count` pixels of C bytes per channel. Plain locals keep the sums in registers.
template <int C>
inline void run_sum(const uint8_t* p, int count, uint32_t* out)
{
    uint32_t a0 = 0, a1 = 0, a2 = 0, a3 = 0, b0 = 0, b1 = 0, b2 = 0, b3 = 0;
    int i = 0;
    for (; i + 2 <= count; i += 2, p += 2 * C) {
        a0 += p[0];
        b0 += p[C];
        if constexpr (C > 1) { a1 += p[1]; b1 += p[C + 1]; }
        if constexpr (C > 2) { a2 += p[2]; b2 += p[C + 2]; }
        if constexpr (C > 3) { a3 += p[3]; b3 += p[C + 3]; }
    }
    if (i < count) {
        a0 += p[0];
        if constexpr (C > 1) a1 += p[1];
        if constexpr (C > 2) a2 += p[2];
        if constexpr (C > 3) a3 += p[3];
    }
    out[0] = a0 + b0;
    if constexpr (C > 1) out[1] = a1 + b1;
    if constexpr (C > 2) out[2] = a2 + b2;
    if constexpr (C > 3) out[3] = a3 + b3;
}

template <int C>
void reduce_across(AreaReducer* r, const uint8_t* line)
{
    uint64_t* sums = r->line_sums_wide.data();
    std::memset(sums, 0, r->line_sums_wide.size() * sizeof(uint64_t));
    const int32_t* target = r->column_target.data();
    const uint16_t* share = r->column_share.data();
    int x = 0;
    const int sw = r->source_width;
    while (x < sw) {
        const int k = target[x];
        // Columns wholly inside target column k are summed plainly, in registers; only boundary
        // columns are split.
        const int end = r->run_end[static_cast<size_t>(k)];
        uint32_t run[C] = {};
        run_sum<C>(line + static_cast<size_t>(x) * C, end - x, run);
        x = std::max(x, end);
        uint64_t* s = sums + static_cast<size_t>(k) * C;
        for (int c = 0; c < C; ++c) s[c] += static_cast<uint64_t>(run[c]) << 10;
        if (x < sw && target[x] == k) {
            const uint32_t w = share[x];
            for (int c = 0; c < C; ++c) {
                const uint32_t v = line[x * C + c];
                s[c] += (1024 - w) * v;
                if (w) s[C + c] += w * v;
            }
            ++x;
        }
    }
}

void reduce_across_any(AreaReducer* r, const uint8_t* line)
{
    switch (r->components) {
    case 1: reduce_across<1>(r, line); break;
    case 3: reduce_across<3>(r, line); break;
    case 4: reduce_across<4>(r, line); break;
    default: reduce_across<2>(r, line); break;
    }
}

void emit(AreaReducer* r, uint8_t* out)
{
    const size_t n = r->current.size();
    const uint64_t d = r->divisor;
    for (size_t i = 0; i < n; ++i) {
        const uint64_t v = (r->current[i] + d / 2) / d;
        out[i] = static_cast<uint8_t>(v > 255 ? 255 : v);
    }
}

}  // namespace

bool area_reducer_init(AreaReducer* r, int sw, int sh, int tw, int th, int components)
{
    if (sw < 1 || sh < 1 || tw < 1 || th < 1 || tw > sw || th > sh || components < 1 || components > 4) return false;
    try {
        *r = AreaReducer{};
        r->source_width = sw;
        r->source_height = sh;
        r->target_width = tw;
        r->target_height = th;
        r->components = components;
        split_axis(sw, tw, r->column_target, r->column_share);
        split_axis(sh, th, r->row_target, r->row_share);
        // The columns starting in target column k are contiguous; all but possibly the last (the
        // one holding the boundary to k + 1) lie wholly inside it.
        r->run_end.assign(static_cast<size_t>(tw), 0);
        for (int x = 0; x < sw; ++x) {
            const size_t k = static_cast<size_t>(r->column_target[static_cast<size_t>(x)]);
            r->run_end[k] = r->column_share[static_cast<size_t>(x)] ? x : x + 1;
        }
        const size_t row = static_cast<size_t>(tw) * components;
        r->line_sums_wide.assign(row + components, 0);
        r->current.assign(row, 0);
        r->next.assign(row, 0);
        const double sx = static_cast<double>(sw) / tw, sy = static_cast<double>(sh) / th;
        r->divisor = std::max<uint64_t>(1, static_cast<uint64_t>(sx * sy * 1048576.0 + 0.5));
    } catch (const std::bad_alloc&) {
        *r = AreaReducer{};
        return false;
    }
    return true;
}

int area_reducer_push(AreaReducer* r, const uint8_t* line, uint8_t* out)
{
    if (r->source_row >= r->source_height) return -1;
    reduce_across_any(r, line);
    const size_t y = static_cast<size_t>(r->source_row++);
    const uint64_t wy = r->row_share[y];
    const uint64_t keep = 1024 - wy;
    const uint64_t* s = r->line_sums_wide.data();
    uint64_t* cur = r->current.data();
    uint64_t* nxt = r->next.data();
    const size_t n = r->current.size();
    for (size_t i = 0; i < n; ++i) cur[i] += keep * s[i];
    if (wy)
        for (size_t i = 0; i < n; ++i) nxt[i] += wy * s[i];

    const int t = r->row_target[y];
    const bool last = r->source_row == r->source_height;
    if (!last && r->row_target[static_cast<size_t>(r->source_row)] == t) return -1;
    emit(r, out);
    std::swap(r->current, r->next);
    std::fill(r->next.begin(), r->next.end(), 0);
    r->target_row = t + 1;
    return t;
}

int area_reducer_flush(AreaReducer* r, uint8_t* out)
{
    if (r->target_row >= r->target_height || r->source_row == 0) return -1;
    emit(r, out);
    std::fill(r->current.begin(), r->current.end(), 0);
    return r->target_row++;
}
