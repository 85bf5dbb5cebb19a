// Allocation failures on every road, made through the allocation seam: each
// ends with its documented status and text, leaves the pending result empty,
// leaks no string, and the next call answers normally.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "checking/pending_result.h"
#include "checking/raised_failure.h"
#include "platform/allocation.h"
#include "tests/checking/checking_support.h"

namespace checking_tests {
namespace {

using platform::allocation_seam::FailNth;
using platform::allocation_seam::LiveStrings;

class OutOfMemory : public ::testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kPackageKey);
        auto& versioned = registrations_.Machine(TestGuid(0xA0));
        versioned.InprocServer(fixtures::FixturePath(fixtures::kVersionedServer));
        registrations_.Machine(TestGuid(0xA1)).InprocServer(fixtures::FixturePath(fixtures::kUnversionedServer));
        registrations_.Machine(TestGuid(0xA2)).InprocServer(fixtures::FixturePath(fixtures::kEmptyVersionServer));
        auto& missing = registrations_.Machine(TestGuid(0xA3));
        missing.InprocHandler(fixtures::FixturePath(fixtures::kVersionedServer));
        missing.InprocServer("C:\\no\\such\\server.dll");
        registrations_.Machine(TestGuid(0xA4)).InprocHandler(fixtures::FixturePath(fixtures::kVersionedServer));
        registrations_.Machine(TestGuid(0xA5))
            .InprocServer(fixtures::FixturePath(fixtures::kVersionedServer), REG_EXPAND_SZ);
    }
    void TearDown() override {
        FailNth(0);
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kPackageKey);
    }

    Registrations registrations_;
};

const std::wstring kVersioned = Wide(TestGuid(0xA0));
const std::wstring kUnversioned = Wide(TestGuid(0xA1));
const std::wstring kEmptyVersion = Wide(TestGuid(0xA2));
const std::wstring kMissingFile = Wide(TestGuid(0xA3));
const std::wstring kNoServerKey = Wide(TestGuid(0xA4));
const std::wstring kExpandable = Wide(TestGuid(0xA5));
const std::wstring kUnregistered = Wide(TestGuid(0xAF));

using Call = std::function<Answer(HostedChecker&)>;
Call ControlVersion(const std::wstring& guid) {
    return [guid](HostedChecker& hosted) { return hosted.GetControlVersion(guid); };
}
Call IsValid(const std::wstring& guid, const std::wstring& version) {
    return [guid, version](HostedChecker& hosted) { return hosted.IsValidControl(guid, version); };
}
Call Package() {
    return [](HostedChecker& hosted) { return hosted.GetPackageVersion(); };
}

struct Road {
    const char* name;
    const wchar_t* page;  // null: no site at all
    Call call;
    unsigned failing;     // which allocation of the call fails (the page address copy is the first)
    Answer expected;      // with the failure
    Answer normal;        // without it
};

TEST_F(OutOfMemory, EveryRoadEndsAsDocumented) {
    const Answer none = NoText(E_OUTOFMEMORY);
    const Answer raised = NoText(E_FAIL);
    const Road roads[] = {
        {"page address copy", kAllowedPage, ControlVersion(kVersioned), 1, Text(L"ERR InvalidDomain"), Text(L"1.0.0.1")},
        {"domain answer", nullptr, ControlVersion(kVersioned), 1, none, Text(L"ERR InvalidDomain")},
        {"parameters answer", kAllowedPage, ControlVersion(L"short"), 2, none, Text(L"ERR InvalidParameters")},
        {"InvalidGUID text", kAllowedPage, IsValid(L"{7E3A51C0-93B2-4C1D-A0E4-5F610000000G}", L"1"), 2, raised,
         Text(L"ERR InvalidGUID")},
        {"CLSIDNotRegistered text", kAllowedPage, ControlVersion(kUnregistered), 2, raised,
         Text(L"ERR CLSIDNotRegistered")},
        {"numbered text", kAllowedPage, ControlVersion(kNoServerKey), 2, Text(L"ERR MethodFailed"), Text(L"ERR 2")},
        {"data type text", kAllowedPage, IsValid(kExpandable, L"1.0.0.1"), 2, Text(L"ERR MethodFailed"),
         Text(L"ERR CannotProcessThisDataType")},
        {"FileNotFound line", kAllowedPage, ControlVersion(kMissingFile), 2, none, Text(L"ERR FileNotFound\n")},
        {"FileNotFound join", kAllowedPage, IsValid(kMissingFile, L"1"), 3, none, Text(L"ERR FileNotFound\n")},
        {"VersionNotSpecified line", kAllowedPage, ControlVersion(kUnversioned), 2, none,
         Text(L"VersionNotSpecified\n")},
        {"VersionNotSpecified join", kAllowedPage, ControlVersion(kUnversioned), 3, none,
         Text(L"VersionNotSpecified\n")},
        {"version resource buffer", kAllowedPage, ControlVersion(kVersioned), 2, none, Text(L"1.0.0.1")},
        {"version text", kAllowedPage, ControlVersion(kVersioned), 3, none, Text(L"1.0.0.1")},
        {"empty version text", kAllowedPage, ControlVersion(kEmptyVersion), 3, none, Text(L"")},
        {"isValidControl file read", kAllowedPage, IsValid(kVersioned, L"1.0.0.1"), 3, none, Text(L"true")},
        {"true", kAllowedPage, IsValid(kVersioned, L"1.0.0.1"), 4, Text(L"ERR Comparing\n"), Text(L"true")},
        {"false", kAllowedPage, IsValid(kVersioned, L"2.0.0.0"), 4, Text(L"ERR Comparing\n"), Text(L"false")},
        {"CompareVersionInvalid", kAllowedPage, IsValid(kVersioned, L"1234567890"), 4, none,
         Text(L"ERR CompareVersionInvalid")},
        {"AccessRegistry", kAllowedPage, Package(), 2, none, Text(L"ERR AccessRegistry")},
    };
    for (const Road& road : roads) {
        SCOPED_TRACE(road.name);
        HostedChecker checker(road.page != nullptr ? road.page : kAllowedPage);
        if (road.page == nullptr) checker.Checker().ReplaceSite(nullptr);

        const long live = LiveStrings();
        FailNth(road.failing);
        EXPECT_EQ(road.call(checker), road.expected);
        EXPECT_EQ(platform::allocation_seam::Pending(), 0u) << "the armed failure never came";
        FailNth(0);
        EXPECT_EQ(checker.Checker().PendingText(), nullptr);
        EXPECT_EQ(LiveStrings(), live);

        EXPECT_EQ(road.call(checker), road.normal);
        EXPECT_EQ(LiveStrings(), live);
    }
}

