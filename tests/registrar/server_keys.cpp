#include "server_keys.h"

#include "platform/win32.h"
#include "registry_text.h"
#include "server_ids.h"

namespace registrar_test {
namespace {

const std::string kClsid = TERVAGON_CLSID_TEXT;
const std::string kAppid = TERVAGON_APPID_TEXT;

}  // namespace

const std::string kOtherAppid = "{0F1E2D3C-0000-4000-8000-00000000A11D}";

std::vector<std::string> OurEntries() {
    std::vector<std::string> lines;
    for (const char* shared : {"AppID", "CLSID"})
        if (KeyExists(HKEY_CLASSES_ROOT, shared)) lines.push_back(shared);
    for (const std::string& path : {"AppID\\" + kAppid, "AppID\\" + kOtherAppid, std::string("AppID\\Tervagon.DLL"),
                                    std::string("Tervagon.ControlInstaller.1"), std::string("Tervagon.ControlInstaller"),
                                    "CLSID\\" + kClsid}) {
        if (!KeyExists(HKEY_CLASSES_ROOT, path)) continue;
        lines.push_back(path);
        for (const std::string& line : ReadTree(HKEY_CLASSES_ROOT, path))
            lines.push_back(line[0] == ':' ? path + line : path + "\\" + line);
    }
    return Sorted(std::move(lines));
}

void RemoveOurKeys() {
    for (const std::string& path : {"AppID\\" + kAppid, "AppID\\" + kOtherAppid, std::string("AppID\\Tervagon.DLL"),
                                    std::string("Tervagon.ControlInstaller.1"), std::string("Tervagon.ControlInstaller"),
                                    "CLSID\\" + kClsid})
        RemoveTree(HKEY_CLASSES_ROOT, path);
}

}  // namespace registrar_test
