// The three methods: the frame they share and the order of their steps.
#include <string>

#include "checking/control_checker.h"
#include "checking/raised_failure.h"
#include "platform/allocation.h"
#include "platform/conversion.h"
#include "platform/failure_barrier.h"

namespace checking {
namespace {

// The one answer that is kept as narrow text and converted on every use.
constexpr char kInvalidDomain[] = "ERR InvalidDomain";
constexpr UINT kGuidLength = 38;
constexpr UINT kLongestVersion = 9;

// Narrow scratch copy of an argument, up to its first NUL.
std::string NarrowArgument(BSTR argument) {
    std::string narrow;
    if (!platform::ToNarrow(argument, narrow)) Raise(E_FAIL);
    return narrow;
}

}  // namespace

ControlChecker::ControlChecker() = default;

ControlChecker::~ControlChecker() = default;

void ControlChecker::ReplaceSite(IUnknown* site) {
    if (site != nullptr) site->AddRef();
    m_site.Attach(site);  // the old site is released once the new one is in place
}

IUnknown* ControlChecker::Site() const { return m_site.Get(); }

template <typename Road>
HRESULT ControlChecker::Answer(BSTR* outBstrRetValue, Road road) {
    if (outBstrRetValue == nullptr) return E_POINTER;
    platform::ConversionCodePage();
    // The caller gives up what it passed in; it is written on every road.
    platform::FreeString(*outBstrRetValue);
    *outBstrRetValue = nullptr;

    BSTR answer = nullptr;
    const bool answered = platform::Succeeds([&] {
        answer = FAILED(VerifyHostDomain()) ? platform::NarrowToString(kInvalidDomain) : road();
        return true;
    });
    if (!answered) {
        // A failure that no step turned into a text: no answer, and nothing of
        // this call is carried into the next.
        m_bstrRetValue.Discard();
        return E_FAIL;
    }
    *outBstrRetValue = answer;
    return answer != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT ControlChecker::isValidControl(BSTR inBstrGuid, BSTR inBstrVersion, BSTR* outBstrRetValue) {
    return Answer(outBstrRetValue, [&] { return IsValidControlRoad(inBstrGuid, inBstrVersion); });
}

HRESULT ControlChecker::getControlVersion(BSTR inBstrGuid, BSTR* outBstrRetValue) {
    return Answer(outBstrRetValue, [&] { return GetControlVersionRoad(inBstrGuid); });
}

HRESULT ControlChecker::getPackageVersion(BSTR* outBstrRetValue) {
    return Answer(outBstrRetValue, [&] { return GetPackageVersionRoad(); });
}

BSTR ControlChecker::IsValidControlRoad(BSTR inBstrGuid, BSTR inBstrVersion) {
    if (SysStringLen(inBstrGuid) != kGuidLength || SysStringLen(inBstrVersion) == 0)
        return platform::AllocString(L"ERR InvalidParameters");
    if (FAILED(ValidateClsid(inBstrGuid))) return m_bstrRetValue.HandOut();
    if (FAILED(LookupModulePath(NarrowArgument(inBstrGuid).c_str()))) return m_bstrRetValue.HandOut();
    if (FAILED(ReadFileVersion())) return m_bstrRetValue.HandOut();
    // Tested only now, so that an unregistered class or a missing file still
    // answers with its own text whatever the version's length.
    if (SysStringLen(inBstrVersion) > kLongestVersion) {
        m_bstrRetValue.Discard();
        return platform::AllocString(L"ERR CompareVersionInvalid");
    }
    CompareVersion(NarrowArgument(inBstrVersion).c_str());  // "true", "false" or its own failure text
    return m_bstrRetValue.HandOut();
}

BSTR ControlChecker::GetControlVersionRoad(BSTR inBstrGuid) {
    if (SysStringLen(inBstrGuid) != kGuidLength) return platform::AllocString(L"ERR InvalidParameters");
    if (FAILED(ValidateClsid(inBstrGuid))) return m_bstrRetValue.HandOut();
    if (FAILED(LookupModulePath(NarrowArgument(inBstrGuid).c_str()))) return m_bstrRetValue.HandOut();
    ReadFileVersion();  // the last step: whatever it left is the answer
    return m_bstrRetValue.HandOut();
}

}  // namespace checking
