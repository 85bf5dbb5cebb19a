#include "server_keys.h"

#include "platform/win32.h"
#include "registry_text.h"
#include "server_ids.h"

#ifndef _WIN32
#include "platform/host/registry_store.h"
#include "tests/platform/module_files.h"
#endif

namespace registrar_test {
namespace {

const std::string kClsid = TERVAGON_CLSID_TEXT;
const std::string kAppid = TERVAGON_APPID_TEXT;

}  // namespace

const std::string kOtherAppid = "{0F1E2D3C-0000-4000-8000-00000000A11D}";

std::vector<std::string> OurKeys() {
    return {"AppID\\" + kAppid,
            "AppID\\" + kOtherAppid,
            "AppID\\Tervagon.DLL",
            "Tervagon.ControlInstaller.1",
            "Tervagon.ControlInstaller",
            "CLSID\\" + kClsid};
}

std::vector<std::string> OurEntries() {
    std::vector<std::string> lines;
    for (const char* shared : {"AppID", "CLSID"})
        if (KeyExists(HKEY_CLASSES_ROOT, shared)) lines.push_back(shared);
    for (const std::string& path : OurKeys()) {
        if (!KeyExists(HKEY_CLASSES_ROOT, path)) continue;
        lines.push_back(path);
        for (const std::string& line : ReadTree(HKEY_CLASSES_ROOT, path))
            lines.push_back(line[0] == ':' ? path + line : path + "\\" + line);
    }
    return Sorted(std::move(lines));
}

void RemoveOurKeys() {
    for (const std::string& path : OurKeys()) RemoveTree(HKEY_CLASSES_ROOT, path);
}

void ServerKeysTest::SetUp() {
#ifndef _WIN32
    platform::registry_store::Reset();
    module_files::Reset();
#endif
    RemoveOurKeys();
    entriesBefore_ = OurEntries();
}

void ServerKeysTest::TearDown() { RemoveOurKeys(); }

}  // namespace registrar_test
