// The growing narrow buffer that receives a script's text with its variables
// expanded. It is always terminated, so the walk can read it as it grows.
#pragma once

#include <cstdint>

#include "platform/win32.h"

namespace registrar {

class ExpansionBuffer {
public:
    ExpansionBuffer() = default;
    ~ExpansionBuffer();
    ExpansionBuffer(const ExpansionBuffer&) = delete;
    ExpansionBuffer& operator=(const ExpansionBuffer&) = delete;

    // Allocates twice the input length, or 1000 bytes when that is under 100.
    // False when the storage can't be had.
    bool Create(std::int32_t inputLength);

    // Appends count bytes and a terminator, doubling the capacity as needed.
    // False when the storage can't grow; the text held so far is kept.
    bool Append(const char* bytes, std::int32_t count);

    // Gives up the storage to the caller, who releases it with platform::TaskFree.
    char* Release();

    const char* Text() const { return storage_; }
    std::int32_t Length() const { return used_; }
    std::int32_t Capacity() const { return capacity_; }

private:
    std::int32_t used_ = 0;
    std::int32_t capacity_ = 0;
    char* storage_ = nullptr;
};

}  // namespace registrar
