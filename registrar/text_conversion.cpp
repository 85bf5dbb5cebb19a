#include "registrar/text_conversion.h"

namespace registrar {

// The platform conversions build standard strings; bad_alloc (or length_error
// for an absurd length) is turned into a plain failure here.
bool WideToNarrow(const OLECHAR* text, std::string& narrow) noexcept {
    try {
        return platform::ToNarrow(text, narrow);
    } catch (...) {
        return false;
    }
}

bool NarrowToWide(const char* text, platform::WideString& wide) noexcept {
    try {
        return platform::ToWide(text, wide);
    } catch (...) {
        return false;
    }
}

}  // namespace registrar
