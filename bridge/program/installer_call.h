// One request put to the object as a page puts it: a new ControlInstaller,
// created in process from this program's own registration, sited on the
// request's page, asked the request's method, and let go again, so no request
// ever sees another's page.
#pragma once

#include <string>

#include "Tervagon.h"
#include "bridge/protocol/request.h"
#include "platform/com_ref.h"
#include "platform/win32.h"

namespace bridge {

// Makes the objects. The class object is looked up in the registration once,
// when it is first needed (and again after a failure), and kept: a new object
// then costs no registry reads, as in a browser that shows the page again.
class InstallerMaker {
public:
    HRESULT Make(platform::ComRef<IControlInstaller>& installer);

private:
    platform::ComRef<IClassFactory> factory_;
};

struct InstallerAnswer {
    bool answered = false;
    std::u16string text;   // the object's answer, when it gave one
    std::string failure;   // otherwise what went wrong, in words
};

// Call on a thread in a single-threaded apartment.
InstallerAnswer AskInstaller(InstallerMaker& maker, const Request& request);

}  // namespace bridge
