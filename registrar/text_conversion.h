// Narrow/wide conversions with the process's conversion code page that report
// every failure, running out of memory included, as false instead of throwing:
// the registrar raises nothing.
#pragma once

#include <string>

#include "platform/conversion.h"

namespace registrar {

// A null text gives the empty text.
bool WideToNarrow(const OLECHAR* text, std::string& narrow) noexcept;
bool NarrowToWide(const char* text, platform::WideString& wide) noexcept;

}  // namespace registrar
