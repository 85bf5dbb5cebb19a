#include "tests/checking/checking_support.h"

#include <cstdio>
#include <stdexcept>
#include <utility>

#include "platform/allocation.h"

namespace checking_tests {

void PrintTo(const Answer& answer, std::ostream* out) {
    char status[16];
    std::snprintf(status, sizeof(status), "0x%08lX", static_cast<unsigned long>(answer.status));
    *out << "{" << status << ", ";
    if (!answer.text) {
        *out << "no text}";
        return;
    }
    *out << '"';
    for (wchar_t c : *answer.text) {
        if (c == L'\n') {
            *out << "\\n";
        } else if (c >= 0x20 && c < 0x7F) {
            *out << static_cast<char>(c);
        } else {
            *out << "\\u" << std::hex << static_cast<unsigned>(c) << std::dec;
        }
    }
    *out << "\"}";
}

Answer Take(HRESULT status, BSTR text) {
    Answer answer{status, std::nullopt};
    const platform::OwnedString owned(text);
    if (owned) answer.text = owned.Text();
    return answer;
}

HostedChecker::HostedChecker(const wchar_t* page, standin::SiteKind kind)
    : site_(standin::StandInSite::Create(kind, page)) {
    checker_.ReplaceSite(site_->AsUnknown());
}

Answer HostedChecker::IsValidControl(const std::wstring& guid, const std::wstring& version) {
    Arg guidArg(guid), versionArg(version);
    BSTR out = nullptr;
    const HRESULT status = checker_.isValidControl(guidArg, versionArg, &out);
    return Take(status, out);
}

Answer HostedChecker::GetControlVersion(const std::wstring& guid) {
    Arg guidArg(guid);
    BSTR out = nullptr;
    const HRESULT status = checker_.getControlVersion(guidArg, &out);
    return Take(status, out);
}

Answer HostedChecker::GetPackageVersion() {
    BSTR out = nullptr;
    const HRESULT status = checker_.getPackageVersion(&out);
    return Take(status, out);
}

std::wstring Wide(const std::string& narrow) { return std::wstring(narrow.begin(), narrow.end()); }

std::string TestGuid(int number) {
    char text[64];
    std::snprintf(text, sizeof(text), "{7E3A51C0-93B2-4C1D-A0E4-5F61000000%02X}", number & 0xFF);
    return text;
}

void Registrations::RegisterInClassTable(const std::string& guid, const char* server) {
    // The class table belongs to the apartment: it must outlive the checker's
    // own CoInitialize/CoUninitialize pair.
    if (!comInitialised_) comInitialised_ = SUCCEEDED(CoInitialize(nullptr));
    platform::LoadedModule loaded(LoadLibraryA(fixtures::FixturePath(server).c_str()));
    if (!loaded) throw std::runtime_error("cannot load fixture server");
    const HMODULE module = loaded.Get();
    modules_.push_back(std::move(loaded));
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    const auto entry = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    CLSID clsid;
    const std::wstring wide = Wide(guid);
    platform::ComRef<IUnknown> factory;
    if (entry == nullptr || CLSIDFromString(wide.c_str(), &clsid) != NOERROR ||
        FAILED(entry(clsid, IID_IUnknown, factory.ReceiveVoid())))
        throw std::runtime_error("cannot reach the fixture's class object");
    DWORD cookie = 0;
    const HRESULT status = CoRegisterClassObject(clsid, factory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie);
    factory.Reset();
    if (FAILED(status)) throw std::runtime_error("cannot register the class object");
    cookies_.push_back(cookie);
}

fixtures::ClassRegistration& Registrations::Machine(const std::string& guid) {
    registrations_.push_back(std::make_unique<fixtures::ClassRegistration>(HKEY_LOCAL_MACHINE, guid));
    return *registrations_.back();
}

fixtures::ClassRegistration& Registrations::CurrentUser(const std::string& guid) {
    registrations_.push_back(std::make_unique<fixtures::ClassRegistration>(HKEY_CURRENT_USER, guid));
    return *registrations_.back();
}

Registrations::~Registrations() {
    for (DWORD cookie : cookies_) CoRevokeClassObject(cookie);
    if (comInitialised_) CoUninitialize();
}

}  // namespace checking_tests
