// A block of task memory, allocated through the allocation seam
// (platform::TaskAlloc) and given back with platform::TaskFree.
#pragma once

#include "platform/allocation.h"
#include "platform/owned_handle.h"

namespace platform {

template <typename T>
void FreeTaskMemory(T* block) noexcept {
    TaskFree(block);
}

template <typename T>
class TaskMemory : public OwnedHandle<NullEmptyTraits<T*, &FreeTaskMemory<T>>> {
public:
    using OwnedHandle<NullEmptyTraits<T*, &FreeTaskMemory<T>>>::OwnedHandle;

    // A new block of count elements, not initialised; empty when the seam
    // refuses it or the size would not fit.
    static TaskMemory Allocate(SIZE_T count) noexcept {
        if (count > static_cast<SIZE_T>(-1) / sizeof(T)) return TaskMemory();
        return TaskMemory(static_cast<T*>(TaskAlloc(count * sizeof(T))));
    }
};

}  // namespace platform
