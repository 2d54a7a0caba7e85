// The adjust-colours dialog's logic: the six slider scales, the values they stand for, and the
// after preview recomputed from the loaded picture on every movement.
#pragma once

#include <cstddef>

#include "editing/document.h"

enum : int { ADJUST_BRIGHTNESS, ADJUST_CONTRAST, ADJUST_GAMMA, ADJUST_RED, ADJUST_GREEN, ADJUST_BLUE, ADJUST_SLIDERS };

struct AdjustScale {
    int minimum;
    int maximum;
    int start;
};
// Brightness, contrast and the colour offsets run 0..254 around 127; gamma 1..1000 in hundredths.
const AdjustScale& adjust_scale(int slider);

// What the dialog hands back, in this order.
struct AdjustResult {
    int brightness;
    int contrast;
    double gamma;
    int red;
    int green;
    int blue;
};

// The result for six slider positions (in slider order).
AdjustResult adjust_result(const int positions[ADJUST_SLIDERS]);
// The text of a slider's value field: "-12", "0", "27" or, for gamma, "1.00".
void adjust_value_text(int slider, int position, char* out, size_t size);

// Brings the after document back to its loaded picture and applies the six positions to it.
// The document must have undo enabled, so that each preview starts from the loaded picture.
void adjust_preview_update(PhotoDocument* after, const int positions[ADJUST_SLIDERS]);