TEST_F(OutOfMemory, ThePackageVersionTextEndsTheCall) {
    fixtures::ScopedKey key(HKEY_LOCAL_MACHINE, kPackageKey);
    const DWORD version = 255;
    key.SetBytes("", "version", REG_DWORD, &version, sizeof(version));
    HostedChecker hosted;
    const long live = LiveStrings();
    FailNth(2);
    EXPECT_EQ(hosted.GetPackageVersion(), NoText(E_FAIL));
    FailNth(0);
    EXPECT_EQ(hosted.Checker().PendingText(), nullptr);
    EXPECT_EQ(LiveStrings(), live);
    EXPECT_EQ(hosted.GetPackageVersion(), Text(L"0x000000FF"));
    // Without the value the answer is a new string, which can't be made.
    ASSERT_EQ(RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kPackageKey, "version"), ERROR_SUCCESS);
    FailNth(2);
    EXPECT_EQ(hosted.GetPackageVersion(), NoText(E_OUTOFMEMORY));
    FailNth(0);
    EXPECT_EQ(LiveStrings(), live);
}

TEST_F(OutOfMemory, FailedInitialisationsAreUndone) {
    // The failure text of an uncreatable class is raised while the call's
    // apartment is up; it is taken down all the same.
    HostedChecker hosted;
    FailNth(2);
    EXPECT_EQ(hosted.GetControlVersion(kUnregistered), NoText(E_FAIL));
    FailNth(0);
    ASSERT_EQ(CoInitialize(nullptr), S_OK);  // a new initialisation: nothing was left behind
    CoUninitialize();
}

TEST(PendingResult, OperationsOnTheHeldText) {
    const long live = LiveStrings();
    {
        checking::PendingResult result;
        EXPECT_EQ(result.Peek(), nullptr);
        result.AppendNarrow("ERR FileNotFound\n");  // onto no text: exactly the text
        EXPECT_STREQ(result.Peek(), L"ERR FileNotFound\n");
        result.AppendNarrow("VersionNotSpecified\n");  // nothing in between
        EXPECT_STREQ(result.Peek(), L"ERR FileNotFound\nVersionNotSpecified\n");
        result.ReplaceNarrow("");  // a text of length zero, not null
        ASSERT_NE(result.Peek(), nullptr);
        EXPECT_EQ(SysStringLen(result.Peek()), 0u);
        const platform::OwnedString handed(result.HandOut());
        EXPECT_EQ(result.Peek(), nullptr);
        ASSERT_NE(handed.Get(), nullptr);
        EXPECT_EQ(handed.Length(), 0u);

        result.ReplaceWide(L"ERR MethodFailed");
        EXPECT_STREQ(result.Peek(), L"ERR MethodFailed");
        result.Discard();
        EXPECT_EQ(result.Peek(), nullptr);
        result.ReplaceNarrow("kept until the result goes");
    }
    EXPECT_EQ(LiveStrings(), live);
}

TEST(PendingResult, FailuresRaiseTheirStatus) {
    const long live = LiveStrings();
    {
        checking::PendingResult result;
        auto raisedBy = [&](unsigned failing, const std::function<void()>& operation) {
            FailNth(failing);
            try {
                operation();
            } catch (const checking::RaisedFailure& failure) {
                FailNth(0);
                return failure.Status();
            }
            FailNth(0);
            return S_OK;
        };
        result.ReplaceNarrow("before");
        EXPECT_EQ(raisedBy(1, [&] { result.ReplaceNarrow("new"); }), E_OUTOFMEMORY);
        EXPECT_EQ(result.Peek(), nullptr);  // replacing frees first
        result.ReplaceNarrow("before");
        EXPECT_EQ(raisedBy(1, [&] { result.ReplaceWide(L"new"); }), E_OUTOFMEMORY);
        EXPECT_EQ(result.Peek(), nullptr);
        result.ReplaceNarrow("before");
        EXPECT_EQ(raisedBy(1, [&] { result.AppendNarrow("tail"); }), E_OUTOFMEMORY);  // the tail's string
        EXPECT_STREQ(result.Peek(), L"before");
        EXPECT_EQ(raisedBy(2, [&] { result.AppendNarrow("tail"); }), E_OUTOFMEMORY);  // the join
        EXPECT_STREQ(result.Peek(), L"before");
    }
    EXPECT_EQ(LiveStrings(), live);
}

}  // namespace
}  // namespace checking_tests
