// Where and why a script run stopped, in words for the person who wrote the
// script: the line and column of the token in the expanded text (and in the
// script as written, where the expansion moved it) and the reason.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "registrar/script_parser.h"
#include "registrar/script_registrar.h"

namespace scriptrun {

struct TextPosition {
    std::size_t line = 1;
    std::size_t column = 1;  // in characters; a TAB counts as one
    bool operator==(const TextPosition&) const = default;
};
TextPosition PositionOf(std::string_view text, std::size_t offset);

// "line 3, column 5: the key name "B\C" holds a backslash: ...". The
// variables must be those the run had; the script is the text it was given.
std::string DescribeStop(const registrar::ScriptStop& stop, const std::string& script,
                         const registrar::ScriptRegistrar& variables);

// True when the run stopped on the text (a malformed script), false when the
// registry refused an operation or memory ran out.
bool StoppedOnText(const registrar::ScriptStop& stop);

}  // namespace scriptrun
