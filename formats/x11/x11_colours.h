// Colour names of the X Window System, for XPM colour entries.
#pragma once

#include <cstdint>

struct X11Colour {
    const char* name;
    uint8_t red, green, blue;
};

// The whole table: "None" first, then the names in lower case, sorted.
const X11Colour* x11_colour_table(int* count);
// A name already in lower case ("none" finds "None"); null when the database does not know it.
const X11Colour* x11_colour_find(const char* lower_case_name);
