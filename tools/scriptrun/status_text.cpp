#include "status_text.h"

#include <cstdio>

namespace scriptrun {
namespace {

// A status or a registry code (both are LONG), its name and what it means to
// someone who ran a script.
struct Known { LONG value; const char* name; const char* meaning; };

const Known kStatuses[] = {
    {S_OK, "S_OK", "the script ran to its end"},
    {DISP_E_EXCEPTION, "DISP_E_EXCEPTION",
     "the script is malformed: a missing or unterminated token, an unknown root key, variable or type "
     "letter, a key name with a backslash, or a missing '{', '}' or '='"},
    {E_FAIL, "E_FAIL", "a variable name of 32 bytes or more, or a \"b\" value with an odd number of digits"},
    {E_OUTOFMEMORY, "E_OUTOFMEMORY", "out of memory"},
    {E_POINTER, "E_POINTER", "a null pointer was passed"},
    {E_INVALIDARG, "E_INVALIDARG", "an invalid argument was passed"},
};

const Known kRegistryCodes[] = {
    {ERROR_FILE_NOT_FOUND, "ERROR_FILE_NOT_FOUND", "a key or value does not exist"},
    {ERROR_ACCESS_DENIED, "ERROR_ACCESS_DENIED",
     "access denied; a key that still has subkeys the script does not list can't be deleted"},
    {ERROR_INVALID_HANDLE, "ERROR_INVALID_HANDLE", "an invalid key handle"},
    {ERROR_OUTOFMEMORY, "ERROR_OUTOFMEMORY", "out of memory"},
    {ERROR_INVALID_PARAMETER, "ERROR_INVALID_PARAMETER", "an invalid name, such as a key name over 255 characters"},
    {ERROR_INSUFFICIENT_BUFFER, "ERROR_INSUFFICIENT_BUFFER", "a name or path too long for its buffer"},
    {ERROR_BAD_PATHNAME, "ERROR_BAD_PATHNAME", "a malformed key path"},
    {ERROR_MORE_DATA, "ERROR_MORE_DATA", "a name or path longer than the registry takes"},
    {ERROR_KEY_DELETED, "ERROR_KEY_DELETED", "the key was deleted while it was open"},
};

}  // namespace

StatusText DescribeStatus(HRESULT status) {
    char hex[16];
    std::snprintf(hex, sizeof(hex), "0x%08X", static_cast<unsigned>(status));
    for (const Known& known : kStatuses) {
        if (known.value == status) return {std::string(hex) + " " + known.name, known.meaning};
    }
    const auto bits = static_cast<unsigned>(status);
    if ((bits & 0xFFFF0000u) == 0x80070000u) {
        const LONG code = static_cast<LONG>(bits & 0xFFFFu);
        for (const Known& known : kRegistryCodes) {
            if (known.value == code) return {std::string(hex) + " HRESULT_FROM_WIN32(" + known.name + ")", known.meaning};
        }
        return {std::string(hex) + " HRESULT_FROM_WIN32(" + std::to_string(code) + ")",
                "system error " + std::to_string(code)};
    }
    return {hex, status < 0 ? "a failure" : "a success"};
}

std::string StatusLine(HRESULT status) {
    const StatusText text = DescribeStatus(status);
    return text.name + ": " + text.meaning;
}

}  // namespace scriptrun
