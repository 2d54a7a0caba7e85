#include "ops/resize.h"
Status image_resize(Picture*, Picture*, int, int, int) { return STATUS_BAD_PARAMETER; }
Status image_resize_average(Picture*, Picture*, int, int, uint32_t) { return STATUS_BAD_PARAMETER; }
