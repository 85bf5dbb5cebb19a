#include "platform/conversion.h"

#include <atomic>
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
    std::vector<char> buffer(static_cast<size_t>(length) * 2 + 2, '\0');
    const int written = WideCharToMultiByte(ConversionCodePage(), 0, text, length + 1, buffer.data(),
                                            static_cast<int>(buffer.size()), nullptr, nullptr);
    if (written == 0) return false;
    narrow.assign(buffer.data());
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
