// What a process holds right now: task-memory blocks still allocated (every
// BSTR is one, with the string cache turned off by OANOCACHE=1) and bytes in
// use in its heaps.
#pragma once

#include <cstddef>

#include "platform/win32.h"

namespace bench {

// Counts task-memory blocks from the moment it is installed; one per process.
class TaskMemoryCounter {
public:
    static HRESULT Install();
    static void Remove();
    static long Live();
};

// Bytes in allocated blocks over every heap of the process.
std::size_t HeapBytesInUse();

}  // namespace bench
