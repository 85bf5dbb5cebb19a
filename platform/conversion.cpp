#include "platform/conversion.h"

#include <atomic>
#include <cstdint>
#include <vector>

#include "platform/allocation.h"

namespace platform {
namespace {

constexpr UINT kNotChosen = 0xFFFFFFFFu;
std::atomic<UINT> g_codePage{kNotChosen};

UINT ChooseCodePage() {
#ifdef _WIN32
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const BOOL known = GetVersionExA(&version);
#pragma GCC diagnostic pop
    if (known && version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 5)
        return CP_THREAD_ACP;
    char digits[8] = {};
    if (GetLocaleInfoA(GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE, digits, sizeof(digits)) > 0) {
        UINT page = 0;
        for (const char* c = digits; *c >= '0' && *c <= '9'; ++c) page = page * 10 + UINT(*c - '0');
        if (page != 0) return page;
    }
    return GetACP();
#else
    return CP_THREAD_ACP;  // the stand-in's code pages are all the same
#endif
}

}  // namespace

UINT ConversionCodePage() {
    UINT page = g_codePage.load(std::memory_order_acquire);
    if (page == kNotChosen) {
        // Two threads may both choose; they choose the same, and the first publication stands.
        UINT expected = kNotChosen;
        const UINT chosen = ChooseCodePage();
        page = g_codePage.compare_exchange_strong(expected, chosen, std::memory_order_acq_rel)
                   ? chosen
                   : expected;
    }
    return page;
}

bool ToNarrow(const OLECHAR* text, std::string& narrow) {
    narrow.clear();
    if (text == nullptr) return true;
    const int length = lstrlenW(text);
    const UINT page = ConversionCodePage();
    const int measured = WideCharToMultiByte(page, 0, text, length + 1, nullptr, 0, nullptr, nullptr);
    if (measured <= 0) return false;
    std::vector<char> buffer(static_cast<size_t>(measured), '\0');
    const int written = WideCharToMultiByte(page, 0, text, length + 1, buffer.data(), measured, nullptr, nullptr);
    if (written != measured) return false;
    narrow.assign(buffer.data());
    return true;
}

namespace {

// Narrow bytes of the first `count` units, no terminator; -1 when the
// conversion fails.
int NarrowLength(UINT page, const OLECHAR* text, int count) {
    if (count == 0) return 0;
    const int measured = WideCharToMultiByte(page, 0, text, count, nullptr, 0, nullptr, nullptr);
    return measured > 0 ? measured : -1;
}

bool IsHighSurrogate(OLECHAR unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(OLECHAR unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

bool ToNarrowWithin(const OLECHAR* text, std::size_t length, std::size_t limit, std::string& narrow) {
    narrow.clear();
    if (text == nullptr || length == 0) return true;
    const UINT page = ConversionCodePage();
    // Every unit gives at least one byte except a surrogate pair, which may
    // give one for both: no longer run than this can fit.
    const std::size_t longest = length < 2 * limit + 2 ? length : 2 * limit + 2;
    if (longest > static_cast<std::size_t>(INT32_MAX / 2)) return false;
    const int whole = NarrowLength(page, text, static_cast<int>(longest));
    if (whole < 0) return false;
    int fits = static_cast<int>(longest);
    if (static_cast<std::size_t>(whole) > limit) {
        // The narrow length grows with the run: the longest run that fits lies
        // between one that does and one that doesn't.
        int tooLong = fits;
        fits = 0;
        while (tooLong - fits > 1) {
            const int middle = fits + (tooLong - fits) / 2;
            const int bytes = NarrowLength(page, text, middle);
            if (bytes < 0) return false;
            (static_cast<std::size_t>(bytes) <= limit ? fits : tooLong) = middle;
        }
    }
    if (fits > 0 && static_cast<std::size_t>(fits) < length && IsHighSurrogate(text[fits - 1]) &&
        IsLowSurrogate(text[fits]))
        --fits;
    const int bytes = NarrowLength(page, text, fits);
    if (bytes < 0) return false;
    narrow.assign(static_cast<std::size_t>(bytes), '\0');
    if (bytes > 0 &&
        WideCharToMultiByte(page, 0, text, fits, narrow.data(), bytes, nullptr, nullptr) != bytes) {
        narrow.clear();
        return false;
    }
    return true;
}

BSTR NarrowToString(const char* text) {
    if (text == nullptr) text = "";
    const UINT page = ConversionCodePage();
    const int measured = MultiByteToWideChar(page, 0, text, -1, nullptr, 0);
    if (measured <= 0) return nullptr;
    BSTR result = AllocStringLen(nullptr, static_cast<UINT>(measured - 1));
    if (result == nullptr) return nullptr;
    // The BSTR has room for the terminator after its stored length.
    const int converted = MultiByteToWideChar(page, 0, text, -1, result, measured);
    if (converted != measured) {
        FreeString(result);
        return nullptr;
    }
    return result;
}

bool ToWide(const char* text, WideString& wide) {
    wide.clear();
    if (text == nullptr) return true;
    const UINT page = ConversionCodePage();
    const int measured = MultiByteToWideChar(page, 0, text, -1, nullptr, 0);
    if (measured <= 0) return false;
    wide.resize(static_cast<size_t>(measured));
    if (MultiByteToWideChar(page, 0, text, -1, wide.data(), measured) != measured) return false;
    wide.resize(static_cast<size_t>(measured - 1));
    return true;
}

}  // namespace platform
