// The stand-in registry's own promises beyond the shared contract: the classes
// view, the text form used to seed and inspect it, handle accounting, injected
// failures, and the places where it is as strict as Windows rather than Wine.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "platform/host/registry_store.h"
#include "platform/win32.h"
#include "tests/platform/registry_failures.h"
#include "tests/platform/registry_handles.h"
#include "tools/registry_dump/text_form.h"

namespace {

namespace store = platform::registry_store;
namespace listing = registry_dump;
namespace handles = registry_handles;

class RegistryStore : public ::testing::Test {
protected:
    void SetUp() override { store::Reset(); }
    void TearDown() override {
        EXPECT_EQ(handles::OpenHandles(), 0u) << handles::DescribeOpenHandles();
        store::Reset();
    }
};

HKEY CreateKey(HKEY parent, const char* path, LONG expected = ERROR_SUCCESS, REGSAM access = KEY_READ | KEY_WRITE) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(parent, path, 0, nullptr, 0, access, nullptr, &key, nullptr), expected) << path;
    return key;
}

TEST_F(RegistryStore, ClassesRootIsTheMachinesClassesKey) {
    HKEY written = CreateKey(HKEY_CLASSES_ROOT, "CLSID\\{X}\\InprocServer32");
    ASSERT_EQ(RegSetValueExA(written, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>("C:\\x.ocx"), 9),
              ERROR_SUCCESS);
    RegCloseKey(written);
    HKEY read = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\CLSID\\{X}\\InprocServer32", 0, KEY_READ, &read),
              ERROR_SUCCESS);
    char path[MAX_PATH];
    DWORD size = sizeof(path);
    EXPECT_EQ(RegQueryValueExA(read, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(path), &size), ERROR_SUCCESS);
    EXPECT_STREQ(path, "C:\\x.ocx");
    RegCloseKey(read);
    EXPECT_EQ(listing::Dump(),
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID]\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{X}]\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{X}\\InprocServer32]\n"
              "@=sz:\"C:\\\\x.ocx\"\n");
    EXPECT_EQ(listing::Dump(HKEY_CLASSES_ROOT, "clsid\\{x}"),
              "[HKEY_CLASSES_ROOT\\CLSID\\{X}]\n"
              "[HKEY_CLASSES_ROOT\\CLSID\\{X}\\InprocServer32]\n"
              "@=sz:\"C:\\\\x.ocx\"\n");
    EXPECT_EQ(listing::Dump(HKEY_CLASSES_ROOT, "NoSuchKey"), "");
}

TEST_F(RegistryStore, FreshStoreDumpsAsNothingAndItsMachineKeysStay) {
    EXPECT_EQ(listing::Dump(), "");
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, ""), ERROR_ACCESS_DENIED);
    EXPECT_EQ(listing::Dump(), "");
}

// Seeded in any order and spelling; dumped sorted, in the one canonical form.
constexpr const char* kSeed =
    "; a comment, then a blank line\n"
    "\n"
    "[HKCU\\Software\\Zeta]\r\n"
    "[HKEY_CURRENT_USER\\Software\\Alpha]\n"
    "\"version\"=dword:00010002\n"
    "@=sz:\"quote \\\" backslash \\\\ byte \\xE9\"\n"
    "\"Bare\"=hex(1):61,62,63\n"
    "\"list\"=hex(7):61,00,62,00,00\n"
    "\"Empty\"=hex(3):\n"
    "[HKLM\\SOFTWARE\\Classes\\Tervagon.ControlInstaller]\n"
    "@=sz:\"ControlInstaller Class\"\n";

constexpr const char* kCanonical =
    "[HKEY_CURRENT_USER\\Software]\n"
    "[HKEY_CURRENT_USER\\Software\\Alpha]\n"
    "@=sz:\"quote \\\" backslash \\\\ byte \\xE9\"\n"
    "\"Bare\"=hex(1):61,62,63\n"
    "\"Empty\"=hex(3):\n"
    "\"list\"=hex(7):61,00,62,00,00\n"
    "\"version\"=dword:00010002\n"
    "[HKEY_CURRENT_USER\\Software\\Zeta]\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Tervagon.ControlInstaller]\n"
    "@=sz:\"ControlInstaller Class\"\n";

