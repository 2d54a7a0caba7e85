// The photo document's two picture slots reached in one way, whether a slot is a plain record
// pointer or an owning handle: what the slot holds, handing it over, and putting a record in.
#pragma once

#include <type_traits>
#include <utility>

#include "core/picture.h"

template <class Slot>
Picture* slot_get(const Slot& slot)
{
    return slot ? &*slot : nullptr;
}

// Empties the slot and hands its record (made with `new`) to the caller.
template <class Slot>
Picture* slot_take(Slot& slot)
{
    if constexpr (std::is_pointer_v<Slot>) {
        return std::exchange(slot, nullptr);
    } else {
        return slot.release();
    }
}

// Frees what the slot held, then holds `record` (made with `new`; null empties the slot).
template <class Slot>
void slot_put(Slot& slot, Picture* record)
{
    if constexpr (std::is_pointer_v<Slot>) {
        if (slot && slot != record) {
            picture_free(slot);
            delete slot;
        }
        slot = record;
    } else {
        slot = Slot(record);
    }
}

// True when a document call succeeded, whether it answers with a flag or with a status code.
template <class Result>
bool document_succeeded(Result result)
{
    if constexpr (std::is_same_v<Result, bool>) {
        return result;
    } else {
        return result == 0;
    }
}
