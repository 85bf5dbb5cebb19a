// A platform critical section that remembers whether it could be initialised.
// Module-wide locks report a failed initialisation so that DllMain can refuse
// the load; the class object's cache lock turns it into E_OUTOFMEMORY.
#pragma once

#include "platform/win32.h"

namespace server {

class CriticalSection {
public:
    CriticalSection() noexcept
        : initialised_(InitializeCriticalSectionAndSpinCount(&section_, 0) != FALSE) {}
    ~CriticalSection() {
        if (initialised_) DeleteCriticalSection(&section_);
    }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    bool Initialised() const noexcept { return initialised_; }
    // The platform's critical sections are recursive: the owning thread may
    // enter again without blocking.
    void Enter() noexcept { EnterCriticalSection(&section_); }
    void Leave() noexcept { LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
    bool initialised_;
};

class LockGuard {
public:
    explicit LockGuard(CriticalSection& section) noexcept : section_(section) { section_.Enter(); }
    ~LockGuard() { section_.Leave(); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

private:
    CriticalSection& section_;
};

// Set while the module-wide records are built when one of their locks could
// not be initialised (only possible for lack of memory); DllMain then refuses
// the load.
void NoteLockInitialisationFailure() noexcept;
bool LockInitialisationFailed() noexcept;

}  // namespace server
