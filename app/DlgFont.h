// The add-text dialog's logic: the sizes offered, the choices remembered for the program's life,
// and the font description made from them.
#pragma once

#include <cstdint>

#include "app/CBmp.h"

// Sizes in points, in the order the list shows them; -1 ends the table.
extern const int32_t FONT_SIZES[];
constexpr int FONT_SIZE_COUNT = 24;

// The dialog's choices. One instance lives for the whole run (never written to disk).
struct FontChoice {
    wchar_t face[64];
    int32_t size_index;
    bool bold;
    bool italic;
    bool underline;
    bool strike_out;
};
// The remembered choices: "Courier New", 48 points, no attributes until a first OK.
FontChoice& font_remembered();
void font_remembered_reset();

// The point size of a size-list index (the nearest valid index for one out of range).
int font_size_points(int index);

// Windows' MulDiv: a * b / c rounded half away from zero; -1 when c is 0.
int font_mul_div(int a, int b, int c);

// The font description for the choices at `pixels_per_inch` (the edit box's vertical logical
// inch): height -size*ppi/72, weight 700 or 400, the attribute flags and the face cut to 31.
ViewFont font_describe(const FontChoice& choice, int pixels_per_inch);
