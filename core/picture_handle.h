// A picture record on the heap that owns its blocks: the pixel block, colour map, chunks and
// comment go with picture_free, then the record itself. Move-only, so that no two owners ever
// hold the same blocks and nothing is freed twice or forgotten.
#pragma once

#include <cstddef>

#include "core/picture.h"

class PictureHandle {
public:
    PictureHandle() = default;
    // Takes over a record allocated with `new` (as create and release give them) and its blocks.
    explicit PictureHandle(Picture* record) : record_(record) {}
    ~PictureHandle() { reset(); }

    PictureHandle(PictureHandle&& other) noexcept : record_(other.release()) {}
    PictureHandle& operator=(PictureHandle&& other) noexcept
    {
        if (this != &other) reset(other.release());
        return *this;
    }
    PictureHandle(const PictureHandle&) = delete;
    PictureHandle& operator=(const PictureHandle&) = delete;

    // A new record cleared to zero; an empty handle when there is no memory for it.
    static PictureHandle create();
    // A new record holding blocks of its own with the same pixels and extras as `source`; an
    // empty handle when the memory is missing.
    static PictureHandle clone(const Picture& source);
    // A new record that takes over the blocks of `source` (a record on the stack, say), which is
    // left cleared; an empty handle, and `source` untouched, when there is no memory for it.
    static PictureHandle adopt(Picture* source);

    Picture* get() const { return record_; }
    Picture* operator->() const { return record_; }
    Picture& operator*() const { return *record_; }
    explicit operator bool() const { return record_ != nullptr; }
    friend bool operator==(const PictureHandle& handle, std::nullptr_t) { return handle.record_ == nullptr; }

    // Hands the record over (to a view that frees what it owns, say); the handle is left empty.
    Picture* release()
    {
        Picture* record = record_;
        record_ = nullptr;
        return record;
    }
    // Frees the record held, then holds `record`.
    void reset(Picture* record = nullptr);

private:
    Picture* record_ = nullptr;
};
