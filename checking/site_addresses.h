// What the object's site tells of the page that holds the object: the address
// that the top-level browser shows, and the address of the document that
// holds the object.
#pragma once

#include "platform/owned_string.h"
#include "platform/win32.h"

namespace checking {

// The top-level browser's address, copied, or false when the object has no
// site, the container isn't a web browser, the browser can't tell or the copy
// can't be made. A browser that reports no address gives an empty one.
bool ReadBrowserAddress(IUnknown* site, platform::OwnedString& address);

enum class DocumentAddress {
    NoDocument,  // the site offers no document that holds the object
    Read,        // the document's address is in hand
    Unreadable,  // there is a document, but it tells no address
};

// The address of the document that holds the object, as that document reports it.
DocumentAddress ReadDocumentAddress(IUnknown* site, platform::SystemString& address);

}  // namespace checking
