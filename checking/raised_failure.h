// How an allocation failure travels inside the checking logic: raised as an
// exception that carries its status, caught by the step that can still give a
// text of its own, or by the method, which then answers with no text.
#pragma once

#include "platform/win32.h"

namespace checking {

class RaisedFailure {
public:
    explicit RaisedFailure(HRESULT status) noexcept : status_(status) {}
    HRESULT Status() const noexcept { return status_; }

private:
    HRESULT status_;
};

[[noreturn]] inline void Raise(HRESULT status) { throw RaisedFailure(status); }

}  // namespace checking
