// One message from the browser to the one message that answers it.
#pragma once

#include <string>
#include <string_view>

#include "bridge/program/installer_call.h"

namespace bridge {

// The reply to a request: the object's answer or an error, never longer than
// a message may be. Never throws; call on a thread in a single-threaded apartment.
std::string Serve(InstallerMaker& maker, std::string_view message) noexcept;

}  // namespace bridge
