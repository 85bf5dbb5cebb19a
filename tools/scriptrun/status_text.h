// A status of a script run, as "0x%08X NAME: what it means" for people who
// edit registry scripts.
#pragma once

#include <string>

#include "platform/win32.h"

namespace scriptrun {

std::string StatusLine(HRESULT status);

}  // namespace scriptrun
