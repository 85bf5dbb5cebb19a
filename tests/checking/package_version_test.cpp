// The package version, read from the machine's registry as a 32-bit number.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "tests/checking/checking_support.h"

namespace checking_tests {
namespace {

class PackageVersion : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeA(HKEY_LOCAL_MACHINE, kPackageKey); }
    void TearDown() override { RegDeleteTreeA(HKEY_LOCAL_MACHINE, kPackageKey); }

    fixtures::ScopedKey& Seed() {
        key_ = std::make_unique<fixtures::ScopedKey>(HKEY_LOCAL_MACHINE, kPackageKey);
        return *key_;
    }

    std::unique_ptr<fixtures::ScopedKey> key_;
    HostedChecker hosted_;
};

TEST_F(PackageVersion, TheFourBytesOfTheValueWhateverItsType) {
    struct Case { DWORD type; std::vector<BYTE> data; const wchar_t* answer; };
    const Case cases[] = {
        {REG_DWORD, {0xFF, 0, 0, 0}, L"0x000000FF"},
        {REG_BINARY, {0xFF, 0, 0, 0}, L"0x000000FF"},              // the first byte is the lowest
        {REG_DWORD, {0xEF, 0xBE, 0xAD, 0xDE}, L"0xDEADBEEF"},
        {REG_SZ, {'a', 'b', 'c', 0}, L"0x00636261"},                // the terminator is the highest byte
        {REG_BINARY, {0x12, 0x34}, L"0x00003412"},                  // shorter data: the rest is zero
        {REG_SZ, {'a', 'b', 'c', 'd', 0}, L"ERR KeyNotPresent"},    // five bytes don't fit
        {REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}, L"ERR KeyNotPresent"},
    };
    for (const Case& c : cases) {
        Seed().SetBytes("", "version", c.type, c.data.data(), static_cast<DWORD>(c.data.size()));
        EXPECT_EQ(hosted_.GetPackageVersion(), Text(c.answer)) << c.answer;
        EXPECT_EQ(hosted_.GetPackageVersion(), Text(c.answer)) << "asked again";
    }
}

TEST_F(PackageVersion, WhichRegistryCallFailedDecidesTheText) {
    EXPECT_EQ(hosted_.GetPackageVersion(), Text(L"ERR AccessRegistry"));  // no key
    Seed();
    EXPECT_EQ(hosted_.GetPackageVersion(), Text(L"ERR KeyNotPresent"));  // key, no value
    const DWORD version = 0x01020304;
    key_->SetBytes("", "version", REG_DWORD, &version, sizeof(version));
    EXPECT_EQ(hosted_.GetPackageVersion(), Text(L"0x01020304"));
    // A change shows at the next call.
    const DWORD newer = 0x01020305;
    key_->SetBytes("", "version", REG_DWORD, &newer, sizeof(newer));
    EXPECT_EQ(hosted_.GetPackageVersion(), Text(L"0x01020305"));
    EXPECT_EQ(hosted_.Checker().PendingText(), nullptr);
}

TEST_F(PackageVersion, ForeignPagesGetOnlyTheDomainAnswer) {
    const DWORD version = 7;
    Seed().SetBytes("", "version", REG_DWORD, &version, sizeof(version));
    hosted_.Site().SetLocation(L"http://evil.example/");
    EXPECT_EQ(hosted_.GetPackageVersion(), Text(L"ERR InvalidDomain"));
}

}  // namespace
}  // namespace checking_tests
