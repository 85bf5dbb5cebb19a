#include "registrar/text_conversion.h"

#include "platform/failure_barrier.h"

namespace registrar {

// The platform conversions build standard strings; whatever they throw
// (bad_alloc, or length_error for an absurd length) is a plain failure here.
bool WideToNarrow(const OLECHAR* text, std::string& narrow) noexcept {
    return platform::Succeeds([&] { return platform::ToNarrow(text, narrow); });
}

bool NarrowToWide(const char* text, platform::WideString& wide) noexcept {
    return platform::Succeeds([&] { return platform::ToWide(text, wide); });
}

}  // namespace registrar
