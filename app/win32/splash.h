// The splash screen "SplashClass": the program's picture in the middle of the screen while it
// starts, kept at least two seconds by the clock.
#pragma once

#include <windows.h>

#include <cstdint>

#include "app/win32/Window.h"

class Splash : public Window<Splash> {
public:
    // Shows bitmap resource `bitmap` at once; without that bitmap there is no splash.
    void start(int bitmap);
    // Waits what remains of the two seconds, then destroys the window and frees the bitmap.
    void close();
    bool shown() const { return window() != nullptr; }

    // The clock in whole seconds; tests set their own.
    using Clock = int64_t (*)();
    static void set_clock(Clock clock);

    static const MessageMap<Splash> message_map;

private:
    friend struct SplashHandlers;
    HBITMAP bitmap_ = nullptr;
    int64_t start_ = 0;
};
