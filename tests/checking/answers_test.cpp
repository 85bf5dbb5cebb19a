// Every answer of the three methods, through the methods themselves, against
// the fixture servers registered in the test prefix's registry.
#include <gtest/gtest.h>

#include <cwctype>
#include <string>
#include <utility>

#include "platform/allocation.h"
#include "tests/checking/checking_support.h"

namespace checking_tests {
namespace {

using fixtures::FixturePath;

const std::wstring kNotRegistered = Wide(TestGuid(0x01));  // a class nobody registers

class Answers : public ::testing::Test {
protected:
    // A class that can be created through its in-process handler (the
    // versioned server), so that its InProcServer32 entry can say anything.
    std::wstring HandledClass(int number) {
        const std::string guid = TestGuid(number);
        registrations_.Machine(guid).InprocHandler(FixturePath(fixtures::kVersionedServer));
        return Wide(guid);
    }
    std::wstring HandledClassWithServerPath(int number, const std::string& path, DWORD type = REG_SZ) {
        const std::string guid = TestGuid(number);
        auto& registration = registrations_.Machine(guid);
        registration.InprocHandler(FixturePath(fixtures::kVersionedServer));
        registration.InprocServer(path, type);
        return Wide(guid);
    }
    std::wstring ServerClass(int number, const char* server, DWORD type = REG_SZ) {
        const std::string guid = TestGuid(number);
        registrations_.Machine(guid).InprocServer(FixturePath(server), type);
        return Wide(guid);
    }

