#include "app/DlgFont.h"

#include <cstdlib>
#include <cwchar>

// 292, 316 and 340 rather than 192, 216 and 240: the larger sizes are the ones offered.
const int32_t FONT_SIZES[] = {8,  9,  10, 11, 12, 14, 16, 18,  20,  22,  24,  26,  28,
                              32, 36, 48, 72, 96, 120, 144, 168, 292, 316, 340, -1};

namespace {

FontChoice start_choice()
{
    FontChoice c{};
    std::wcsncpy(c.face, L"Courier New", 63);
    c.size_index = 15;
    return c;
}

FontChoice remembered = start_choice();

}  // namespace

FontChoice& font_remembered() { return remembered; }
void font_remembered_reset() { remembered = start_choice(); }

int font_size_points(int index)
{
    if (index < 0) index = 0;
    if (index >= FONT_SIZE_COUNT) index = FONT_SIZE_COUNT - 1;
    return FONT_SIZES[index];
}

int font_mul_div(int a, int b, int c)
{
    if (c == 0) return -1;
    const long long product = static_cast<long long>(a) * b;
    long long q = (std::llabs(product) + std::llabs(static_cast<long long>(c)) / 2) / std::llabs(static_cast<long long>(c));
    if ((product < 0) != (c < 0)) q = -q;
    return static_cast<int>(q);
}

ViewFont font_describe(const FontChoice& choice, int pixels_per_inch)
{
    ViewFont f{};
    f.height = -font_mul_div(font_size_points(choice.size_index), pixels_per_inch, 72);
    f.weight = choice.bold ? 700 : 400;
    f.italic = choice.italic;
    f.underline = choice.underline;
    f.strike_out = choice.strike_out;
    // A font description holds 31 characters of face name and its terminator.
    std::wcsncpy(f.face, choice.face, 31);
    f.face[31] = 0;
    return f;
}
