#include "tools/pagehost/options.h"

namespace pagehost {

const char kUsage[] =
    "usage: pagehost [options] SCRIPT.js...\n"
    "Runs page scripts the way a browser page would, with the object that the\n"
    "page's object tag creates, and prints what the scripts write. Several scripts\n"
    "run in order in one engine, as a page's script tags (a library, then the page).\n"
    "  --url URL        the page address the browser reports (default about:blank)\n"
    "  --frame-url URL  the object and the script are on a frame of that page, whose\n"
    "                   document shows URL (default: on the page itself)\n"
    "  --no-site        give the object no site, as a container that is not a browser\n"
    "  --clsid {GUID}   create the object by class identifier (default: ControlInstaller)\n"
    "  --progid NAME    create the object by ProgID\n"
    "  --no-object      create no object; the script has only `page`\n"
    "  --name NAME      the object's name in the script (default installer)\n"
    "The script writes with page.write(...) and page.writeln(...); page.location is\n"
    "the address of the document it runs in. Exit status: 0 done, 1 script error,\n"
    "2 the page could not be set up.\n";

std::optional<Options> ParseOptions(const std::vector<std::wstring>& args, std::wstring defaultClsid,
                                    std::wstring& error) {
    Options options;
    options.classText = std::move(defaultClsid);
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        auto value = [&](std::wstring& into) {
            if (i + 1 >= args.size()) {
                error = arg + L" needs a value";
                return false;
            }
            into = args[++i];
            return true;
        };
        if (arg == L"--url") {
            if (!value(options.url)) return std::nullopt;
        } else if (arg == L"--frame-url") {
            if (!value(options.frameUrl.emplace())) return std::nullopt;
        } else if (arg == L"--no-site") {
            options.site = false;
        } else if (arg == L"--clsid") {
            if (!value(options.classText)) return std::nullopt;
            options.create = Options::Create::ByClsid;
        } else if (arg == L"--progid") {
            if (!value(options.classText)) return std::nullopt;
            options.create = Options::Create::ByProgId;
        } else if (arg == L"--no-object") {
            options.create = Options::Create::None;
        } else if (arg == L"--name") {
            if (!value(options.name)) return std::nullopt;
            if (options.name.empty() || options.name == L"page") {
                error = L"--name must be a name other than page";
                return std::nullopt;
            }
        } else if (arg.starts_with(L"--")) {
            error = L"unknown option " + arg;
            return std::nullopt;
        } else {
            options.scripts.push_back(arg);
        }
    }
    if (options.scripts.empty()) {
        error = L"no script file given";
        return std::nullopt;
    }
    return options;
}

}  // namespace pagehost
