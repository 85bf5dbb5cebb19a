// One page: the object its object tag creates, with its site, and the page
// script run against it by the platform's JScript engine.
#pragma once

#include <cstdio>
#include <string>

#include "tools/pagehost/options.h"

namespace pagehost {

enum class PageResult { Done = 0, ScriptError = 1, SetupFailed = 2 };

// COM must be initialised on the calling thread (single-threaded apartment).
PageResult RunPage(const Options& options, const std::wstring& scriptText, std::FILE* out, std::FILE* errors);

}  // namespace pagehost
