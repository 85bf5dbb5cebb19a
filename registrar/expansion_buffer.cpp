#include "registrar/expansion_buffer.h"

#include <cstring>
#include <limits>

#include "platform/allocation.h"

namespace registrar {
namespace {

constexpr std::int32_t kMaxCapacity = std::numeric_limits<std::int32_t>::max();

}  // namespace

ExpansionBuffer::~ExpansionBuffer() { platform::TaskFree(storage_); }

bool ExpansionBuffer::Create(std::int32_t inputLength) {
    if (storage_ != nullptr || inputLength < 0 || inputLength > kMaxCapacity / 2) return false;
    std::int32_t capacity = inputLength * 2;
    if (capacity < 100) capacity = 1000;
    storage_ = static_cast<char*>(platform::TaskAlloc(static_cast<SIZE_T>(capacity)));
    if (storage_ == nullptr) return false;
    capacity_ = capacity;
    used_ = 0;
    storage_[0] = '\0';
    return true;
}

bool ExpansionBuffer::Append(const char* bytes, std::int32_t count) {
    if (storage_ == nullptr || count < 0) return false;
    // Room for the bytes and the terminator; computed wide so that it can't wrap.
    const std::int64_t needed = std::int64_t{used_} + count + 1;
    if (needed >= capacity_) {
        std::int64_t capacity = capacity_;
        while (capacity <= needed) capacity *= 2;
        if (capacity > kMaxCapacity) return false;
        void* grown = platform::TaskRealloc(storage_, static_cast<SIZE_T>(capacity));
        if (grown == nullptr) return false;
        storage_ = static_cast<char*>(grown);
        capacity_ = static_cast<std::int32_t>(capacity);
    }
    std::memcpy(storage_ + used_, bytes, static_cast<size_t>(count));
    used_ += count;
    storage_[used_] = '\0';
    return true;
}

char* ExpansionBuffer::Release() {
    char* storage = storage_;
    storage_ = nullptr;
    used_ = 0;
    capacity_ = 0;
    return storage;
}

}  // namespace registrar
