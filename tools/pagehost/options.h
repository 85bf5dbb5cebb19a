// The page host's command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pagehost {

struct Options {
    enum class Create { ByClsid, ByProgId, None };

    std::vector<std::wstring> scripts;  // the page's script files, run in order as its script tags
    std::wstring url = L"about:blank";  // what the browser answers as the page address
    std::optional<std::wstring> frameUrl;  // the object is on a frame of the page that shows this address
    bool site = true;                   // false: the object gets no site, as outside a browser
    Create create = Create::ByClsid;
    std::wstring classText;             // a CLSID or a ProgID, by `create`
    std::wstring name = L"installer";   // the object's name in the script
};

// Parses the arguments after the program name; on a mistake, `error` says what.
std::optional<Options> ParseOptions(const std::vector<std::wstring>& args, std::wstring defaultClsid,
                                    std::wstring& error);

extern const char kUsage[];

}  // namespace pagehost
