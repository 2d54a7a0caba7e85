// How long the splash screen still stays when start-up asks it to close.
#pragma once

#include <cstdint>

constexpr int SPLASH_BITMAP = 107;

// Milliseconds to wait before closing a splash shown at `start_seconds` (whole seconds) when it is
// now `now_seconds`: it stays at least 2 seconds by the clock's whole seconds.
int splash_remaining_ms(int64_t start_seconds, int64_t now_seconds);
