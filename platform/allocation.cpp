#include "platform/allocation.h"

#include <atomic>

namespace platform {
namespace {

std::atomic<unsigned> g_failCountdown{0};
std::atomic<long> g_liveStrings{0};

// True when this allocation is the one the seam was armed to fail.
bool InjectedFailure() {
    unsigned pending = g_failCountdown.load(std::memory_order_relaxed);
    while (pending != 0) {
        if (g_failCountdown.compare_exchange_weak(pending, pending - 1, std::memory_order_relaxed))
            return pending == 1;
    }
    return false;
}

BSTR Counted(BSTR text) {
    if (text != nullptr) g_liveStrings.fetch_add(1, std::memory_order_relaxed);
    return text;
}

}  // namespace

BSTR AllocString(const OLECHAR* text) {
    if (InjectedFailure()) return nullptr;
    return Counted(SysAllocString(text));
}

BSTR AllocStringLen(const OLECHAR* text, UINT length) {
    if (InjectedFailure()) return nullptr;
    return Counted(SysAllocStringLen(text, length));
}

void FreeString(BSTR text) {
    if (text != nullptr) g_liveStrings.fetch_sub(1, std::memory_order_relaxed);
    SysFreeString(text);
}

HRESULT ConcatStrings(BSTR left, BSTR right, BSTR* joined) {
    if (InjectedFailure()) return E_OUTOFMEMORY;
    const HRESULT status = VarBstrCat(left, right, joined);
    if (SUCCEEDED(status)) Counted(*joined);
    return status;
}

void* TaskAlloc(SIZE_T size) {
    if (InjectedFailure()) return nullptr;
    return CoTaskMemAlloc(size);
}

void* TaskRealloc(void* block, SIZE_T size) {
    if (InjectedFailure()) return nullptr;
    return CoTaskMemRealloc(block, size);
}

void TaskFree(void* block) { CoTaskMemFree(block); }

namespace allocation_seam {
void FailNth(unsigned n) { g_failCountdown.store(n, std::memory_order_relaxed); }
unsigned Pending() { return g_failCountdown.load(std::memory_order_relaxed); }
long LiveStrings() { return g_liveStrings.load(std::memory_order_relaxed); }
}  // namespace allocation_seam

}  // namespace platform
