// Working memory of an image operation: zero-filled, freed on every way out, and checked by the
// caller rather than throwing, so that a failed allocation becomes STATUS_NO_MEMORY.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <type_traits>

template <typename T>
class Scratch {
    static_assert(std::is_trivially_copyable_v<T>, "scratch memory holds plain values");

public:
    Scratch() = default;
    explicit Scratch(uint64_t count) { alloc(count); }
    ~Scratch() { std::free(items_); }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

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
    bool ok() const { return items_ != nullptr; }
    T* get() const { return items_; }
    T& operator[](size_t i) const { return items_[i]; }

private:
    T* items_ = nullptr;
};
