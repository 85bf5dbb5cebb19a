// The exception record that a script engine or IDispatch::Invoke fills in: its
// strings are the callee's to give and ours to free, on every road out of the
// scope. Windows builds only.
#pragma once

#include "platform/win32.h"

namespace platform {

class OwnedExceptionInfo : public EXCEPINFO {
public:
    OwnedExceptionInfo() noexcept : EXCEPINFO{} {}
    OwnedExceptionInfo(const OwnedExceptionInfo&) = delete;
    OwnedExceptionInfo& operator=(const OwnedExceptionInfo&) = delete;
    ~OwnedExceptionInfo() { Clear(); }

    // Frees what the record holds and leaves it empty.
    void Clear() noexcept {
        SysFreeString(bstrSource);
        SysFreeString(bstrDescription);
        SysFreeString(bstrHelpFile);
        static_cast<EXCEPINFO&>(*this) = EXCEPINFO{};
    }
};

}  // namespace platform
