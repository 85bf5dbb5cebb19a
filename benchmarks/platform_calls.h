// The platform calls that each method cannot do without, made directly, with
// nothing of the server in between: the floor under the methods' cost.
#pragma once

#include "platform/win32.h"

namespace bench {

class PlatformCalls {
public:
    // site: the object's site; guid: the control asked about; S_OK when every
    // call worked (so that the floor is measured on the same road as the method).
    PlatformCalls(IUnknown* site, const wchar_t* guid);

    // Learning the page address and splitting it: every method starts so.
    HRESULT PageAddress();
    // Learning the address of the document that holds the object, and splitting it.
    HRESULT DocumentAddress();
    // Learning that the control is not disabled for the browser: its
    // compatibility entries, the browser's and the policy's (absent here), and
    // the class it is created as.
    HRESULT ReadCompatibilityFlags();
    // Creating one instance of the control in process, as the creatability test does.
    HRESULT CreateControl();
    // Reading the control's server path from the machine's registry.
    HRESULT ReadServerPath();
    // Testing the file's presence and reading its version resource.
    HRESULT ReadFileVersion();
    // Reading the support package's version value.
    HRESULT ReadPackageValue();
    // Making the answer string and freeing it, as the caller does.
    HRESULT MakeAnswer();

    // All that isValidControl and getControlVersion do on their common road.
    HRESULT ControlFloor();
    HRESULT PackageFloor();

private:
    IUnknown* site_;
    const wchar_t* guid_;
    char keyPath_[260];
    char modulePath_[260] = {};
};

}  // namespace bench
