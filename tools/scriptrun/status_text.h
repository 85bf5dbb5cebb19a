// A status of a script run, as "0x%08X NAME: what it means" for people who
// edit registry scripts.
#pragma once

#include <string>

#include "platform/win32.h"

namespace scriptrun {

struct StatusText {
    std::string name;     // "0x80020009 DISP_E_EXCEPTION"
    std::string meaning;  // what it means for the script
};
StatusText DescribeStatus(HRESULT status);

// name + ": " + meaning
std::string StatusLine(HRESULT status);

}  // namespace scriptrun
