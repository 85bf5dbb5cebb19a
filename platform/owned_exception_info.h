// The exception record that a script engine fills in: its strings are the
// engine's to give and ours to free, on every road out of the scope.
#pragma once

#include "platform/win32.h"

namespace pagehost {

class ExceptionInfo : public EXCEPINFO {
public:
    ExceptionInfo() noexcept : EXCEPINFO{} {}
    ExceptionInfo(const ExceptionInfo&) = delete;
    ExceptionInfo& operator=(const ExceptionInfo&) = delete;
    ~ExceptionInfo() { Clear(); }

    // Frees what the record holds and leaves it empty.
    void Clear() noexcept {
        SysFreeString(bstrSource);
        SysFreeString(bstrDescription);
        SysFreeString(bstrHelpFile);
        static_cast<EXCEPINFO&>(*this) = EXCEPINFO{};
    }
};

}  // namespace pagehost
