// The three methods of one ControlInstaller object, called the three ways a
// client can: through the vtable, through IDispatch with a DISPID it kept,
// and through IDispatch by name (GetIDsOfNames before every Invoke).
#pragma once

#include <string>

#include "Tervagon.h"
#include "platform/win32.h"
#include "platform/com_ref.h"
#include "platform/owned_string.h"

namespace bench {

enum class Method { IsValidControl, GetControlVersion, GetPackageVersion };
enum class Road { Vtable, DispatchById, DispatchByName };

class InstallerCalls {
public:
    // Creates the registered class and gives it a site whose page is `url`.
    HRESULT Create(const wchar_t* url);
    // Each call frees its answer; S_OK only when an answer came back.
    HRESULT Call(Method method, Road road);
    // The answer of a vtable call, for the report.
    std::wstring Answer(Method method);

    IDispatch* dispatch() const { return dispatch_.Get(); }
    const platform::ComRef<IUnknown>& site() const { return site_; }

private:
    platform::ComRef<IControlInstaller> installer_;
    platform::ComRef<IDispatch> dispatch_;
    platform::ComRef<IUnknown> site_;
    platform::SystemString guid_;
    platform::SystemString version_;
};

// The control the benchmark asks about: the DLL itself, which is registered
// whenever the benchmark can run.
extern const wchar_t kControlGuid[];
extern const wchar_t kControlVersion[];

}  // namespace bench
