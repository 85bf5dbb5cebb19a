#include "checking/pending_result.h"

#include <utility>

#include "checking/owned_string.h"
#include "checking/raised_failure.h"
#include "platform/allocation.h"
#include "platform/conversion.h"

namespace checking {

void PendingResult::ReplaceNarrow(const char* text) {
    Discard();
    text_ = platform::NarrowToString(text);
    if (text_ == nullptr) Raise(E_OUTOFMEMORY);
}

void PendingResult::ReplaceWide(const OLECHAR* literal) {
    Discard();
    text_ = platform::AllocString(literal);
    if (text_ == nullptr) Raise(E_OUTOFMEMORY);
}

void PendingResult::AppendNarrow(const char* text) {
    OwnedString tail(platform::NarrowToString(text));
    if (!tail) Raise(E_OUTOFMEMORY);
    BSTR joined = nullptr;
    const HRESULT status = platform::ConcatStrings(text_, tail.get(), &joined);
    if (FAILED(status)) Raise(status);
    Discard();
    text_ = joined;
}

BSTR PendingResult::HandOut() noexcept { return std::exchange(text_, nullptr); }

void PendingResult::Discard() noexcept { platform::FreeString(std::exchange(text_, nullptr)); }

}  // namespace checking
