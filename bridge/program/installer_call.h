// One request put to the object as a page puts it: a new ControlInstaller,
// created in process from this program's own registration, sited on the
// request's page, asked the request's method, and let go again, so no request
// ever sees another's page.
#pragma once

#include <string>

#include "bridge/protocol/request.h"

namespace bridge {

struct InstallerAnswer {
    bool answered = false;
    std::u16string text;   // the object's answer, when it gave one
    std::string failure;   // otherwise what went wrong, in words
};

// Call on a thread in a single-threaded apartment.
InstallerAnswer AskInstaller(const Request& request);

}  // namespace bridge
