#include "app/splash.h"

int splash_remaining_ms(int64_t start_seconds, int64_t now_seconds)
{
    const int64_t elapsed = now_seconds - start_seconds;
    // A clock set back makes the elapsed time negative: wait the full time, not longer.
    if (elapsed < 0) return 2000;
    return elapsed < 2 ? static_cast<int>(2000 - 1000 * elapsed) : 0;
}
