// The register of bitmaps the program made: a list, newest first, of (kind, handle, label,
// number), shared by the UI thread and the thumbnail worker.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

enum class BitmapKind { dib_bitmap = 1, compatible_bitmap = 2, dib_section = 3 };

struct BitmapRecord {
    BitmapKind kind;
    const void* handle;
    std::string label;
    int number;
};

class BitmapRegister {
public:
    // False when the record could not be made.
    bool add(BitmapKind kind, const void* handle, const char* label, int number);
    // True when the handle had a record (its newest one is removed).
    bool remove(const void* handle);
    size_t count() const;
    // Every record, newest first, leaving the register empty.
    std::vector<BitmapRecord> take_all();

private:
    mutable std::mutex lock_;
    std::vector<BitmapRecord> records_;  // oldest first
};

BitmapRegister& bitmap_register();
