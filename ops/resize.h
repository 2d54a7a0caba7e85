#pragma once
#include "core/picture.h"
Status image_resize(Picture* source, Picture* destination, int width, int height, int filter);
Status image_resize_average(Picture* source, Picture* destination, int width, int height, uint32_t map_type);
