// The keys under HKEY_CLASSES_ROOT that the server's scripts write, read and
// removed by the tests that run those scripts.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace registrar_test {

// An application identifier that tests pass in place of the server's.
extern const std::string kOtherAppid;

// The keys that the scripts write, with everything below them, and the shared
// keys "AppID" and "CLSID" (without what they hold), as registry_text lines.
std::vector<std::string> OurEntries();
// Those keys, below HKEY_CLASSES_ROOT.
std::vector<std::string> OurKeys();

void RemoveOurKeys();

// A test that runs the server's scripts: it starts without their keys (and,
// natively, from an empty stand-in) and removes them again at its end.
class ServerKeysTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // OurEntries() before the test: "AppID" and "CLSID" where they exist already.
    std::vector<std::string> entriesBefore_;
};

}  // namespace registrar_test
