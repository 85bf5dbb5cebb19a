#include "tests/bridge/bridge_support.h"

#include <gtest/gtest.h>

#include "platform/loaded_module.h"
#include "platform/registry_key.h"
#include "platform/win32.h"
#include "tests/wine_path.h"

namespace bridge_tests {
namespace {

constexpr wchar_t kPackageKey[] = L"SOFTWARE\\Talmoren Technical Support";
constexpr DWORD kPackageValue = 0x02010004;

using Entry = HRESULT(STDAPICALLTYPE*)();

HRESULT CallExport(HMODULE module, const char* name) {
    const auto entry = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return entry != nullptr ? entry() : E_UNEXPECTED;
}

class RegisteredServer final : public ::testing::Environment {
public:
    void SetUp() override {
        server_.Attach(LoadLibraryW(tests::WideWinePath(TERVAGON_DLL_PATH).c_str()));
        ASSERT_TRUE(server_) << "cannot load " << TERVAGON_DLL_PATH << ": error " << GetLastError();
        ASSERT_EQ(CallExport(server_.Get(), "DllRegisterServer"), S_OK);
        platform::RegistryKey key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kPackageKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                  key.Receive(), nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExW(key.Get(), L"version", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&kPackageValue),
                                 sizeof kPackageValue),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        if (server_) {
            EXPECT_EQ(CallExport(server_.Get(), "DllUnregisterServer"), S_OK);
        }
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, kPackageKey);
        server_.Reset();
    }

private:
    platform::LoadedModule server_;
};

}  // namespace

std::wstring BridgePath() { return tests::WideWinePath(TERVAGON_BRIDGE_PATH); }
std::wstring PageHostPath() { return tests::WideWinePath(TERVAGON_PAGEHOST_PATH); }
std::wstring AnswersScriptPath() { return tests::WideWinePath(TERVAGON_ANSWERS_SCRIPT); }

void RegisterServerForTheProgram() { ::testing::AddGlobalTestEnvironment(new RegisteredServer); }

std::string Request(const json& id, const std::string& page, const std::string& method,
                    const std::vector<std::string>& args) {
    return json{{"id", id}, {"page", page}, {"method", method}, {"args", args}}.dump();
}

bool StartHost(bridge_client::BridgeConnection& host, const std::vector<std::wstring>& arguments) {
    return host.Start(BridgePath(), arguments);
}

json Parsed(const std::optional<std::string>& message) {
    if (!message) return json();
    return json::parse(*message, nullptr, false);
}

json AnswerReply(const json& id, const std::string& answer) { return json{{"id", id}, {"answer", answer}}; }
json ErrorReply(const json& id, const std::string& error) { return json{{"id", id}, {"error", error}}; }

}  // namespace bridge_tests
