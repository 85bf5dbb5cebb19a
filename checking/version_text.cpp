#include "checking/version_text.h"

#include "checking/bounded_text.h"

namespace checking {

bool FormatFileVersion(char* buffer, std::size_t capacity, std::uint32_t versionMs, std::uint32_t versionLs) {
    return BoundedFormat(buffer, capacity, "%u.%u.%u.%u", static_cast<unsigned>(versionMs >> 16),
                         static_cast<unsigned>(versionMs & 0xFFFFu), static_cast<unsigned>(versionLs >> 16),
                         static_cast<unsigned>(versionLs & 0xFFFFu));
}

bool FormatPackageVersion(char* buffer, std::size_t capacity, std::uint32_t version) {
    return BoundedFormat(buffer, capacity, "0x%08X", static_cast<unsigned>(version));
}

}  // namespace checking
