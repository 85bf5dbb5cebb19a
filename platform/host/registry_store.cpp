// Support of the in-memory registry: reset and the call filter, described in
// registry_store.h.
#include "platform/host/registry_store.h"

#include <mutex>

#include "platform/host/registry_state.h"

namespace platform::registry_store {
namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

}  // namespace

void Reset() {
    auto& state = host::Registry();
    Lock lock(state.lock);
    state.Clear();
}

void SetCallFilter(CallFilter filter) {
    auto& state = host::Registry();
    Lock lock(state.lock);
    state.filter = filter;
}

CallFilter GetCallFilter() {
    auto& state = host::Registry();
    Lock lock(state.lock);
    return state.filter;
}

}  // namespace platform::registry_store
