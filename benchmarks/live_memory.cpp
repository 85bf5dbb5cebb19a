#include "benchmarks/live_memory.h"

#include <objidl.h>

#include <vector>

namespace bench {

namespace {

long g_live = 0;

// Sees every task-memory allocation, reallocation and release of the process.
class Spy final : public IMallocSpy {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IMallocSpy)) {
            *object = static_cast<IMallocSpy*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // A static object: COM's references don't decide its life.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP_(SIZE_T) PreAlloc(SIZE_T size) override { return size; }
    STDMETHODIMP_(void*) PostAlloc(void* block) override {
        if (block != nullptr) ++g_live;
        return block;
    }
    STDMETHODIMP_(void*) PreFree(void* block, BOOL spied) override {
        if (block != nullptr && spied) --g_live;
        return block;
    }
    STDMETHODIMP_(void) PostFree(BOOL) override {}
    STDMETHODIMP_(SIZE_T) PreRealloc(void* block, SIZE_T size, void** newRequest, BOOL spied) override {
        // Realloc of nothing allocates; realloc to nothing frees.
        reallocFromNothing_ = block == nullptr;
        reallocToNothing_ = block != nullptr && size == 0 && spied;
        *newRequest = block;
        return size;
    }
    STDMETHODIMP_(void*) PostRealloc(void* block, BOOL) override {
        if (reallocFromNothing_ && block != nullptr) ++g_live;
        if (reallocToNothing_) --g_live;
        return block;
    }
    STDMETHODIMP_(void*) PreGetSize(void* block, BOOL) override { return block; }
    STDMETHODIMP_(SIZE_T) PostGetSize(SIZE_T size, BOOL) override { return size; }
    STDMETHODIMP_(void*) PreDidAlloc(void* block, BOOL) override { return block; }
    STDMETHODIMP_(int) PostDidAlloc(void*, BOOL, int actual) override { return actual; }
    STDMETHODIMP_(void) PreHeapMinimize() override {}
    STDMETHODIMP_(void) PostHeapMinimize() override {}

private:
    bool reallocFromNothing_ = false;
    bool reallocToNothing_ = false;
};

Spy g_spy;

}  // namespace

HRESULT TaskMemoryCounter::Install() { return CoRegisterMallocSpy(&g_spy); }
void TaskMemoryCounter::Remove() { CoRevokeMallocSpy(); }
long TaskMemoryCounter::Live() { return g_live; }

std::size_t HeapBytesInUse() {
    std::vector<HANDLE> heaps(GetProcessHeaps(0, nullptr) + 16);
    heaps.resize(GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data()));
    std::size_t inUse = 0;
    for (const HANDLE heap : heaps) {
        if (!HeapLock(heap)) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heap, &entry)) {
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) inUse += entry.cbData;
        }
        HeapUnlock(heap);
    }
    return inUse;
}

}  // namespace bench
