#include "server/type_library_registration.h"

#include <cstring>
#include <shlwapi.h>

#include "platform/allocation.h"
#include "platform/com_ref.h"
#include "platform/conversion.h"
#include "platform/failure_barrier.h"
#include "platform/owned_string.h"

namespace server {
namespace {

constexpr DWORD kPathLimit = MAX_PATH;  // 260, terminator included

class LoadedTypeLibrary {
public:
    HRESULT Load(HMODULE module) noexcept;
    ITypeLib* Library() const noexcept { return library_.Get(); }
    BSTR Path() const noexcept { return path_.Get(); }

private:
    static HRESULT LoadFrom(const char* path, platform::WideString& wide, ITypeLib** library) noexcept;

    platform::ComRef<ITypeLib> library_;
    platform::OwnedString path_;
};

HRESULT LoadedTypeLibrary::LoadFrom(const char* path, platform::WideString& wide, ITypeLib** library) noexcept {
    if (!platform::Succeeds([&] { return platform::ToWide(path, wide); })) return E_OUTOFMEMORY;
    return LoadTypeLib(wide.c_str(), library);
}

HRESULT LoadedTypeLibrary::Load(HMODULE module) noexcept {
    char path[kPathLimit];
    const DWORD length = GetModuleFileNameA(module, path, kPathLimit);
    if (length == 0) return platform::HresultFromWin32(static_cast<LONG>(GetLastError()));
    if (length == kPathLimit) return platform::HresultFromWin32(ERROR_INSUFFICIENT_BUFFER);
    char* extension = PathFindExtensionA(path);
    platform::WideString wide;
    HRESULT status = LoadFrom(path, wide, library_.Receive());
    if (FAILED(status)) {
        // The module yields no type library: look for the side file with the
        // module's name and the extension ".tlb".
        if (static_cast<size_t>(extension - path) + 5 > kPathLimit) return E_FAIL;
        std::memcpy(extension, ".tlb", 5);
        status = LoadFrom(path, wide, library_.Receive());
        if (FAILED(status)) return status;
    }
    path_.Attach(platform::AllocString(wide.c_str()));
    return path_ ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

HRESULT RegisterServerTypeLibrary(HMODULE module) noexcept {
    LoadedTypeLibrary loaded;
    const HRESULT status = loaded.Load(module);
    if (FAILED(status)) return status;
    // The help directory is the library file's own directory, separator kept.
    OLECHAR directory[kPathLimit];
    const OLECHAR* path = loaded.Path();
    size_t copied = 0;
    while (copied < kPathLimit - 1 && path[copied] != L'\0') {
        directory[copied] = path[copied];
        ++copied;
    }
    directory[copied] = L'\0';
    size_t cut = 0;
    for (size_t index = 0; index < copied; ++index) {
        if (directory[index] == L'\\' || directory[index] == L'/' || directory[index] == L':') cut = index + 1;
    }
    directory[cut] = L'\0';
    return RegisterTypeLib(loaded.Library(), loaded.Path(), directory);
}

HRESULT UnregisterServerTypeLibrary(HMODULE module) noexcept {
    LoadedTypeLibrary loaded;
    HRESULT status = loaded.Load(module);
    if (FAILED(status)) return status;
    TLIBATTR* attributes = nullptr;
    status = loaded.Library()->GetLibAttr(&attributes);
    if (FAILED(status)) return status;
    status = UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                               attributes->lcid, attributes->syskind);
    loaded.Library()->ReleaseTLibAttr(attributes);
    return status;
}

}  // namespace server
