#include "core/picture_handle.h"

#include <new>

PictureHandle PictureHandle::create() { return PictureHandle(new (std::nothrow) Picture{}); }

PictureHandle PictureHandle::clone(const Picture& source)
{
    PictureHandle copy = create();
    if (copy && picture_clone(&source, copy.get()) != 0) copy.reset();
    return copy;
}

PictureHandle PictureHandle::adopt(Picture* source)
{
    PictureHandle owner = create();
    if (owner) {
        *owner = *source;
        *source = Picture{};
    }
    return owner;
}

void PictureHandle::reset(Picture* record)
{
    Picture* old = record_;
    record_ = record;
    if (old && old != record) {
        picture_free(old);
        delete old;
    }
}
