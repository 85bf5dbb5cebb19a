#include "registrar/script_registrar.h"

#include <cstring>
#include <string>

#include "platform/conversion.h"
#include "platform/failure_barrier.h"
#include "platform/loaded_module.h"
#include "platform/task_memory.h"
#include "registrar/script_parser.h"
#include "registrar/text_conversion.h"

namespace registrar {
namespace {

// Resource copies up to this size stay on the stack.
constexpr DWORD kStackScriptBytes = 1024;

// The status of a platform call that has just failed. A failure whose last
// error reads 0 is still a failure.
HRESULT LastErrorStatus() {
    const DWORD code = GetLastError();
    return code == 0 ? E_FAIL : platform::HresultFromWin32(static_cast<LONG>(code));
}

}  // namespace

HRESULT STDMETHODCALLTYPE ScriptRegistrar::QueryInterface(REFIID, void** object) {
    // The registrar hands out no interfaces; the caller's pointer is not left
    // holding whatever it held before.
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE ScriptRegistrar::AddVariable(LPCOLESTR name, LPCOLESTR value) {
    return platform::Guarded([&]() -> HRESULT {
        if (name == nullptr || value == nullptr) return E_INVALIDARG;
        std::string narrowName;
        if (!WideToNarrow(name, narrowName)) return E_OUTOFMEMORY;
        return variables_.Add(narrowName.c_str(), value);
    });
}

HRESULT STDMETHODCALLTYPE ScriptRegistrar::ClearVariables() {
    variables_.Clear();
    return S_OK;
}

HRESULT ScriptRegistrar::RegisterScriptResource(LPCOLESTR modulePath, UINT resourceId,
                                                LPCOLESTR resourceType) {
    return platform::Guarded([&] { return RunTypedScriptResource(modulePath, resourceId, resourceType, true); });
}

HRESULT ScriptRegistrar::UnregisterScriptResource(LPCOLESTR modulePath, UINT resourceId,
                                                  LPCOLESTR resourceType) {
    return platform::Guarded([&] { return RunTypedScriptResource(modulePath, resourceId, resourceType, false); });
}

HRESULT ScriptRegistrar::RunTypedScriptResource(LPCOLESTR modulePath, UINT resourceId,
                                                LPCOLESTR resourceType, bool doRegister) {
    std::string narrowType;
    if (resourceType == nullptr || !WideToNarrow(resourceType, narrowType)) return E_OUTOFMEMORY;
    return RunScriptResource(modulePath, MAKEINTRESOURCEA(resourceId & 0xFFFFu), narrowType.c_str(),
                             doRegister);
}

HRESULT ScriptRegistrar::RunScriptResource(LPCOLESTR modulePath, LPCSTR resourceName,
                                           LPCSTR resourceType, bool doRegister) {
    std::string narrowPath;
    if (modulePath == nullptr || !WideToNarrow(modulePath, narrowPath)) return E_OUTOFMEMORY;

    // The file is opened as data only, apart from any image of it that runs.
    const platform::LoadedModule module(LoadLibraryExA(narrowPath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (module.Get() == nullptr) return LastErrorStatus();
    const HRSRC resource = FindResourceA(module.Get(), resourceName, resourceType);
    if (resource == nullptr) return LastErrorStatus();
    const HGLOBAL loaded = LoadResource(module.Get(), resource);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr) return LastErrorStatus();
    const DWORD size = SizeofResource(module.Get(), resource);

    // The resource has no terminator of its own; its bytes are the script text as they are.
    char stackCopy[kStackScriptBytes];
    platform::TaskMemory<char> heapCopy;
    char* text = stackCopy;
    if (size >= kStackScriptBytes) {
        if (size == 0xFFFFFFFFu) return E_OUTOFMEMORY;  // no room for the terminator
        heapCopy = platform::TaskMemory<char>::Allocate(SIZE_T{size} + 1);
        if (!heapCopy) return E_OUTOFMEMORY;
        text = heapCopy.Get();
    }
    std::memcpy(text, bytes, size);
    text[size] = '\0';

    ScriptParser parser(*this);
    return parser.RunScript(text, doRegister);
}

}  // namespace registrar
