// Narrow text functions of the stand-in. Its narrow code page is Latin-1 with
// single-byte characters only, so CharNextA steps one byte and no byte leads a
// double-byte character. lstrcmpiA compares folded bytes: it agrees with the
// platform on equality, which is what the system relies on, and on the order
// of letters, though not on the platform's linguistic order of punctuation.
#include <cstring>

#include "platform/host/latin1.h"
#include "platform/win32.h"

namespace {

thread_local DWORD t_lastError = 0;

bool Latin1CodePage(UINT codePage) { return codePage == CP_ACP || codePage == CP_THREAD_ACP || codePage == 28591; }

}  // namespace

DWORD GetLastError() { return t_lastError; }
void SetLastError(DWORD code) { t_lastError = code; }

LPSTR CharNextA(LPCSTR text) {
    if (*text == '\0') return const_cast<LPSTR>(text);
    return const_cast<LPSTR>(text + 1);
}

BOOL IsDBCSLeadByte(BYTE) { return FALSE; }

int lstrcmpiA(LPCSTR left, LPCSTR right) {
    if (left == nullptr || right == nullptr) return left == right ? 0 : (left == nullptr ? -1 : 1);
    return platform::host::CompareFolded(left, right);
}

int lstrlenA(LPCSTR text) { return text == nullptr ? 0 : static_cast<int>(std::strlen(text)); }

int lstrlenW(LPCWSTR text) {
    if (text == nullptr) return 0;
    int length = 0;
    while (text[length] != 0) ++length;
    return length;
}

// Copies at most count - 1 characters and a terminator. A null source with room
// to copy fails without writing (the platform faults inside and answers null).
LPSTR lstrcpynA(LPSTR target, LPCSTR source, int count) {
    if (target == nullptr || count <= 0) return target;
    if (source == nullptr && count > 1) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    int copied = 0;
    if (source != nullptr)
        for (; copied < count - 1 && source[copied] != '\0'; ++copied) target[copied] = source[copied];
    target[copied] = '\0';
    return target;
}

int MultiByteToWideChar(UINT codePage, DWORD, LPCSTR text, int textLength, LPWSTR target, int targetCapacity) {
    if (!Latin1CodePage(codePage) || text == nullptr || textLength == 0 || textLength < -1 || targetCapacity < 0 ||
        (target == nullptr && targetCapacity != 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const int needed = textLength == -1 ? static_cast<int>(std::strlen(text)) + 1 : textLength;
    if (targetCapacity == 0) return needed;
    const int written = needed < targetCapacity ? needed : targetCapacity;
    for (int i = 0; i < written; ++i) target[i] = static_cast<WCHAR>(static_cast<unsigned char>(text[i]));
    if (written < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    return needed;
}

int WideCharToMultiByte(UINT codePage, DWORD, LPCWSTR text, int textLength, LPSTR target, int targetCapacity,
                        LPCSTR defaultChar, BOOL* usedDefaultChar) {
    if (!Latin1CodePage(codePage) || text == nullptr || textLength == 0 || textLength < -1 || targetCapacity < 0 ||
        (target == nullptr && targetCapacity != 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const int needed = textLength == -1 ? lstrlenW(text) + 1 : textLength;
    const char replacement = defaultChar != nullptr ? *defaultChar : '?';
    bool replaced = false;
    const int written = targetCapacity == 0 ? needed : (needed < targetCapacity ? needed : targetCapacity);
    for (int i = 0; i < written; ++i) {
        const WCHAR unit = text[i];
        const bool fits = unit <= 0xFF;
        replaced = replaced || !fits;
        if (targetCapacity != 0) target[i] = fits ? static_cast<char>(unit) : replacement;
    }
    if (usedDefaultChar != nullptr) *usedDefaultChar = replaced ? TRUE : FALSE;
    if (written < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    return needed;
}
