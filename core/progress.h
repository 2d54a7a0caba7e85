// The 60-character progress bar the pipelines draw on standard error when asked.
#pragma once

#include <cstdint>
#include <cstdio>

constexpr int PROGRESS_WIDTH = 60;

inline void progress_start() { std::fputs("------------------------------------------------------------\r", stderr); }

// Draws the stars that `done` of `total` lines have earned since the last call.
inline void progress_advance(int64_t done, int64_t total, int* drawn)
{
    if (total <= 0) return;
    const int64_t stars = done * PROGRESS_WIDTH / total;
    while (*drawn < stars && *drawn < PROGRESS_WIDTH) {
        std::fputc('*', stderr);
        ++*drawn;
    }
}
