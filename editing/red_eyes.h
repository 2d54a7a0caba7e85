#pragma once

#include "core/picture.h"

// Corrects the red pixels inside the ellipse inscribed in the rectangle (x, y, w, h), in place.
// 16 when the picture is not an 8-bit colour picture or the rectangle is empty after clipping.
Status image_red_eyes(Picture* picture, int x, int y, int width, int height);
