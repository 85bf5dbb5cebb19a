// Where a spot of an expanded script stands in the script as it was written:
// the expansion is stepped again, counting what each part of the text became.
#include <string>

#include "registrar/script_parser.h"
#include "registrar/text_conversion.h"

namespace registrar {

std::size_t ScriptParser::WrittenOffset(const char* text, std::size_t expandedOffset, bool* inValue) const {
    if (inValue != nullptr) *inValue = false;
    std::size_t expanded = 0;
    const char* at = text;
    while (*at != '\0') {
        const bool reached = expanded >= expandedOffset;
        if (*at != '%') {
            if (reached) break;
            const char* next = CharNextA(at);
            expanded += static_cast<std::size_t>(next - at);
            at = next;
            continue;
        }
        const char* nameStart = CharNextA(at);
        if (*nameStart == '%') {  // a literal percent sign, written twice
            if (reached) break;
            expanded += 1;
            at = CharNextA(nameStart);
            continue;
        }
        // Where the expansion would have failed, nothing further can be mapped.
        const VariableReference reference = ReadReference(nameStart);
        std::string value;
        if (reference.fault != StopReason::None || !WideToNarrow(reference.value, value)) break;
        if (expandedOffset < expanded + value.size()) {
            if (inValue != nullptr) *inValue = true;
            return static_cast<std::size_t>(at - text);
        }
        expanded += value.size();
        at = CharNextA(reference.nameEnd);
    }
    const auto written = static_cast<std::size_t>(at - text);
    return expandedOffset > expanded ? written + (expandedOffset - expanded) : written;
}

}  // namespace registrar
