// A picture record the test owns: freed when the test leaves the scope.
#pragma once

#include "core/picture.h"

struct Owned {
    Picture p{};
    Owned() = default;
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() { picture_free(&p); }
};
