#include "script_run.h"

#include <cstdio>

#include "registrar/script_parser.h"
#include "registrar/script_registrar.h"
#include "registry_text.h"

#ifndef _WIN32
#include "platform/host/registry_store.h"
#include "tests/platform/registry_handles.h"
#endif

namespace registrar_test {

platform::WideString Wide(const std::string& text) {
    platform::WideString wide;
    for (const char c : text) wide.push_back(static_cast<OLECHAR>(static_cast<unsigned char>(c)));
    return wide;
}

std::string HresultText(HRESULT status) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08X", static_cast<unsigned>(status));
    return text;
}

HRESULT RunText(const std::string& text, bool doRegister, const Variables& variables) {
    registrar::ScriptRegistrar scriptRegistrar;
    for (const auto& [name, value] : variables) {
        const HRESULT added = scriptRegistrar.AddVariable(Wide(name).c_str(), Wide(value).c_str());
        EXPECT_EQ(added, S_OK) << name;
    }
    registrar::ScriptParser parser(scriptRegistrar);
    return parser.RunScript(text.c_str(), doRegister);
}

std::string InTestKey(const std::string& body) {
    return std::string("HKCU\r\n{\r\n\tNoRemove ") + kTestKey + "\r\n\t{\r\n" + body + "\r\n\t}\r\n}\r\n";
}

::testing::AssertionResult SameLines(const std::vector<std::string>& actual,
                                     const std::vector<std::string>& expected) {
    const std::vector<std::string> extra = LinesAdded(expected, actual);
    const std::vector<std::string> missing = LinesAdded(actual, expected);
    if (extra.empty() && missing.empty()) return ::testing::AssertionSuccess();
    ::testing::AssertionResult failure = ::testing::AssertionFailure();
    for (const std::string& line : extra) failure << "\n  unexpected: " << line;
    for (const std::string& line : missing) failure << "\n  missing:    " << line;
    return failure;
}

void RegistryTest::SetUp() {
#ifndef _WIN32
    platform::registry_store::Reset();
#endif
    RemoveTree(HKEY_CURRENT_USER, kTestKey);
}

void RegistryTest::TearDown() {
#ifndef _WIN32
    // Every key the walk opened has been closed again, on every road.
    EXPECT_EQ(registry_handles::OpenHandles(), 0u) << registry_handles::DescribeOpenHandles();
#endif
    RemoveTree(HKEY_CURRENT_USER, kTestKey);
}

void RegistryTest::Seed(const std::vector<SeedEntry>& entries) {
    for (const SeedEntry& entry : entries) {
        const std::string path = std::string(kTestKey) + (entry.path.empty() ? "" : "\\" + entry.path);
        if (entry.valueName == nullptr) {
            PutKey(HKEY_CURRENT_USER, path);
        } else {
            PutText(HKEY_CURRENT_USER, path, entry.valueName, entry.text);
        }
    }
}

std::vector<std::string> RegistryTest::TestTree() { return ReadTree(HKEY_CURRENT_USER, kTestKey); }

}  // namespace registrar_test