TEST_F(RegistryStore, SeedAndDumpShareOneTextForm) {
    std::string error;
    ASSERT_TRUE(listing::Seed(kSeed, &error)) << error;
    EXPECT_EQ(listing::Dump(), kCanonical);
    // What was seeded is what the registry functions read.
    HKEY alpha = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Alpha", 0, KEY_READ, &alpha), ERROR_SUCCESS);
    BYTE data[64];
    DWORD size = sizeof(data), type = 0;
    ASSERT_EQ(RegQueryValueExA(alpha, "Bare", nullptr, &type, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD{REG_SZ});
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), "abc");
    size = sizeof(data);
    ASSERT_EQ(RegQueryValueExA(alpha, "version", nullptr, &type, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD{REG_DWORD});
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), std::string("\x02\x00\x01\x00", 4));
    size = sizeof(data);
    ASSERT_EQ(RegQueryValueExA(alpha, "", nullptr, &type, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), std::string("quote \" backslash \\ byte \xE9", 27));
    RegCloseKey(alpha);
    // The dump seeds an identical store.
    const std::string dumped = listing::Dump();
    store::Reset();
    ASSERT_TRUE(listing::Seed(dumped, &error)) << error;
    EXPECT_EQ(listing::Dump(), dumped);
}

TEST_F(RegistryStore, MalformedSeedLinesAreReportedByNumber) {
    struct Case { const char* text; const char* line; };
    const Case cases[] = {
        {"\"v\"=sz:\"x\"\n", "line 1:"},
        {"[HKCU\\A]\n\"v\"=sz:\"unclosed\n", "line 2:"},
        {"[HKCU\\A\n", "line 1:"},
        {"[NOROOT\\A]\n", "line 1:"},
        {"[HKCU\\A\\\\B]\n", "line 1:"},
        {"[HKCU\\A]\n\"v\"=dword:123456789\n", "line 2:"},
        {"[HKCU\\A]\n\"v\"=hex(3):1,2\n", "line 2:"},
        {"[HKCU\\A]\n\"v\"=hex(3):01,,02\n", "line 2:"},
        {"[HKCU\\A]\n\"v\"=qword:1\n", "line 2:"},
        {"[HKCU\\A]\n\"v\"=sz:\"x\" trailing\n", "line 2:"},
        {"[HKCU\\A]\n\"v\"=sz:\"\\q\"\n", "line 2:"},
        // quoted key names
        {"[HKCU\\\"open]\n", "line 1:"},
        {"[HKCU\\\"a\"b]\n", "line 1:"},
        {"[HKCU\\\"a\\\\b\"]\n", "line 1:"},
        {"[HKCU\\\"\"]\n", "line 1:"},
        {"[HKCU\\A\\]\n", "line 1:"},
    };
    for (const Case& c : cases) {
        store::Reset();
        std::string error;
        EXPECT_FALSE(listing::Seed(c.text, &error)) << c.text;
        EXPECT_EQ(error.rfind(c.line, 0), 0u) << c.text << " -> " << error;
    }
    const std::string tooLong = "[HKCU\\" + std::string(256, 'k') + "]\n";
    EXPECT_FALSE(listing::Seed(tooLong));
}

TEST_F(RegistryStore, OpenHandlesAreCountedAndResetInvalidatesThem) {
    HKEY first = CreateKey(HKEY_CURRENT_USER, "Software\\A");
    HKEY second = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\A", 0, KEY_READ, &second), ERROR_SUCCESS);
    EXPECT_EQ(handles::OpenHandles(), 2u);
    EXPECT_NE(handles::DescribeOpenHandles().find("HKEY_CURRENT_USER\\Software\\A"), std::string::npos);
    EXPECT_EQ(RegCloseKey(first), ERROR_SUCCESS);
    EXPECT_EQ(handles::OpenHandles(), 1u);
    store::Reset();
    EXPECT_EQ(handles::OpenHandles(), 0u);
    EXPECT_EQ(RegCloseKey(second), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegSetValueExA(second, "v", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryStore, StricterThanWineWhereWindowsIs) {
    // Windows refuses key names over 255 characters; Wine takes them.
    const std::string tooLong(256, 'k');
    CreateKey(HKEY_CURRENT_USER, tooLong.c_str(), ERROR_INVALID_PARAMETER);
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, tooLong.c_str(), 0, KEY_READ, &key), ERROR_INVALID_PARAMETER);
    // Creating a subkey needs KEY_CREATE_SUB_KEY on the parent; opening an existing one does not.
    HKEY parent = CreateKey(HKEY_CURRENT_USER, "Software\\Parent");
    HKEY child = CreateKey(parent, "Existing");
    RegCloseKey(child);
    RegCloseKey(parent);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Parent", 0, KEY_READ, &parent), ERROR_SUCCESS);
    CreateKey(parent, "New\\Deeper", ERROR_ACCESS_DENIED);
    child = CreateKey(parent, "Existing");
    EXPECT_NE(child, nullptr);
    RegCloseKey(child);
    DWORD subkeys = 0;
    EXPECT_EQ(RegQueryInfoKeyA(parent, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subkeys, 1u);  // nothing was made by the refused creation
    RegCloseKey(parent);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Parent", 0, KEY_WRITE, &parent), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryInfoKeyA(parent, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr),
              ERROR_ACCESS_DENIED);
    RegCloseKey(parent);
}