    Registrations registrations_;
    HostedChecker hosted_;
};

TEST_F(Answers, AnInstalledControlWithAVersion) {
    const std::wstring control = ServerClass(0x10, fixtures::kVersionedServer);
    EXPECT_EQ(hosted_.GetControlVersion(control), Text(L"1.0.0.1"));
    EXPECT_EQ(hosted_.IsValidControl(control, L"1.0.0.1"), Text(L"true"));
    EXPECT_EQ(hosted_.IsValidControl(control, L"1.0.0.10"), Text(L"false"));  // text, not numbers
    EXPECT_EQ(hosted_.IsValidControl(control, L"1.0.0.01"), Text(L"false"));
    EXPECT_EQ(hosted_.IsValidControl(control, L"7.7.7.7"), Text(L"false"));  // the product version isn't read
    EXPECT_EQ(hosted_.IsValidControl(control, L"1.0.0.1\0x"), Text(L"true"));  // read up to the first NUL
    // Nine characters are compared, ten are refused, but only once the file is read.
    EXPECT_EQ(hosted_.IsValidControl(control, L"123456789"), Text(L"false"));
    EXPECT_EQ(hosted_.IsValidControl(control, L"1234567890"), Text(L"ERR CompareVersionInvalid"));
    EXPECT_EQ(hosted_.Checker().FileVersion(), std::string("1.0.0.1"));
}

TEST_F(Answers, ArgumentsAreCheckedBeforeTheControl) {
    const std::wstring control = ServerClass(0x11, fixtures::kVersionedServer);
    const Answer invalid = Text(L"ERR InvalidParameters");
    for (const std::wstring& guid : {control.substr(0, 37), control + L"}", std::wstring()}) {
        EXPECT_EQ(hosted_.IsValidControl(guid, L"1.0.0.1"), invalid);
        EXPECT_EQ(hosted_.GetControlVersion(guid), invalid);
    }
    EXPECT_EQ(hosted_.IsValidControl(control, L""), invalid);
    EXPECT_EQ(hosted_.IsValidControl(L"{not a guid, but thirty-eight long!!!}", L""), invalid);

    ControlChecker& checker = hosted_.Checker();
    const Arg guid(control), null;
    EXPECT_EQ(Ask([&](BSTR* out) { return checker.isValidControl(guid, null, out); }), invalid);  // null version
    EXPECT_EQ(Ask([&](BSTR* out) { return checker.getControlVersion(null, out); }), invalid);      // null GUID
}

TEST_F(Answers, TextsThatAreNoClassIdentifier) {
    const Answer invalid = Text(L"ERR InvalidGUID");
    const std::wstring notHex = L"{7E3A51C0-93B2-4C1D-A0E4-5F610000000G}";
    ASSERT_EQ(notHex.size(), 38u);
    EXPECT_EQ(hosted_.IsValidControl(notHex, L"1.0.0.1"), invalid);
    EXPECT_EQ(hosted_.GetControlVersion(notHex), invalid);
    // An embedded NUL counts in the length but ends the text that is parsed.
    std::wstring cut = Wide(TestGuid(0x12));
    cut[20] = L'\0';
    EXPECT_EQ(hosted_.GetControlVersion(cut), invalid);
}

TEST_F(Answers, ClassesThatCantBeCreatedInProcessWithIDispatch) {
    const Answer notRegistered = Text(L"ERR CLSIDNotRegistered");
    const std::string localOnly = TestGuid(0x13);
    registrations_.Machine(localOnly).LocalServer("C:\\windows\\notepad.exe");
    const std::wstring noDispatch = ServerClass(0x14, fixtures::kNoDispatchServer);
    const std::wstring missingServer = ServerClass(0x15, "no-such-server.dll");

    for (const std::wstring& control : {kNotRegistered, Wide(localOnly), noDispatch}) {
        EXPECT_EQ(hosted_.IsValidControl(control, L"1.0.0.1"), notRegistered);
        EXPECT_EQ(hosted_.GetControlVersion(control), notRegistered);
        // Unregistered wins over a version that is too long.
        EXPECT_EQ(hosted_.IsValidControl(control, L"1234567890"), notRegistered);
    }
    EXPECT_EQ(hosted_.GetControlVersion(missingServer), notRegistered);
}

// A copy of the versioned server under a name that nothing else loads, so
// that whether its module is loaded shows whether the class was created.
class ServerCopy {
public:
    explicit ServerCopy(const char* name) {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        path_ = std::string(temp) + name;
        name_ = name;
        copied_ = CopyFileA(FixturePath(fixtures::kVersionedServer).c_str(), path_.c_str(), FALSE) != 0;
    }
    ~ServerCopy() { DeleteFileA(path_.c_str()); }
    ServerCopy(const ServerCopy&) = delete;
    ServerCopy& operator=(const ServerCopy&) = delete;
    const std::string& Path() const { return path_; }
    bool Copied() const { return copied_; }
    bool Loaded() const { return GetModuleHandleA(name_.c_str()) != nullptr; }

private:
    std::string path_, name_;
    bool copied_ = false;
};

TEST_F(Answers, ClassesDisabledForTheBrowserAreNeverCreated) {
    const ServerCopy server("tervagon_fixture_disabled.dll");
    ASSERT_TRUE(server.Copied());
    ASSERT_FALSE(server.Loaded());
    // The apartment outlives the calls, so a server that was loaded stays
    // loaded and shows here.
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    {
        const std::string guid = TestGuid(0x90);
        registrations_.Machine(guid).InprocServer(server.Path());
        // A class that is created as the disabled one.
        const std::string standIn = TestGuid(0x91);
        registrations_.Machine(standIn).Key().SetText("TreatAs", nullptr, guid);
        // The browser's own entry and the one that policy sets.
        fixtures::ScopedKey ordinary(HKEY_LOCAL_MACHINE,
                                     "SOFTWARE\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\" + guid);
        fixtures::ScopedKey policy(HKEY_LOCAL_MACHINE,
                                   "SOFTWARE\\Policies\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\" + guid);

        struct Entry { DWORD type; DWORD value; };  // REG_NONE: no entry
        struct Flags { const char* what; Entry ordinary; Entry policy; bool disabled; };
        const Entry none = {REG_NONE, 0};
        const Entry killBit = {REG_DWORD, 0x00000400};
        // The disabled ones first: until a class is created, nothing loads the server.
        const Flags flags[] = {
            {"the kill bit", killBit, none, true},
            {"the kill bit among others", {REG_DWORD, 0xFFFFFFFF}, none, true},
            {"the kill bit and one more", {REG_DWORD, 0x00000401}, none, true},
            {"the policy's kill bit alone", none, killBit, true},
            {"the policy's kill bit among others", none, {REG_DWORD, 0xFFFFFFFF}, true},
            {"both kill bits", killBit, killBit, true},
            {"the policy's kill bit over other bits", {REG_DWORD, 0x00000200}, killBit, true},
            {"the kill bit under a policy entry without it", killBit, {REG_DWORD, 0}, true},
            {"other bits", {REG_DWORD, 0x00000200}, none, false},
            {"other bits by policy", none, {REG_DWORD, 0x00000200}, false},
            {"no flags", {REG_DWORD, 0}, {REG_DWORD, 0}, false},
            {"not a DWORD", {REG_BINARY, 0x00000400}, none, false},
            {"not a DWORD by policy", none, {REG_BINARY, 0x00000400}, false},
        };
        const Answer notRegistered = Text(L"ERR CLSIDNotRegistered");
        std::wstring lowerCase = Wide(guid);
        for (wchar_t& c : lowerCase) c = static_cast<wchar_t>(towlower(c));
        for (const Flags& f : flags) {
            for (const auto& [key, entry] : {std::pair{&ordinary, f.ordinary}, std::pair{&policy, f.policy}}) {
                RegDeleteTreeA(HKEY_LOCAL_MACHINE, key->Path().c_str());
                if (entry.type != REG_NONE)
                    key->SetBytes("", "Compatibility Flags", entry.type, &entry.value, sizeof(entry.value));
            }
            if (f.disabled) {
                EXPECT_EQ(hosted_.IsValidControl(Wide(guid), L"1.0.0.1"), notRegistered) << f.what;
                EXPECT_EQ(hosted_.GetControlVersion(Wide(guid)), notRegistered) << f.what;
                EXPECT_EQ(hosted_.GetControlVersion(lowerCase), notRegistered) << f.what;
                // Made as the disabled class: disabled too. It has no server
                // path of its own, so once created it answers "ERR 2".
                EXPECT_EQ(hosted_.GetControlVersion(Wide(standIn)), notRegistered) << f.what;
                EXPECT_FALSE(server.Loaded()) << f.what;
            } else {
                EXPECT_EQ(hosted_.IsValidControl(Wide(guid), L"1.0.0.1"), Text(L"true")) << f.what;
                EXPECT_EQ(hosted_.GetControlVersion(Wide(guid)), Text(L"1.0.0.1")) << f.what;
                EXPECT_EQ(hosted_.GetControlVersion(Wide(standIn)), Text(L"ERR 2")) << f.what;
                EXPECT_TRUE(server.Loaded()) << f.what;
            }
        }
        // No entry at all, as on most machines: created as before.
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, ordinary.Path().c_str());
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, policy.Path().c_str());
        EXPECT_EQ(hosted_.GetControlVersion(Wide(guid)), Text(L"1.0.0.1"));
    }
    CoUninitialize();
}

TEST_F(Answers, RegistrationsThatCantBeReadFromTheMachine) {
    // No InProcServer32 key: the class is made by its handler.
    EXPECT_EQ(hosted_.GetControlVersion(HandledClass(0x20)), Text(L"ERR 2"));
    EXPECT_EQ(hosted_.IsValidControl(HandledClass(0x21), L"1.0.0.1"), Text(L"ERR 2"));

    // Registered for the current user only: creatable, but the machine's registry doesn't know it.
    const std::string userOnly = TestGuid(0x22);
    registrations_.CurrentUser(userOnly).InprocServer(FixturePath(fixtures::kVersionedServer));
    registrations_.RegisterInClassTable(userOnly, fixtures::kVersionedServer);
    EXPECT_EQ(hosted_.GetControlVersion(Wide(userOnly)), Text(L"ERR 2"));

    // A path with an environment reference is refused, not expanded.
    const std::wstring expandable = ServerClass(0x23, fixtures::kVersionedServer, REG_EXPAND_SZ);
    EXPECT_EQ(hosted_.GetControlVersion(expandable), Text(L"ERR CannotProcessThisDataType"));
    EXPECT_EQ(hosted_.IsValidControl(expandable, L"1.0.0.1"), Text(L"ERR CannotProcessThisDataType"));
}

TEST_F(Answers, ServerPathsAreTakenAsStored) {
    const Answer notFound = Text(L"ERR FileNotFound\n");
    const std::string versioned = FixturePath(fixtures::kVersionedServer);
    const std::wstring missing = HandledClassWithServerPath(0x30, "C:\\no\\such\\server.dll");
    const std::wstring quoted = HandledClassWithServerPath(0x31, "\"" + versioned + "\"");
    const std::wstring bareName = HandledClassWithServerPath(0x32, fixtures::kVersionedServer);
    const std::wstring withReference = HandledClassWithServerPath(0x33, "%SystemRoot%\\system32\\ole32.dll");
    for (const std::wstring& control : {missing, quoted, bareName, withReference}) {
        EXPECT_EQ(hosted_.GetControlVersion(control), notFound);
        EXPECT_EQ(hosted_.IsValidControl(control, L"1.0.0.1"), notFound);
        EXPECT_EQ(hosted_.IsValidControl(control, L"1234567890"), notFound);  // the file is looked at first
    }
}

TEST_F(Answers, FilesWithoutAReadableVersion) {
    char windows[MAX_PATH];
    ASSERT_NE(GetWindowsDirectoryA(windows, MAX_PATH), 0u);
    const std::wstring folder = HandledClassWithServerPath(0x40, windows);
    const std::wstring unversioned = ServerClass(0x41, fixtures::kUnversionedServer);
    for (const std::wstring& control : {folder, unversioned}) {
        EXPECT_EQ(hosted_.GetControlVersion(control), Text(L"VersionNotSpecified\n"));
        // The comparison replaces the notice: an expected version is never empty.
        EXPECT_EQ(hosted_.IsValidControl(control, L"1.0.0.1"), Text(L"false"));
    }
    // A version resource whose root block is empty: the text of length zero, not null.
    const std::wstring emptyBlock = ServerClass(0x42, fixtures::kEmptyVersionServer);
    EXPECT_EQ(hosted_.GetControlVersion(emptyBlock), Text(L""));
    EXPECT_EQ(hosted_.IsValidControl(emptyBlock, L"1.0.0.1"), Text(L"false"));
}

// A file at the end of a path of exactly `length` characters, copied from the
// versioned server.
class LongPath {
public:
    explicit LongPath(std::size_t length) {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        const std::string file = "\\v.dll";
        directory_ = std::string(temp) + std::string(length - std::string(temp).size() - file.size(), 'd');
        path_ = directory_ + file;
        CreateDirectoryA(directory_.c_str(), nullptr);
        copied_ = CopyFileA(FixturePath(fixtures::kVersionedServer).c_str(), path_.c_str(), FALSE) != 0;
    }
    ~LongPath() {
        DeleteFileA(path_.c_str());
        RemoveDirectoryA(directory_.c_str());
    }
    const std::string& Path() const { return path_; }
    bool Copied() const { return copied_; }

private:
    std::string directory_, path_;
    bool copied_ = false;
};

TEST_F(Answers, ServerPathsUpToTheBufferLimit) {
    const LongPath fits(259);  // 260 bytes with its terminator
    ASSERT_TRUE(fits.Copied());
    ASSERT_EQ(fits.Path().size(), 259u);
    EXPECT_EQ(hosted_.GetControlVersion(HandledClassWithServerPath(0x50, fits.Path())), Text(L"1.0.0.1"));
    EXPECT_EQ(hosted_.Checker().ModulePath(), fits.Path());

    const std::string tooLong(260, 'p');
    EXPECT_EQ(hosted_.GetControlVersion(HandledClassWithServerPath(0x51, tooLong)), Text(L"ERR 234"));

    // 260 characters stored without a terminator are refused too, not read past.
    const std::string guid = TestGuid(0x52);
    auto& registration = registrations_.Machine(guid);
    registration.InprocHandler(FixturePath(fixtures::kVersionedServer));
    registration.Key().SetWideBytes("InProcServer32", nullptr, REG_SZ, std::wstring(260, L'p'));
    EXPECT_EQ(hosted_.GetControlVersion(Wide(guid)), Text(L"ERR 234"));
}

TEST_F(Answers, TwoCallsNeverShareText) {
    const std::wstring installed = ServerClass(0x60, fixtures::kVersionedServer);
    const std::wstring missing = HandledClassWithServerPath(0x61, "C:\\no\\such\\server.dll");
    EXPECT_EQ(hosted_.IsValidControl(installed, L"1234567890"), Text(L"ERR CompareVersionInvalid"));
    EXPECT_EQ(hosted_.GetControlVersion(missing), Text(L"ERR FileNotFound\n"));
    EXPECT_EQ(hosted_.GetControlVersion(missing), Text(L"ERR FileNotFound\n"));
    EXPECT_EQ(hosted_.GetControlVersion(installed), Text(L"1.0.0.1"));
    // A version read earlier doesn't stand in for a file without one.
    const std::wstring unversioned = ServerClass(0x62, fixtures::kUnversionedServer);
    EXPECT_EQ(hosted_.IsValidControl(unversioned, L"1.0.0.1"), Text(L"false"));
    EXPECT_EQ(hosted_.Checker().PendingText(), nullptr);
}

TEST_F(Answers, TheOutParameterIsReleasedAndAlwaysWritten) {
    const long live = platform::allocation_seam::LiveStrings();
    ControlChecker& checker = hosted_.Checker();
    const Arg shortGuid(L"short"), null;
    EXPECT_EQ(Ask([&](BSTR* out) { return checker.getControlVersion(shortGuid, out); },
                  platform::AllocString(L"held by the caller")),
              Text(L"ERR InvalidParameters"));
    EXPECT_EQ(Ask([&](BSTR* out) { return checker.getPackageVersion(out); }, platform::AllocString(L"held again"))
                  .status,
              S_OK);
    ControlChecker siteless;
    EXPECT_EQ(Ask([&](BSTR* out) { return siteless.isValidControl(null, null, out); },
                  platform::AllocString(L"and again")),
              Text(L"ERR InvalidDomain"));
    // Each string held on entry was released: none is left alive.
    EXPECT_EQ(platform::allocation_seam::LiveStrings(), live);

    EXPECT_EQ(hosted_.Checker().isValidControl(Arg(), Arg(), nullptr), E_POINTER);
    EXPECT_EQ(hosted_.Checker().getControlVersion(Arg(), nullptr), E_POINTER);
    EXPECT_EQ(hosted_.Checker().getPackageVersion(nullptr), E_POINTER);
}

TEST_F(Answers, ApartmentCountIsLeftAsFound) {
    const std::wstring installed = ServerClass(0x70, fixtures::kVersionedServer);
    EXPECT_EQ(hosted_.GetControlVersion(installed), Text(L"1.0.0.1"));
    EXPECT_EQ(hosted_.GetControlVersion(kNotRegistered), Text(L"ERR CLSIDNotRegistered"));
    // Still uninitialised: the first initialisation here is a new one.
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    CoUninitialize();

    // A thread of the multithreaded apartment refuses the call's own
    // initialisation; its count must stay as its owner set it.
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    hosted_.GetControlVersion(kNotRegistered);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);  // still initialised
    CoUninitialize();
    CoUninitialize();
}

TEST_F(Answers, StepsReplaceOrAppendThePendingResult) {
    const long live = platform::allocation_seam::LiveStrings();
    {
        ControlChecker checker;
        // A key path that won't fit: the registry isn't asked.
        const std::string tooLong(222, 'g');
        EXPECT_EQ(checker.LookupModulePath(tooLong.c_str()), E_FAIL);
        ASSERT_NE(checker.PendingText(), nullptr);
        EXPECT_STREQ(checker.PendingText(), L"ERR 122");
        // The longest text that fits reaches the registry, which knows no such key.
        EXPECT_EQ(checker.LookupModulePath(std::string(221, 'g').c_str()), E_FAIL);
        EXPECT_STREQ(checker.PendingText(), L"ERR 2");

        // A successful lookup leaves the text as it was; a missing file appends
        // its line to it with nothing in between.
        const std::string missing = TestGuid(0x80);
        registrations_.Machine(missing).InprocServer("C:\\no\\such\\server.dll");
        EXPECT_EQ(checker.LookupModulePath(missing.c_str()), S_OK);
        EXPECT_STREQ(checker.ModulePath(), "C:\\no\\such\\server.dll");
        EXPECT_STREQ(checker.PendingText(), L"ERR 2");
        EXPECT_EQ(checker.ReadFileVersion(), E_FAIL);
        EXPECT_STREQ(checker.PendingText(), L"ERR 2ERR FileNotFound\n");

        // The comparison replaces whatever was there.
        EXPECT_EQ(checker.CompareVersion("1.0.0.1"), E_FAIL);
        EXPECT_STREQ(checker.PendingText(), L"false");
        // The checker frees what it still holds when it goes.
    }
    EXPECT_EQ(platform::allocation_seam::LiveStrings(), live);
}

}  // namespace
}  // namespace checking_tests
