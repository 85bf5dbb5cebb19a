// The class-wide holder of the dual interface's type information. It loads the
// registered type library once per process, keeps the interface's type
// information and a cache of its member names, and serves IDispatch from them.
#pragma once

#include <atomic>

#include "platform/win32.h"

namespace server {

class TypeInfoHolder {
public:
    constexpr TypeInfoHolder(const GUID* iid, const GUID* libraryId, WORD major, WORD minor) noexcept
        : iid_(iid), libraryId_(libraryId), major_(major), minor_(minor) {}

    // The IDispatch methods of every object of the class.
    HRESULT GetTypeInfo(LCID locale, ITypeInfo** info) noexcept;
    HRESULT GetIDsOfNames(LPOLESTR* names, UINT count, LCID locale, DISPID* ids) noexcept;
    HRESULT Invoke(IDispatch* instance, DISPID member, LCID locale, WORD flags, DISPPARAMS* parameters,
                   VARIANT* result, EXCEPINFO* exception, UINT* argumentError) noexcept;

private:
    class NameCache;

    HRESULT Ensure(LCID locale) noexcept;
    HRESULT LoadTypeInfo(LCID locale) noexcept;
    HRESULT BuildNameCache() noexcept;
    static void Cleanup(DWORD_PTR holder) noexcept;

    const GUID* iid_;
    const GUID* libraryId_;
    WORD major_;
    WORD minor_;
    // Written under the module data lock, read without it once both exist;
    // the atomics publish what was built before them. Both are owned here and
    // given back by Cleanup, which the module's termination list runs.
    std::atomic<ITypeInfo*> info_{nullptr};
    std::atomic<NameCache*> names_{nullptr};
};

}  // namespace server
