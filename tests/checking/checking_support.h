// What the checking tests share: answers taken from the methods, argument
// strings, a checker hosted by a page of the allowed domain, and control
// registrations built on the fixture servers.
#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "checking/control_checker.h"
#include "platform/com_ref.h"
#include "platform/loaded_module.h"
#include "platform/owned_string.h"
#include "tools/browser_standin/browser_standin.h"
#include "tests/fixtures/fixture_servers.h"

namespace checking_tests {

inline constexpr wchar_t kAllowedPage[] = L"http://www.talmoren.com/support/check.html";

// A method's status and answer; the answer string is freed through the seam.
struct Answer {
    HRESULT status = E_UNEXPECTED;
    std::optional<std::wstring> text;  // nullopt: no string at all

    bool operator==(const Answer&) const = default;
};
void PrintTo(const Answer& answer, std::ostream* out);

inline Answer Text(const std::wstring& text) { return {S_OK, text}; }
inline Answer NoText(HRESULT status) { return {status, std::nullopt}; }

// Takes ownership of what a method returned.
Answer Take(HRESULT status, BSTR text);

// Calls `method` with an out-parameter that holds `held` on entry (null by
// default) and takes its answer.
template <typename Method>
Answer Ask(Method method, BSTR held = nullptr) {
    BSTR out = held;
    const HRESULT status = method(&out);
    return Take(status, out);
}

// An argument string made by the caller's allocator (not the seam's), so that
// arming the seam only ever hits the product's own allocations.
class Arg {
public:
    Arg() = default;  // the null BSTR
    explicit Arg(const std::wstring& text) : text_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    operator BSTR() const { return text_.Get(); }

private:
    platform::SystemString text_;
};

// A checker whose site is a stand-in browser showing `page`.
class HostedChecker {
public:
    explicit HostedChecker(const wchar_t* page = kAllowedPage,
                           standin::SiteKind kind = standin::SiteKind::WebBrowser);
    HostedChecker(const HostedChecker&) = delete;
    HostedChecker& operator=(const HostedChecker&) = delete;

    ControlChecker& Checker() { return checker_; }
    standin::StandInSite& Site() { return *site_.Get(); }

    Answer IsValidControl(const std::wstring& guid, const std::wstring& version);
    Answer GetControlVersion(const std::wstring& guid);
    Answer GetPackageVersion();

private:
    platform::ComRef<standin::StandInSite> site_;
    ControlChecker checker_;
};

std::wstring Wide(const std::string& narrow);

// A test class: a CLSID text of its own for each number.
std::string TestGuid(int number);

// The registrations that the answer tests check against. Each lives as long
// as the object.
class Registrations {
public:
    // The class object of `server` put into this thread's class table, so the
    // class can be created whatever its registry entries say.
    void RegisterInClassTable(const std::string& guid, const char* server);
    fixtures::ClassRegistration& Machine(const std::string& guid);
    fixtures::ClassRegistration& CurrentUser(const std::string& guid);
    ~Registrations();

private:
    std::vector<std::unique_ptr<fixtures::ClassRegistration>> registrations_;
    std::vector<DWORD> cookies_;
    std::vector<platform::LoadedModule> modules_;  // unloaded after the class table is emptied
    bool comInitialised_ = false;
};

// The package key, seeded for one test and removed afterwards.
inline constexpr char kPackageKey[] = "SOFTWARE\\Talmoren Technical Support";

}  // namespace checking_tests
