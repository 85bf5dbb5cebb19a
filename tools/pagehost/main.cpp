// pagehost: plays the browser page for tests and demos (see options.cpp).
#include "platform/win32.h"

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/com_apartment.h"
#include "server_ids.h"
#include "tools/pagehost/options.h"
#include "tools/pagehost/page_run.h"
#include "tools/pagehost/text.h"

namespace {

std::vector<std::wstring> Arguments() {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> args;
    for (int i = 1; argv != nullptr && i < count; ++i) args.emplace_back(argv[i]);
    LocalFree(argv);
    return args;
}

bool ReadScript(const std::wstring& path, std::wstring& text) {
    std::FILE* file = _wfopen(path.c_str(), L"rb");
    if (file == nullptr) return false;
    std::string bytes;
    char buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.append(buffer, got);
    const bool ok = !std::ferror(file);
    std::fclose(file);
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.erase(0, 3);
    text = pagehost::FromUtf8(bytes);
    return ok;
}

}  // namespace

int main() {
    // The output is compared byte for byte: no line-end translation.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);

    std::wstring error;
    const auto options = pagehost::ParseOptions(Arguments(), pagehost::FromUtf8(TERVAGON_CLSID_TEXT), error);
    if (!options) {
        std::fprintf(stderr, "pagehost: %s\n%s", pagehost::ToUtf8(error).c_str(), pagehost::kUsage);
        return 2;
    }
    std::vector<std::wstring> scripts(options->scripts.size());
    for (size_t i = 0; i < scripts.size(); ++i) {
        if (!ReadScript(options->scripts[i], scripts[i])) {
            std::fprintf(stderr, "pagehost: cannot read %s\n", pagehost::ToUtf8(options->scripts[i]).c_str());
            return 2;
        }
    }
    const platform::ComApartment apartment;
    if (FAILED(apartment.Status())) {
        std::fprintf(stderr, "pagehost: COM did not start: 0x%08lX\n", static_cast<unsigned long>(apartment.Status()));
        return 2;
    }
    return static_cast<int>(pagehost::RunPage(*options, scripts, stdout, stderr));
}
