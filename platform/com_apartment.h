// This thread's place in a single-threaded apartment, left again when the
// holder goes (and only when entering it succeeded). Windows builds only.
#pragma once

#include "platform/win32.h"

namespace platform {

class ComApartment {
public:
    ComApartment() noexcept : status_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (SUCCEEDED(status_)) CoUninitialize();
    }
    HRESULT Status() const noexcept { return status_; }

private:
    HRESULT status_;
};

}  // namespace platform
