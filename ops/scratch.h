// Working memory for an operation, freed on every way out; allocation failure is reported, not
// thrown, so that it becomes STATUS_NO_MEMORY.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

template <class T>
class Scratch {
public:
    Scratch() = default;
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    ~Scratch() { std::free(items_); }

    // Zero-filled room for `count` items; false when it cannot be had.
    bool alloc(uint64_t count)
    {
        std::free(items_);
        items_ = nullptr;
        if (count == 0) count = 1;
        if (count > SIZE_MAX / sizeof(T)) return false;
        items_ = static_cast<T*>(std::calloc(static_cast<size_t>(count), sizeof(T)));
        return items_ != nullptr;
    }
    T* get() const { return items_; }
    T& operator[](size_t i) const { return items_[i]; }

private:
    T* items_ = nullptr;
};
