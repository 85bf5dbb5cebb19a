// scriptrun: runs a registry script file in register or unregister mode
// against the in-memory registry and shows the status and the resulting tree.
//
//   scriptrun register|unregister SCRIPT [--var NAME=VALUE]... [--seed FILE] [--dump FILE]
//
// --var defines a script variable (the first definition of a name wins, as in
// a registration); --seed loads keys and values before the run from a file in
// the registry's text form; --dump writes the resulting registry in that form,
// which --seed reads back. Exit status: 0 when the script ran to its end, 1
// when it failed, 2 when the command line or an input file is unusable.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace scriptrun {

int RunScriptTool(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace scriptrun
