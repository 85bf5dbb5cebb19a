// Whether the asked-for class can be created in process, and where the
// machine's registry says its in-process server file lies.
#include <cstring>

#include "checking/bounded_text.h"
#include "platform/com_ref.h"
#include "checking/control_checker.h"
#include "checking/kill_bit.h"
#include "checking/raised_failure.h"
#include "platform/registry_key.h"

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
    platform::RegistryKey key;
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
