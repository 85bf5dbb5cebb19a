// What the server tests share: owning pointers and strings, the path of the
// DLL under test, a private copy of it loaded into the test process, and the
// registry helpers.
#pragma once

#include <string>
#include <vector>

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include "Tervagon.h"

namespace server_tests {

// An owned interface pointer.
template <class T>
class Ptr {
public:
    Ptr() = default;
    explicit Ptr(T* adopted) : pointer_(adopted) {}
    ~Ptr() { Reset(); }
    Ptr(const Ptr&) = delete;
    Ptr& operator=(const Ptr&) = delete;
    Ptr(Ptr&& other) noexcept : pointer_(other.pointer_) { other.pointer_ = nullptr; }
    Ptr& operator=(Ptr&& other) noexcept {
        if (this != &other) {
            Reset();
            pointer_ = other.Detach();
        }
        return *this;
    }

    T* Get() const { return pointer_; }
    T* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    T** Out() {
        Reset();
        return &pointer_;
    }
    void** OutVoid() { return reinterpret_cast<void**>(Out()); }
    void Reset() {
        if (pointer_ != nullptr) pointer_->Release();
        pointer_ = nullptr;
    }
    T* Detach() {
        T* pointer = pointer_;
        pointer_ = nullptr;
        return pointer;
    }

private:
    T* pointer_ = nullptr;
};

// An owned BSTR.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const wchar_t* text) : text_(SysAllocString(text)) {}
    ~Bstr() { SysFreeString(text_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR Get() const { return text_; }
    BSTR* Out() {
        SysFreeString(text_);
        text_ = nullptr;
        return &text_;
    }
    std::wstring Text() const { return text_ == nullptr ? std::wstring() : std::wstring(text_, SysStringLen(text_)); }

private:
    BSTR text_ = nullptr;
};

// Narrow text for test messages.
std::string Narrow(const std::wstring& text);

// A GUID as its 38-character text.
std::wstring GuidText(const GUID& guid);

// The platform of this build's DLL, as a type library registration names it:
// "win32" with SYS_WIN32 for the i686 build, "win64" with SYS_WIN64 for x86-64.
#ifdef _WIN64
constexpr SYSKIND kDllSyskind = SYS_WIN64;
constexpr const wchar_t* kDllPlatformKey = L"win64";
#else
constexpr SYSKIND kDllSyskind = SYS_WIN32;
constexpr const wchar_t* kDllPlatformKey = L"win32";
#endif
// The built DLL, as a Windows path (the Unix root is drive Z: under Wine).
std::wstring ShippedDllPath();
// The CLSID, IID, LIBID and AppID as 38-character texts.
std::wstring ClassIdText();
std::wstring InterfaceIdText();
std::wstring LibraryIdText();
std::wstring AppIdText();

// A private copy of the DLL under a file name of its own, loaded into this
// process, so that every test starts from a module that has cached nothing
// (no class object, no type information) and ends by unloading it, which
// runs the module's teardown.
class LoadedServer {
public:
    LoadedServer();
    ~LoadedServer();
    LoadedServer(const LoadedServer&) = delete;
    LoadedServer& operator=(const LoadedServer&) = delete;

    bool Loaded() const { return module_ != nullptr; }
    const std::wstring& Path() const { return path_; }

    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object) const;
    HRESULT CanUnloadNow() const;
    HRESULT Register() const;
    HRESULT Unregister() const;

    // The class factory of ControlInstaller (fails the test when missing).
    Ptr<IClassFactory> Factory() const;
    // A new plain ControlInstaller (fails the test when it can't be made).
    Ptr<IControlInstaller> Create() const;

private:
    template <class Function>
    Function Export(const char* name) const;

    std::wstring path_;
    HMODULE module_ = nullptr;
};

// Registers the shipped DLL's type library for the lifetime of this object,
// unless it was registered already (then it is left as it was).
class RegisteredTypeLibrary {
public:
    RegisteredTypeLibrary();
    ~RegisteredTypeLibrary();
    RegisteredTypeLibrary(const RegisteredTypeLibrary&) = delete;
    RegisteredTypeLibrary& operator=(const RegisteredTypeLibrary&) = delete;
    HRESULT Status() const { return status_; }

private:
    HRESULT status_ = E_FAIL;
    bool registeredHere_ = false;
};

// Every key, value name, type and data below root\path, one line each, sorted;
// empty when the key doesn't exist. Values are shown as text (strings) or
// numbers (DWORDs).
std::vector<std::wstring> DumpKey(HKEY root, const std::wstring& path);
bool KeyExists(HKEY root, const std::wstring& path);
DWORD SubkeyCount(HKEY root, const std::wstring& path);

// Runs a program of the Windows directory to its end; its exit code, or -1.
int RunProgram(const std::wstring& commandLine);

// Runs fn on a new single-threaded apartment thread while this (apartment)
// thread keeps dispatching messages, so that calls marshalled back to it are
// served.
void RunOnOtherApartment(void (*fn)(void* context), void* context);

}  // namespace server_tests
