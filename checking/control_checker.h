// The checking state of one ControlInstaller object and the three answers it
// gives a page. The COM object forwards its IControlInstaller methods here and
// its IObjectWithSite calls to ReplaceSite/Site. Calls come on the object's
// apartment thread, one at a time, so nothing here is locked.
#pragma once

#include "checking/bounded_text.h"
#include "checking/pending_result.h"
#include "platform/win32.h"

namespace checking {

class ControlChecker {
public:
    ControlChecker();
    ~ControlChecker();  // frees the pending result and releases the site
    ControlChecker(const ControlChecker&) = delete;
    ControlChecker& operator=(const ControlChecker&) = delete;

    // Keeps a reference to the new site (if any) and releases the old one.
    void ReplaceSite(IUnknown* site);
    // The site as held; no reference is added.
    IUnknown* Site() const;

    // The three methods of IControlInstaller. Each releases the string that
    // its out-parameter holds, checks the hosting page's domain before it
    // looks at any argument, and answers S_OK with a text, E_OUTOFMEMORY with
    // no text when the answer itself can't be made, or E_FAIL with no text
    // when an allocation failure cut the road short. A null out-parameter
    // answers E_POINTER.
    HRESULT isValidControl(BSTR inBstrGuid, BSTR inBstrVersion, BSTR* outBstrRetValue);
    HRESULT getControlVersion(BSTR inBstrGuid, BSTR* outBstrRetValue);
    HRESULT getPackageVersion(BSTR* outBstrRetValue);

    // The steps of the roads. Each reports S_OK or E_FAIL and leaves its words
    // in the pending result; they are public so that each can also be
    // exercised on its own.

    // S_OK when the page hosting the object comes from the allowed domain.
    // Never raises.
    HRESULT VerifyHostDomain();
    // Proves that the class can be created in process with IDispatch; a class
    // that the platform has disabled for the browser (its kill bit) is never
    // created and counts as not registered. Raises E_OUTOFMEMORY when its
    // failure text can't be made.
    HRESULT ValidateClsid(const OLECHAR* guid);
    // Reads the class's in-process server path from the machine's registry into
    // m_szModulePath. Raises only when even its last-resort text can't be made.
    HRESULT LookupModulePath(const char* guid);
    // Tests the server file's presence and makes its version the pending result.
    HRESULT ReadFileVersion();
    // Compares the expected version with the one just read: "true" or "false".
    HRESULT CompareVersion(const char* expectedVersion);

    // For tests: the pending result as held (null when empty), and the buffers.
    BSTR PendingText() const { return m_bstrRetValue.Peek(); }
    const char* ModulePath() const { return m_szModulePath; }
    const char* FileVersion() const { return m_szFileVersion; }

private:
    // The frame that the three methods share; `road` gives the answer after
    // the domain check has passed.
    template <typename Road>
    HRESULT Answer(BSTR* outBstrRetValue, Road road);
    BSTR IsValidControlRoad(BSTR inBstrGuid, BSTR inBstrVersion);
    BSTR GetControlVersionRoad(BSTR inBstrGuid);
    BSTR GetPackageVersionRoad();

    IUnknown* m_site = nullptr;
    char m_szModulePath[kPathCapacity] = {};
    PendingResult m_bstrRetValue;
    char m_szFileVersion[kPathCapacity] = {};
};

}  // namespace checking

using checking::ControlChecker;
