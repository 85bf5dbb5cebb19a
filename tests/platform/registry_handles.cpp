#include "tests/platform/registry_handles.h"

#include <cstdio>
#include <mutex>

#include "platform/host/registry_tree.h"

namespace registry_handles {
namespace {

namespace host = platform::host;
using Lock = std::lock_guard<std::recursive_mutex>;

}  // namespace

std::size_t OpenHandles() {
    Lock lock(host::RegistryLock());
    return host::HandleTable().size();
}

std::string DescribeOpenHandles() {
    Lock lock(host::RegistryLock());
    std::string out;
    char handle[32];
    for (const auto& [value, open] : host::HandleTable()) {
        std::snprintf(handle, sizeof(handle), "%#llx ", static_cast<unsigned long long>(value));
        out += handle;
        out += open.key->deleted ? "(deleted) " + open.key->name : host::KeyPath(*open.key);
        out += '\n';
    }
    return out;
}

}  // namespace registry_handles
