// Running script texts in tests: a registrar with the given variables, and a
// test key under HKEY_CURRENT_USER that every walk test works in and removes.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "platform/conversion.h"
#include "platform/win32.h"

namespace registrar_test {

constexpr const char* kTestKey = "TervagonRegistrarTest";

using Variables = std::vector<std::pair<std::string, std::string>>;

// ASCII or Latin-1 text as UTF-16.
platform::WideString Wide(const std::string& text);
std::string HresultText(HRESULT status);

// Runs the text with a fresh registrar holding the variables, in their order.
HRESULT RunText(const std::string& text, bool doRegister, const Variables& variables = {});

// The body placed in a block under HKEY_CURRENT_USER\TervagonRegistrarTest.
std::string InTestKey(const std::string& body);

// A value to seed: a key when valueName is null, else a REG_SZ value
// ("" is the default value).
struct SeedEntry {
    std::string path;
    const char* valueName;
    std::string text;
};

// Two sorted line lists compared by their differences, so that a failure
// names the lines rather than printing two registries.
::testing::AssertionResult SameLines(const std::vector<std::string>& actual,
                                     const std::vector<std::string>& expected);

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    static void Seed(const std::vector<SeedEntry>& entries);
    // The test key's tree (paths relative to it).
    static std::vector<std::string> TestTree();
};

}  // namespace registrar_test
