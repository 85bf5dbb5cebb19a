// One counted reference to a COM interface, released when the holder goes.
#pragma once

#include <utility>

#include "platform/win32.h"

namespace platform {

template <typename Interface>
class ComRef {
public:
    ComRef() = default;
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ComRef(ComRef&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComRef& operator=(ComRef&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.pointer_, nullptr));
        return *this;
    }
    ~ComRef() { Reset(); }

    Interface* Get() const noexcept { return pointer_; }
    Interface* operator->() const noexcept { return pointer_; }
    explicit operator bool() const noexcept { return pointer_ != nullptr; }

    // For the out-parameter of a call that hands over a reference.
    Interface** Receive() noexcept {
        Reset();
        return &pointer_;
    }
    void** ReceiveVoid() noexcept { return reinterpret_cast<void**>(Receive()); }

    // Hands the reference over to the caller, who releases it.
    Interface* Detach() noexcept { return std::exchange(pointer_, nullptr); }

    // Takes over a reference that the caller already counted.
    void Reset(Interface* pointer = nullptr) noexcept {
        if (pointer_ != nullptr) pointer_->Release();
        pointer_ = pointer;
    }

private:
    Interface* pointer_ = nullptr;
};

}  // namespace platform
