#include "server/type_info_holder.h"

#include <cstring>
#include <new>

#include "platform/allocation.h"
#include "platform/com_ref.h"
#include "platform/owned_string.h"
#include "platform/task_memory.h"
#include "server/critical_section.h"
#include "server/module.h"

namespace server {

// The interface's member names, each with its dispatch identifier, in one
// block of task memory whose entries are built in place.
class TypeInfoHolder::NameCache {
public:
    struct Entry {
        platform::SystemString name;  // made by the type information
        DISPID id = DISPID_UNKNOWN;
    };

    // Every entry starts empty; a member without a name stays so.
    NameCache(platform::TaskMemory<Entry> entries, UINT count) noexcept
        : entries_(std::move(entries)), count_(count) {
        for (UINT index = 0; index < count_; ++index) new (&entries_.Get()[index]) Entry();
    }
    ~NameCache() {
        for (UINT index = 0; index < count_; ++index) entries_.Get()[index].~Entry();
    }
    NameCache(const NameCache&) = delete;
    NameCache& operator=(const NameCache&) = delete;

    UINT Count() const noexcept { return count_; }
    Entry& At(UINT index) noexcept { return entries_.Get()[index]; }
    const Entry& At(UINT index) const noexcept { return entries_.Get()[index]; }

private:
    platform::TaskMemory<Entry> entries_;
    UINT count_;
};

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
    platform::ComRef<ITypeInfo2> info2;
    const bool richer = SUCCEEDED(info.Get()->QueryInterface(IID_ITypeInfo2, info2.ReceiveVoid())) && info2;
    ITypeInfo* kept = richer ? info2.Detach() : info.Detach();
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
    platform::TaskMemory<NameCache> block = platform::TaskMemory<NameCache>::Allocate(1);
    platform::TaskMemory<NameCache::Entry> entries;
    if (block && count != 0) entries = platform::TaskMemory<NameCache::Entry>::Allocate(count);
    if (!block || (count != 0 && !entries)) {
        info->ReleaseTypeAttr(attributes);
        return E_OUTOFMEMORY;
    }
    NameCache* cache = new (block.Get()) NameCache(std::move(entries), count);
    for (UINT index = 0; index < count; ++index) {
        NameCache::Entry& entry = cache->At(index);
        FUNCDESC* function = nullptr;
        if (FAILED(info->GetFuncDesc(index, &function)) || function == nullptr) continue;
        platform::SystemString name;
        if (SUCCEEDED(info->GetDocumentation(function->memid, name.Receive(), nullptr, nullptr, nullptr))) {
            entry.name = std::move(name);
            entry.id = function->memid;
        }
        info->ReleaseFuncDesc(function);
    }
    names_.store(cache, std::memory_order_release);
    block.Detach();  // now held by names_, given back by Cleanup
    info->ReleaseTypeAttr(attributes);
    return S_OK;
}

void TypeInfoHolder::Cleanup(DWORD_PTR holder) noexcept {
    auto* self = reinterpret_cast<TypeInfoHolder*>(holder);
    platform::ComRef<ITypeInfo> info(self->info_.exchange(nullptr));
    platform::TaskMemory<NameCache> cache(self->names_.exchange(nullptr));
    if (cache) cache.Get()->~NameCache();
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
        for (UINT index = cache->Count(); index-- > 0;) {
            const NameCache::Entry& entry = cache->At(index);
            if (entry.name && entry.name.Length() == length &&
                std::memcmp(entry.name.Get(), names[0], length * sizeof(OLECHAR)) == 0) {
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