TEST_F(RegistryStore, TextWithoutTerminatorGetsNoneAdded) {
    HKEY key = CreateKey(HKEY_CURRENT_USER, "Software\\Bare");
    ASSERT_EQ(RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>("abcX"), 3), ERROR_SUCCESS);
    BYTE data[8];
    std::memset(data, 0xCC, sizeof(data));
    DWORD size = sizeof(data);
    ASSERT_EQ(RegQueryValueExA(key, nullptr, nullptr, nullptr, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(data[3], 0xCC);  // a reader that needs a terminator must add its own
    RegCloseKey(key);
}

// A reset store forgets what was armed before it, also once a failure of
// another operation is armed afterwards.
TEST_F(RegistryStore, ResetDisarmsEveryInjectedFailure) {
    HKEY key = CreateKey(HKEY_CURRENT_USER, "Software\\Injected");
    registry_failures::FailNth(store::Operation::Open, 1, ERROR_ACCESS_DENIED);
    RegCloseKey(key);
    store::Reset();
    EXPECT_EQ(store::GetCallFilter(), nullptr);
    registry_failures::FailNth(store::Operation::SetValue, 5, ERROR_OUTOFMEMORY);
    key = CreateKey(HKEY_CURRENT_USER, "Software\\Injected");
    HKEY opened = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Injected", 0, KEY_READ, &opened), ERROR_SUCCESS);
    RegCloseKey(opened);
    RegCloseKey(key);
}

// A refusal armed with the success code still stops the call before its key.
TEST_F(RegistryStore, ARefusedCallNeverAnswersSuccess) {
    HKEY key = CreateKey(HKEY_CURRENT_USER, "Software\\Injected");
    registry_failures::FailNth(store::Operation::QueryValue, 1, ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(key, "absent", nullptr, nullptr, nullptr, nullptr), ERROR_INVALID_FUNCTION);
    EXPECT_EQ(RegQueryValueExA(key, "absent", nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
}

TEST_F(RegistryStore, InjectedFailureHitsTheChosenCallOnly) {
    HKEY key = CreateKey(HKEY_CURRENT_USER, "Software\\Injected");
    registry_failures::FailNth(store::Operation::SetValue, 2, ERROR_OUTOFMEMORY);
    const BYTE data[] = "x";
    EXPECT_EQ(RegSetValueExA(key, "first", 0, REG_SZ, data, 2), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, "second", 0, REG_SZ, data, 2), ERROR_OUTOFMEMORY);
    EXPECT_EQ(RegSetValueExA(key, "third", 0, REG_SZ, data, 2), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(key, "second", nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);

    registry_failures::FailNth(store::Operation::Create, 1, ERROR_ACCESS_DENIED);
    CreateKey(key, "Refused", ERROR_ACCESS_DENIED);
    HKEY absent = nullptr;
    EXPECT_EQ(RegOpenKeyExA(key, "Refused", 0, KEY_READ, &absent), ERROR_FILE_NOT_FOUND);

    registry_failures::FailNth(store::Operation::DeleteKey, 1, ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Injected"), ERROR_ACCESS_DENIED);

    registry_failures::FailNth(store::Operation::Close, 1, ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(handles::OpenHandles(), 1u);  // a failed close leaves the handle open
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

    registry_failures::FailNth(store::Operation::Open, 3, ERROR_ACCESS_DENIED);
    registry_failures::FailNth(store::Operation::Open, 0, 0);  // disarmed before it fires
    for (int i = 0; i < 3; ++i) {
        HKEY opened = nullptr;
        EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Injected", 0, KEY_READ, &opened), ERROR_SUCCESS);
        RegCloseKey(opened);
    }
}

// Writes through HKEY_CLASSES_ROOT are listed there by the as-written dump and
// where they live by the plain one; both seed back the same tree.
TEST_F(RegistryStore, AsWrittenDumpListsClassesWritesUnderTheRootUsed) {
    HKEY viaClasses = CreateKey(HKEY_CLASSES_ROOT, "Shared\\ViaClasses");
    HKEY viaMachine = CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\Shared");
    ASSERT_EQ(RegSetValueExA(viaMachine, "m", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(viaClasses, "c", 0, REG_SZ, reinterpret_cast<const BYTE*>("2"), 2), ERROR_SUCCESS);
    RegCloseKey(viaClasses);
    RegCloseKey(viaMachine);
    const char* const asWritten =
        "[HKEY_CLASSES_ROOT\\Shared]\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Shared]\n"
        "\"m\"=sz:\"1\"\n"
        "[HKEY_CLASSES_ROOT\\Shared\\ViaClasses]\n"
        "\"c\"=sz:\"2\"\n";
    EXPECT_EQ(listing::DumpAsWritten(), asWritten);
    EXPECT_EQ(listing::Dump(),
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Shared]\n"
              "\"m\"=sz:\"1\"\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Shared\\ViaClasses]\n"
              "\"c\"=sz:\"2\"\n");
    const std::string plain = listing::Dump();
    store::Reset();
    ASSERT_TRUE(listing::Seed(asWritten));
    EXPECT_EQ(listing::DumpAsWritten(), asWritten);
    EXPECT_EQ(listing::Dump(), plain);
}

// Everything in the store as read back through the registry functions, bytes
// as they are: independent of the text form, so a lossy form can't hide.
void ListKey(HKEY key, const std::string& path, std::string& out) {
    out += "key " + path + "\n";
    for (DWORD index = 0;; ++index) {
        char name[16384];
        DWORD nameSize = sizeof(name);
        DWORD type = 0;
        BYTE data[4096];
        DWORD dataSize = sizeof(data);
        if (RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS) break;
        out += "value " + std::string(name, nameSize) + "|" + std::to_string(type) + "|" +
               std::string(reinterpret_cast<char*>(data), dataSize) + "\n";
    }
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD nameSize = sizeof(name);
        if (RegEnumKeyExA(key, index, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        HKEY child = nullptr;
        ASSERT_EQ(RegOpenKeyExA(key, name, 0, KEY_READ, &child), ERROR_SUCCESS) << name;
        ListKey(child, path + "/" + std::string(name, nameSize), out);
        RegCloseKey(child);
    }
}

std::string ListStore() {
    std::string out;
    for (const HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS}) ListKey(root, "root", out);
    return out;
}

// Generated trees, names and data drawn from bytes that the text form must
// escape or that look like its syntax; a fixed seed keeps the run the same.
TEST_F(RegistryStore, EveryDumpSeedsBackToTheSameTree) {
    static const char kNameBytes[] = "aZ9 \"'[]=@;{}%x\\\r\n\t\x01\x7F\x80\xE9\xFF";
    const std::string nameBytes(kNameBytes, sizeof(kNameBytes) - 1);
    std::mt19937 random(13);
    auto pick = [&](std::size_t bound) { return static_cast<std::size_t>(random() % bound); };
    auto name = [&](bool forKey) {
        std::string text;
        const std::size_t length = 1 + pick(6);
        while (text.size() < length) {
            const char c = nameBytes[pick(nameBytes.size())];
            if (!(forKey && c == '\\')) text += c;
        }
        return text;
    };
    const HKEY roots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};
    for (int tree = 0; tree < 100; ++tree) {
        store::Reset();
        for (int key = 0; key < 12; ++key) {
            std::string path = name(true);
            for (std::size_t depth = pick(3); depth > 0; --depth) path += "\\" + name(true);
            HKEY opened = CreateKey(roots[pick(3)], path.c_str());
            ASSERT_NE(opened, nullptr);
            for (std::size_t count = pick(3); count > 0; --count) {
                std::string data = name(false);
                const DWORD types[] = {REG_SZ, REG_SZ, REG_DWORD, REG_BINARY, REG_MULTI_SZ, REG_EXPAND_SZ};
                const DWORD type = types[pick(6)];
                if (type == REG_SZ && pick(2) == 0) data += '\0';  // the plain text form
                if (type == REG_DWORD) data = std::string("\x01\x00\xFF\x7F", 4).substr(0, 1 + pick(4));
                const std::string valueName = pick(4) == 0 ? std::string() : name(false);
                ASSERT_EQ(RegSetValueExA(opened, valueName.c_str(), 0, type,
                                         reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size())),
                          ERROR_SUCCESS);
            }
            RegCloseKey(opened);
        }
        const std::string listed = ListStore();
        for (const bool asWritten : {false, true}) {
            const std::string dumped = asWritten ? listing::DumpAsWritten() : listing::Dump();
            store::Reset();
            std::string error;
            ASSERT_TRUE(listing::Seed(dumped, &error)) << error << "\n" << dumped;
            ASSERT_EQ(ListStore(), listed) << dumped;
            EXPECT_EQ(asWritten ? listing::DumpAsWritten() : listing::Dump(), dumped);
        }
    }
}


}  // namespace
