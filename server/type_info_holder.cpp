#include "server/type_info_holder.h"

#include <cstring>

#include "platform/allocation.h"
#include "platform/com_ref.h"
#include "server/critical_section.h"
#include "server/module.h"

namespace server {

HRESULT TypeInfoHolder::Ensure(LCID locale) noexcept {
    if (info_.load(std::memory_order_acquire) != nullptr && names_.load(std::memory_order_acquire) != nullptr)
        return S_OK;
    LockGuard guard(TheModule().DataLock());
    HRESULT status = S_OK;
    if (info_.load(std::memory_order_acquire) == nullptr) status = LoadTypeInfo(locale);
    if (info_.load(std::memory_order_acquire) != nullptr && names_.load(std::memory_order_acquire) == nullptr)
        status = BuildNameCache();
    return status;
}

// Runs under the module data lock.
HRESULT TypeInfoHolder::LoadTypeInfo(LCID locale) noexcept {
    platform::ComRef<ITypeLib> library;
    HRESULT status = LoadRegTypeLib(*libraryId_, major_, minor_, locale, library.Receive());
    if (FAILED(status)) return status;
    platform::ComRef<ITypeInfo> info;
    status = library.Get()->GetTypeInfoOfGuid(*iid_, info.Receive());
    if (FAILED(status)) return status;
    // The richer ITypeInfo2 is kept when the type information offers it.
    ITypeInfo* kept = nullptr;
    ITypeInfo2* info2 = nullptr;
    if (SUCCEEDED(info.Get()->QueryInterface(IID_ITypeInfo2, reinterpret_cast<void**>(&info2))) &&
        info2 != nullptr) {
        kept = info2;
    } else {
        kept = info.Detach();
    }
    info_.store(kept, std::memory_order_release);
    // Without the clean-up on the list the type information is only dropped
    // when the process ends, so a failed addition is not reported.
    TheModule().AddTermination(&TypeInfoHolder::Cleanup, reinterpret_cast<DWORD_PTR>(this));
    return S_OK;
}

// Runs under the module data lock, with the type information loaded.
HRESULT TypeInfoHolder::BuildNameCache() noexcept {
    ITypeInfo* info = info_.load(std::memory_order_acquire);
    TYPEATTR* attributes = nullptr;
    // Without attributes there is no cache; the next call tries again.
    if (FAILED(info->GetTypeAttr(&attributes)) || attributes == nullptr) return S_OK;
    const UINT count = attributes->cFuncs;
    auto* cache = static_cast<NameCache*>(platform::TaskAlloc(sizeof(NameCache)));
    NameEntry* entries = nullptr;
    if (cache != nullptr && count != 0) {
        entries = static_cast<NameEntry*>(platform::TaskAlloc(sizeof(NameEntry) * count));
    }
    if (cache == nullptr || (count != 0 && entries == nullptr)) {
        platform::TaskFree(cache);
        info->ReleaseTypeAttr(attributes);
        return E_OUTOFMEMORY;
    }
    for (UINT index = 0; index < count; ++index) {
        NameEntry& entry = entries[index];
        entry = NameEntry{nullptr, 0, DISPID_UNKNOWN};
        FUNCDESC* function = nullptr;
        if (FAILED(info->GetFuncDesc(index, &function)) || function == nullptr) continue;
        BSTR name = nullptr;
        if (SUCCEEDED(info->GetDocumentation(function->memid, &name, nullptr, nullptr, nullptr))) {
            entry.name = name;
            entry.length = SysStringLen(name);
            entry.id = function->memid;
        }
        info->ReleaseFuncDesc(function);
    }
    cache->entries = entries;
    cache->count = count;
    names_.store(cache, std::memory_order_release);
    info->ReleaseTypeAttr(attributes);
    return S_OK;
}

void TypeInfoHolder::Cleanup(DWORD_PTR holder) noexcept {
    auto* self = reinterpret_cast<TypeInfoHolder*>(holder);
    if (ITypeInfo* info = self->info_.exchange(nullptr)) info->Release();
    if (NameCache* cache = self->names_.exchange(nullptr)) {
        for (UINT index = 0; index < cache->count; ++index) SysFreeString(cache->entries[index].name);
        platform::TaskFree(cache->entries);
        platform::TaskFree(cache);
    }
}

HRESULT TypeInfoHolder::GetTypeInfo(LCID locale, ITypeInfo** info) noexcept {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    HRESULT status = S_OK;
    if (info_.load(std::memory_order_acquire) == nullptr) status = Ensure(locale);
    ITypeInfo* held = info_.load(std::memory_order_acquire);
    if (held == nullptr) return status;
    held->AddRef();
    *info = held;
    return S_OK;
}

HRESULT TypeInfoHolder::GetIDsOfNames(LPOLESTR* names, UINT count, LCID locale, DISPID* ids) noexcept {
    const HRESULT status = Ensure(locale);
    ITypeInfo* info = info_.load(std::memory_order_acquire);
    if (info == nullptr) return status;
    // Page script asks for one name at a time, spelled as the library spells
    // it: answer that from the cache with a length test and an exact compare.
    const NameCache* cache = names_.load(std::memory_order_acquire);
    if (cache != nullptr && count == 1 && names != nullptr && names[0] != nullptr && ids != nullptr) {
        const size_t length = std::wcslen(names[0]);
        for (UINT index = cache->count; index-- > 0;) {
            const NameEntry& entry = cache->entries[index];
            if (entry.name != nullptr && entry.length == length &&
                std::memcmp(entry.name, names[0], length * sizeof(OLECHAR)) == 0) {
                ids[0] = entry.id;
                return S_OK;
            }
        }
    }
    // Other spellings, several names and parameter names: the type
    // information matches without regard to case.
    return info->GetIDsOfNames(names, count, ids);
}

HRESULT TypeInfoHolder::Invoke(IDispatch* instance, DISPID member, LCID locale, WORD flags,
                               DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                               UINT* argumentError) noexcept {
    const HRESULT status = Ensure(locale);
    ITypeInfo* info = info_.load(std::memory_order_acquire);
    if (info == nullptr) return status;
    return info->Invoke(instance, member, flags, parameters, result, exception, argumentError);
}

}  // namespace server
