// Working memory of an image operation: zero-filled, freed with its scope, and checked by the
// caller (ok()) rather than throwing, so that a failed allocation becomes STATUS_NO_MEMORY.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <type_traits>

template <typename T>
class Scratch {
    static_assert(std::is_trivially_copyable_v<T>, "scratch memory holds plain values");

public:
    explicit Scratch(size_t count) : data_(static_cast<T*>(std::calloc(count ? count : 1, sizeof(T)))) {}
    ~Scratch() { std::free(data_); }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    bool ok() const { return data_ != nullptr; }
    T* get() const { return data_; }
    T& operator[](size_t i) const { return data_[i]; }

private:
    T* data_;
};
