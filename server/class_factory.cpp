#include "server/class_factory.h"

#include <atomic>
#include <memory>
#include <new>

#include "platform/allocation.h"
#include "platform/failure_barrier.h"
#include "server/critical_section.h"
#include "server/module.h"

namespace server {
namespace {

class ClassObject final : public IClassFactory {
public:
    explicit ClassObject(InstanceCreator creator) noexcept : creator_(creator) {}
    virtual ~ClassObject() = default;

    static void* operator new(size_t size, const std::nothrow_t&) noexcept { return platform::TaskAlloc(size); }
    static void operator delete(void* block) noexcept { platform::TaskFree(block); }

    bool Usable() const noexcept { return cacheLock_.Initialised(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) return E_NOINTERFACE;
        AddRef();
        *object = static_cast<IClassFactory*>(this);
        return S_OK;
    }

    // The count and the module lock change as one step under the cache lock, so
    // that racing AddRef and Release calls lock and unlock the module exactly
    // once per 1-to-2 and 2-to-1 transition.
    ULONG STDMETHODCALLTYPE AddRef() override {
        LockGuard guard(cacheLock_);
        const LONG count = count_.fetch_add(1) + 1;
        if (count == 2) TheModule().AddLock();
        return static_cast<ULONG>(count);
    }

    ULONG STDMETHODCALLTYPE Release() override {
        LONG count;
        {
            LockGuard guard(cacheLock_);
            count = count_.fetch_sub(1) - 1;
            if (count == 1) TheModule().ReleaseLock();
        }
        if (count == 0) delete this;
        return static_cast<ULONG>(count);
    }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        // An aggregate hands out the inner object's IUnknown first; anything
        // else would leave the outer object without a way to control it.
        if (outer != nullptr && !IsEqualIID(iid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
        return platform::Guarded([&] { return creator_(outer, iid, object); });
    }

    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) {
            TheModule().AddLock();
        } else {
            TheModule().ReleaseLock();
        }
        return S_OK;
    }

private:
    std::atomic<LONG> count_{0};
    InstanceCreator creator_;
    CriticalSection cacheLock_;
};

}  // namespace

HRESULT CreateClassObject(InstanceCreator creator, REFIID iid, void** object) noexcept {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    // Until a reference holds it, the object is this function's to delete.
    std::unique_ptr<ClassObject> classObject(new (std::nothrow) ClassObject(creator));
    if (!classObject || !classObject->Usable()) return E_OUTOFMEMORY;
    // The first reference taken here is the map's own (count 0 to 1): no lock.
    const HRESULT status = classObject->QueryInterface(iid, object);
    if (SUCCEEDED(status)) classObject.release();  // the reference owns it now
    return status;
}

}  // namespace server
