// Whether the asked-for class can be created in process, and where the
// machine's registry says its in-process server file lies.
#include <cstring>

#include "checking/bounded_text.h"
#include "platform/com_ref.h"
#include "checking/control_checker.h"
#include "checking/raised_failure.h"

namespace checking {
namespace {

constexpr char kClassesKey[] = "SOFTWARE\\Classes\\CLSID\\";
constexpr char kServerKey[] = "\\InProcServer32";
constexpr std::size_t kMessageCapacity = 200;

// Pairs the call's CoInitialize with one CoUninitialize, on every road. A
// thread that already lives in another kind of apartment refuses the
// initialisation; its count is then not ours to lower.
class ApartmentForCall {
public:
    ApartmentForCall() : initialised_(SUCCEEDED(CoInitialize(nullptr))) {}
    ~ApartmentForCall() {
        if (initialised_) CoUninitialize();
    }
    ApartmentForCall(const ApartmentForCall&) = delete;
    ApartmentForCall& operator=(const ApartmentForCall&) = delete;

private:
    bool initialised_;
};

class OpenKey {
public:
    OpenKey() = default;
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    ~OpenKey() { Close(); }
    HKEY* Receive() { return &key_; }
    HKEY Get() const { return key_; }
    void Close() {
        if (key_ != nullptr) RegCloseKey(key_);
        key_ = nullptr;
    }

private:
    HKEY key_ = nullptr;
};

// A class that the platform has disabled for the browser: its entry under
// this key has the kill bit in its DWORD value "Compatibility Flags".
constexpr char kCompatibilityKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\";
constexpr char kCompatibilityFlags[] = "Compatibility Flags";
constexpr DWORD kKillBit = 0x00000400;

// Read through the module's own registry view, which is the one the browser of
// the same bitness reads. Flags that exist but can't be read count as set: a
// class is created only when it is known not to be disabled.
bool IsDisabledForBrowser(REFCLSID clsid) {
    OLECHAR text[40] = {};
    if (StringFromGUID2(clsid, text, 40) == 0) return true;
    char keyPath[kPathCapacity] = {};
    std::memcpy(keyPath, kCompatibilityKey, sizeof(kCompatibilityKey));
    std::size_t end = sizeof(kCompatibilityKey) - 1;
    for (const OLECHAR* c = text; *c != 0; ++c) keyPath[end++] = static_cast<char>(*c);  // braces, hex digits, dashes

    OpenKey key;
    LONG code = RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_QUERY_VALUE, key.Receive());
    if (code == ERROR_FILE_NOT_FOUND) return false;
    if (code != ERROR_SUCCESS) return true;
    DWORD type = REG_NONE;
    DWORD flags = 0;
    DWORD size = sizeof(flags);
    code = RegQueryValueExA(key.Get(), kCompatibilityFlags, nullptr, &type, reinterpret_cast<BYTE*>(&flags), &size);
    // The browser takes the flags from a DWORD only: no value, or one of
    // another type or size, disables nothing.
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_MORE_DATA) return false;
    if (code != ERROR_SUCCESS) return true;
    return type == REG_DWORD && size == sizeof(flags) && (flags & kKillBit) != 0;
}

// "ERR " and the code of the failed call.
void ReplaceByNumberedError(PendingResult& result, LONG code) {
    char message[kMessageCapacity] = {};
    BoundedFormat(message, sizeof(message), "ERR %ld", static_cast<long>(code));
    result.Discard();  // no text while the new one is made
    result.ReplaceNarrow(message);
}

}  // namespace

HRESULT ControlChecker::ValidateClsid(const OLECHAR* guid) {
    CLSID clsid;
    if (CLSIDFromString(const_cast<LPOLESTR>(guid), &clsid) != NOERROR) {
        m_bstrRetValue.ReplaceNarrow("ERR InvalidGUID");
        return E_FAIL;
    }
    ApartmentForCall apartment;
    // A disabled class is never created, so its server is never loaded: for
    // the page it can't be created. A class whose TreatAs entry names another
    // is created as that other one, so both must be allowed.
    CLSID created = clsid;
    if (IsDisabledForBrowser(clsid) || (CoGetTreatAsClass(clsid, &created) == S_OK && IsDisabledForBrowser(created))) {
        m_bstrRetValue.ReplaceNarrow("ERR CLSIDNotRegistered");
        return E_FAIL;
    }
    platform::ComRef<IDispatch> instance;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER, IID_IDispatch,
                                instance.ReceiveVoid())) ||
        !instance) {
        m_bstrRetValue.ReplaceNarrow("ERR CLSIDNotRegistered");
        return E_FAIL;
    }
    instance.Reset();  // the proof is the creation; nothing is kept
    return S_OK;
}

HRESULT ControlChecker::LookupModulePath(const char* guid) {
    HRESULT status = E_FAIL;
    OpenKey key;
    try {
        char keyPath[kPathCapacity] = {};
        std::memcpy(keyPath, kClassesKey, sizeof(kClassesKey));
        if (!BoundedAppend(keyPath, sizeof(keyPath), guid) || !BoundedAppend(keyPath, sizeof(keyPath), kServerKey)) {
            // The path won't fit: the registry isn't asked.
            if (m_bstrRetValue.Peek() == nullptr) ReplaceByNumberedError(m_bstrRetValue, ERROR_INSUFFICIENT_BUFFER);
            return E_FAIL;
        }
        LONG code = RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, key.Receive());
        if (code != ERROR_SUCCESS) {
            ReplaceByNumberedError(m_bstrRetValue, code);
            return E_FAIL;
        }
        // Zeroed first: the registry adds no terminator to a value stored without one.
        std::memset(m_szModulePath, 0, sizeof(m_szModulePath));
        DWORD type = REG_NONE;
        DWORD size = sizeof(m_szModulePath);
        code = RegQueryValueExA(key.Get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(m_szModulePath), &size);
        if (code == ERROR_SUCCESS && size == sizeof(m_szModulePath) && m_szModulePath[size - 1] != '\0') {
            // 260 characters without a terminator: no room for a whole path.
            code = ERROR_MORE_DATA;
        }
        if (code != ERROR_SUCCESS) {
            ReplaceByNumberedError(m_bstrRetValue, code);
            return E_FAIL;
        }
        key.Close();
        // Taken as stored: no quotes removed, no environment references expanded.
        if (type == REG_SZ) {
            status = S_OK;
        } else {
            m_bstrRetValue.ReplaceWide(L"ERR CannotProcessThisDataType");
        }
    } catch (const RaisedFailure&) {
        key.Close();
        m_bstrRetValue.ReplaceWide(L"ERR MethodFailed");  // raises if even this can't be made
        return E_FAIL;
    }
    return status;
}

}  // namespace checking
