#include "server/control_installer.h"

#include <new>

#include <objsafe.h>
#include <ocidl.h>

#include "Tervagon.h"
#include "checking/control_checker.h"
#include "platform/allocation.h"
#include "platform/failure_barrier.h"
#include "server/module.h"
#include "server/type_info_holder.h"

namespace server {
namespace {

// Shared by every object of the class; its clean-up runs from the module's
// termination list, so it needs no destructor of its own.
constinit TypeInfoHolder g_typeInfo{&IID_IControlInstaller, &LIBID_TervagonLib, 1, 0};

// Everything but IUnknown: the interfaces, the site and the checking state.
// The plain and the contained form differ only in how they count references.
// Every method that reaches beyond the object's own counts runs behind the
// failure barrier; the IUnknown methods touch only counts and the interface
// map, which throw nothing.
class ControlInstallerCore : public IObjectWithSite, public IControlInstaller {
public:
    ControlInstallerCore() = default;
    virtual ~ControlInstallerCore() = default;
    ControlInstallerCore(const ControlInstallerCore&) = delete;
    ControlInstallerCore& operator=(const ControlInstallerCore&) = delete;

    // The interface map, in the order QueryInterface consults it. IUnknown is
    // answered with the first entry, which is therefore the object's identity.
    // The answer is not AddRef'd.
    void* FindInterface(REFIID iid) noexcept {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IControlInstaller) ||
            IsEqualIID(iid, IID_IDispatch))
            return static_cast<IControlInstaller*>(this);
        if (IsEqualIID(iid, IID_IObjectWithSite)) return static_cast<IObjectWithSite*>(this);
        return nullptr;
    }

    HRESULT STDMETHODCALLTYPE SetSite(IUnknown* site) override {
        return platform::Guarded([&] {
            checker_.ReplaceSite(site);
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE GetSite(REFIID iid, void** site) override {
        return platform::Guarded([&] {
            if (site == nullptr) return E_POINTER;
            IUnknown* held = checker_.Site();
            if (held == nullptr) {
                *site = nullptr;
                return E_FAIL;
            }
            return held->QueryInterface(iid, site);
        });
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count == nullptr) return E_POINTER;
        *count = 1;
        return S_OK;
    }

    // There is one type information; the index is not examined.
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID locale, ITypeInfo** info) override {
        return platform::Guarded([&] { return g_typeInfo.GetTypeInfo(locale, info); });
    }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override {
        return platform::Guarded([&] { return g_typeInfo.GetIDsOfNames(names, count, locale, ids); });
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID locale, WORD flags, DISPPARAMS* parameters,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override {
        return platform::Guarded([&] {
            return g_typeInfo.Invoke(static_cast<IControlInstaller*>(this), member, locale, flags, parameters,
                                     result, exception, argumentError);
        });
    }

    HRESULT STDMETHODCALLTYPE isValidControl(BSTR inBstrGuid, BSTR inBstrVersion,
                                             BSTR* outBstrRetValue) override {
        return platform::Guarded([&] { return checker_.isValidControl(inBstrGuid, inBstrVersion, outBstrRetValue); });
    }

    HRESULT STDMETHODCALLTYPE getControlVersion(BSTR inBstrGuid, BSTR* outBstrRetValue) override {
        return platform::Guarded([&] { return checker_.getControlVersion(inBstrGuid, outBstrRetValue); });
    }

    HRESULT STDMETHODCALLTYPE getPackageVersion(BSTR* outBstrRetValue) override {
        return platform::Guarded([&] { return checker_.getPackageVersion(outBstrRetValue); });
    }

protected:
    // The plain form counts its own references here; the contained form keeps
    // the outer object's IUnknown in the same place (not an owned reference).
    union Owner {
        LONG count;
        IUnknown* outer;
    } owner_{0};

private:
    checking::ControlChecker checker_;
};

// What a client's object shares, in either form: it lives in COM task memory
// and holds a lock on the module from its creation on. The module stays locked
// until the object's members are gone, so the DLL can't be judged unloadable
// while its code still runs for it.
template <class Object>
struct ModuleObject {
    static void* operator new(size_t size, const std::nothrow_t&) noexcept { return platform::TaskAlloc(size); }
    static void operator delete(void* block) noexcept { platform::TaskFree(block); }

    static void Destroy(Object* object) noexcept {
        delete object;
        TheModule().ReleaseLock();
    }
};

// The plain form. Apartment-bound: its count is a plain integer.
class ControlInstaller final : public ControlInstallerCore, public ModuleObject<ControlInstaller> {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        void* found = FindInterface(iid);
        if (found == nullptr) return E_NOINTERFACE;
        AddRef();
        *object = found;
        return S_OK;
    }

    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++owner_.count); }

    ULONG STDMETHODCALLTYPE Release() override {
        const LONG count = --owner_.count;
        if (count == 0) Destroy(this);
        return static_cast<ULONG>(count);
    }
};

// The object inside an aggregate: its IUnknown is the outer object's.
class ContainedControlInstaller final : public ControlInstallerCore {
public:
    explicit ContainedControlInstaller(IUnknown* outer) noexcept { owner_.outer = outer; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        return owner_.outer->QueryInterface(iid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return owner_.outer->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return owner_.outer->Release(); }
};

// The aggregate's inner IUnknown, through which the outer object controls the
// embedded object's lifetime; it has its own count.
class AggregateWrapper final : public IUnknown, public ModuleObject<AggregateWrapper> {
public:
    explicit AggregateWrapper(IUnknown* outer) noexcept : contained_(outer) {}
    virtual ~AggregateWrapper() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (IsEqualIID(iid, IID_IUnknown)) {
            AddRef();
            *object = static_cast<IUnknown*>(this);
            return S_OK;
        }
        void* found = contained_.FindInterface(iid);
        if (found == nullptr) return E_NOINTERFACE;
        contained_.AddRef();  // on the outer object
        *object = found;
        return S_OK;
    }

    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++count_); }

    ULONG STDMETHODCALLTYPE Release() override {
        const LONG count = --count_;
        if (count == 0) Destroy(this);
        return static_cast<ULONG>(count);
    }

private:
    LONG count_ = 0;
    ContainedControlInstaller contained_;
};

template <class Object>
HRESULT Create(Object* object, REFIID iid, void** result) noexcept {
    if (object == nullptr) return E_OUTOFMEMORY;
    TheModule().AddLock();
    const HRESULT status = object->QueryInterface(iid, result);
    if (FAILED(status)) Object::Destroy(object);
    return status;
}

constexpr CategoryMapEntry kCategories[] = {
    {kImplementedCategory, &CATID_SafeForScripting},
    {kImplementedCategory, &CATID_SafeForInitializing},
    {kCategoryEnd, nullptr},
};

}  // namespace

HRESULT CreateControlInstaller(IUnknown* outer, REFIID iid, void** object) noexcept {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer == nullptr) return Create(new (std::nothrow) ControlInstaller, iid, object);
    return Create(new (std::nothrow) AggregateWrapper(outer), iid, object);
}

const CategoryMapEntry* ControlInstallerCategories() noexcept { return kCategories; }

}  // namespace server
