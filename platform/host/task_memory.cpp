// Task memory of the stand-in: the C heap, with the platform's rules for the
// edge cases (a zero-byte block is a real block; reallocating to zero bytes
// frees the block and answers null).
#include <cstdlib>

#include "platform/win32.h"

void* CoTaskMemAlloc(SIZE_T size) { return std::malloc(size == 0 ? 1 : size); }

void* CoTaskMemRealloc(void* block, SIZE_T size) {
    if (block == nullptr) return CoTaskMemAlloc(size);
    if (size == 0) {
        std::free(block);
        return nullptr;
    }
    return std::realloc(block, size);
}

void CoTaskMemFree(void* block) { std::free(block); }
