// The pending result: the answer text that the steps of one method call build
// and the method hands to its caller. A null BSTR means no text; a BSTR of
// length zero is a text (the empty answer). It is empty between calls.
#pragma once

#include "platform/owned_string.h"
#include "platform/win32.h"

namespace checking {

class PendingResult {
public:
    PendingResult() = default;
    PendingResult(const PendingResult&) = delete;
    PendingResult& operator=(const PendingResult&) = delete;

    // Frees the text held, then stores a new BSTR converted from the narrow
    // text with the conversion code page. When it can't be made the result
    // stays empty and E_OUTOFMEMORY is raised.
    void ReplaceNarrow(const char* text);
    // Frees the text held, then stores a copy of the literal; raises
    // E_OUTOFMEMORY and stays empty when the copy can't be made.
    void ReplaceWide(const OLECHAR* literal);
    // Joins the narrow text to the end of the text held, with nothing between.
    // A failed conversion raises E_OUTOFMEMORY, a failed join its own status;
    // either way the text held is left as it was.
    void AppendNarrow(const char* text);
    // The held text becomes the caller's; the result is empty afterwards.
    BSTR HandOut() noexcept;
    // Frees the held text; the result is empty afterwards.
    void Discard() noexcept;

    // The held text, still owned here (null when empty).
    BSTR Peek() const noexcept { return text_.Get(); }

private:
    platform::OwnedString text_;
};

}  // namespace checking
