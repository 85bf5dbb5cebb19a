// The one way a failure crosses an interface method or an export: the body
// runs inside the barrier and whatever it throws comes out as a status, so
// no exception reaches a caller that cannot take one. The conversions build
// standard strings, which may throw std::bad_alloc or std::length_error.
#pragma once

#include <new>
#include <stdexcept>

#include "platform/win32.h"

namespace platform {

// The body's status; E_OUTOFMEMORY when it ran out of room, E_UNEXPECTED for
// any other exception.
template <typename Body>
HRESULT Guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::length_error&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// For a step that answers yes or no: false when the body says so or throws.
template <typename Body>
bool Succeeds(Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return false;
    }
}

}  // namespace platform
