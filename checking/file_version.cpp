// The server file's presence and version, and the comparison with the version
// that the page expects.
#include <algorithm>
#include <cstring>

#include "checking/bounded_text.h"
#include "checking/control_checker.h"
#include "checking/raised_failure.h"
#include "checking/version_text.h"
#include "platform/allocation.h"
#include "platform/find_handle.h"
#include "platform/task_memory.h"

#include <winver.h>  // after the Windows headers it builds on

namespace checking {
namespace {

// Appended texts end in a line feed, the only separator between them.
void AppendLine(PendingResult& result, const char* text) {
    char message[kPathCapacity] = {};
    BoundedFormat(message, sizeof(message), "%s\n", text);
    result.AppendNarrow(message);
}

bool IsPresent(const char* path) {
    WIN32_FIND_DATAA found;
    const platform::FindHandle search(FindFirstFileA(path, &found));
    return static_cast<bool>(search);
}

// Formats the file version of the resource into `version`; leaves it empty
// when the resource can't be read or its root block is empty.
void FormatResourceVersion(const char* path, DWORD size, char* version) {
    const auto resource = platform::TaskMemory<BYTE>::Allocate(size);
    if (!resource) Raise(E_OUTOFMEMORY);
    if (!GetFileVersionInfoA(path, 0, size, resource.Get())) return;
    void* block = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(resource.Get(), "\\", &block, &length) || length == 0 || block == nullptr) return;
    VS_FIXEDFILEINFO record;
    std::memset(&record, 0, sizeof(record));
    std::memcpy(&record, block, std::min<std::size_t>(length, sizeof(record)));
    FormatFileVersion(version, kPathCapacity, record.dwFileVersionMS, record.dwFileVersionLS);
}

}  // namespace

HRESULT ControlChecker::ReadFileVersion() {
    HRESULT status = E_FAIL;
    m_szFileVersion[0] = '\0';
    try {
        if (!IsPresent(m_szModulePath)) {
            AppendLine(m_bstrRetValue, "ERR FileNotFound");
            return E_FAIL;
        }
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeA(m_szModulePath, &ignored);
        if (size == 0) {
            AppendLine(m_bstrRetValue, "VersionNotSpecified");
            return S_OK;
        }
        FormatResourceVersion(m_szModulePath, size, m_szFileVersion);
        m_bstrRetValue.ReplaceNarrow(m_szFileVersion);
        status = S_OK;
    } catch (const RaisedFailure&) {
        // Nothing more is written; the status reached so far stands.
    }
    return status;
}

HRESULT ControlChecker::CompareVersion(const char* expectedVersion) {
    HRESULT status = E_FAIL;
    try {
        // Compared as text: 1.2.3.4 equals 1.2.3.4 only, not 1.2.3.04.
        if (EqualsIgnoringAsciiCase(expectedVersion, m_szFileVersion)) {
            status = S_OK;
            m_bstrRetValue.ReplaceNarrow("true");
        } else {
            m_bstrRetValue.ReplaceNarrow("false");
        }
    } catch (const RaisedFailure&) {
        AppendLine(m_bstrRetValue, "ERR Comparing");  // if this fails too, the failure travels on
    }
    return status;
}

}  // namespace checking
