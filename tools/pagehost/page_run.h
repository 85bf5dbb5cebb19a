// One page: the object its object tag creates, with its site, and the page's
// scripts run against it, in order, by the platform's JScript engine.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "tools/pagehost/options.h"

namespace pagehost {

enum class PageResult { Done = 0, ScriptError = 1, SetupFailed = 2 };

// COM must be initialised on the calling thread (single-threaded apartment).
// `scriptTexts` holds the text of each of options.scripts.
PageResult RunPage(const Options& options, const std::vector<std::wstring>& scriptTexts, std::FILE* out,
                   std::FILE* errors);

}  // namespace pagehost
