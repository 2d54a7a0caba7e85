#include "app/bitmap_register.h"

#include <algorithm>
#include <new>

bool BitmapRegister::add(BitmapKind kind, const void* handle, const char* label, int number)
{
    try {
        std::lock_guard<std::mutex> hold(lock_);
        records_.push_back(BitmapRecord{kind, handle, label ? label : "", number});
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool BitmapRegister::remove(const void* handle)
{
    std::lock_guard<std::mutex> hold(lock_);
    const auto newest = std::find_if(records_.rbegin(), records_.rend(),
                                     [&](const BitmapRecord& r) { return r.handle == handle; });
    if (newest == records_.rend()) return false;
    records_.erase(std::next(newest).base());
    return true;
}

size_t BitmapRegister::count() const
{
    std::lock_guard<std::mutex> hold(lock_);
    return records_.size();
}

std::vector<BitmapRecord> BitmapRegister::take_all()
{
    std::lock_guard<std::mutex> hold(lock_);
    std::vector<BitmapRecord> all;
    all.swap(records_);
    std::reverse(all.begin(), all.end());
    return all;
}

BitmapRegister& bitmap_register()
{
    static BitmapRegister the_register;
    return the_register;
}
