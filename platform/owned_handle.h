// The one shape of every owned handle in the system: it holds one handle,
// gives it back exactly once when it goes, and is moved, never copied.
// Traits name the empty value and how a held handle is given back:
//     struct Traits { using Handle = ...; static Handle Empty() noexcept;
//                     static void Release(Handle) noexcept; };
#pragma once

#include <utility>

namespace platform {

template <typename Traits>
class OwnedHandle {
public:
    using Handle = typename Traits::Handle;

    OwnedHandle() noexcept = default;
    // Takes over a handle that the caller already owns.
    explicit OwnedHandle(Handle handle) noexcept : handle_(handle) {}
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    OwnedHandle(OwnedHandle&& other) noexcept : handle_(other.Detach()) {}
    OwnedHandle& operator=(OwnedHandle&& other) noexcept {
        if (this != &other) Reset(other.Detach());
        return *this;
    }
    ~OwnedHandle() { Reset(); }

    Handle Get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Traits::Empty(); }

    // For the out-parameter of a call that hands over a handle: whatever was
    // held is given back first, so the call always writes into an empty holder.
    Handle* Receive() noexcept {
        Reset();
        return &handle_;
    }

    // Hands the handle over to the caller, who gives it back.
    Handle Detach() noexcept { return std::exchange(handle_, Traits::Empty()); }

    // Takes over a handle the caller owns; the one held before is given back
    // (after the new one is in place, so a release that calls back finds the
    // holder already in its new state).
    void Attach(Handle handle) noexcept { Reset(handle); }
    void Reset(Handle handle = Traits::Empty()) noexcept {
        const Handle previous = std::exchange(handle_, handle);
        if (previous != Traits::Empty()) Traits::Release(previous);
    }

private:
    Handle handle_ = Traits::Empty();
};

// The traits of most kinds: the empty value is null, and one function gives a
// held handle back.
template <typename H, void (*GiveBack)(H) noexcept>
struct NullEmptyTraits {
    using Handle = H;
    static constexpr Handle Empty() noexcept { return nullptr; }
    static void Release(Handle handle) noexcept { GiveBack(handle); }
};

}  // namespace platform
