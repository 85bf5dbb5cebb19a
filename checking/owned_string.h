// A BSTR owned by one scope, freed through the allocation seam.
#pragma once

#include <memory>

#include "platform/allocation.h"

namespace checking {

struct StringRelease {
    void operator()(OLECHAR* text) const noexcept { platform::FreeString(text); }
};
using OwnedString = std::unique_ptr<OLECHAR, StringRelease>;

}  // namespace checking
