#include "checking/pending_result.h"

#include <utility>

#include "checking/raised_failure.h"
#include "platform/allocation.h"
#include "platform/conversion.h"

namespace checking {

void PendingResult::ReplaceNarrow(const char* text) {
    Discard();
    text_.Attach(platform::NarrowToString(text));
    if (!text_) Raise(E_OUTOFMEMORY);
}

void PendingResult::ReplaceWide(const OLECHAR* literal) {
    Discard();
    text_.Attach(platform::AllocString(literal));
    if (!text_) Raise(E_OUTOFMEMORY);
}

void PendingResult::AppendNarrow(const char* text) {
    platform::OwnedString tail(platform::NarrowToString(text));
    if (!tail) Raise(E_OUTOFMEMORY);
    platform::OwnedString joined;
    const HRESULT status = platform::ConcatStrings(text_.Get(), tail.Get(), joined.Receive());
    if (FAILED(status)) Raise(status);
    text_ = std::move(joined);
}

BSTR PendingResult::HandOut() noexcept { return text_.Detach(); }

void PendingResult::Discard() noexcept { text_.Reset(); }

}  // namespace checking
