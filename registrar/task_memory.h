// Ownership of a block of task memory (allocated through the platform's seam).
#pragma once

#include <memory>

#include "platform/allocation.h"

namespace registrar {

struct TaskMemoryDeleter {
    void operator()(void* block) const { platform::TaskFree(block); }
};

template <typename T>
using TaskPtr = std::unique_ptr<T, TaskMemoryDeleter>;

}  // namespace registrar
