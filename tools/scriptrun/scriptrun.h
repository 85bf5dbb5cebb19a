// scriptrun: runs a registry script in register or unregister mode against
// the in-memory registry and shows the status and the resulting tree, or the
// run's changes; `check` registers into an empty registry, unregisters, and
// shows what registration wrote and what unregistration left behind.
//
//   scriptrun register|unregister SCRIPT [--var NAME=VALUE]... [--module PATH]
//                                        [--seed FILE] [--dump FILE] [--diff]
//   scriptrun check SCRIPT [--var NAME=VALUE]... [--module PATH]
//
// A failed run's status line names the line and column where the script
// stopped and the reason. SCRIPT and FILE may be "-" for standard input.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace scriptrun {

// The exit statuses.
constexpr int kSucceeded = 0;
constexpr int kMalformedScript = 1;  // the text is not a valid script
constexpr int kUnusableInput = 2;    // the command line or an input file can't be used
constexpr int kRegistryFailed = 3;   // the registry refused an operation, or memory ran out

// Standard input is `in` (std::cin for the first form).
int RunScriptTool(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);
int RunScriptTool(const std::vector<std::string>& arguments, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace scriptrun
