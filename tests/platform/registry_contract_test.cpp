// What the system relies on of the registry, run against the platform's real
// registry (under Wine, in a scratch key below HKCU\Software) and against the
// native stand-in: both builds must pass the same cases.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/registry_key.h"
#include "platform/win32.h"
#include "tests/registrar/registry_text.h"
#ifndef _WIN32
#include "platform/host/registry_store.h"
#include "tests/platform/registry_handles.h"
#endif

namespace {

constexpr const char* kScratch = "Software\\TervagonRegistryContract";
constexpr REGSAM kReadWrite = KEY_READ | KEY_WRITE;

struct Opened { LONG code; platform::RegistryKey key; };

Opened Open(HKEY parent, const std::string& path, REGSAM access = KEY_READ) {
    Opened result{0, platform::RegistryKey()};
    result.code = RegOpenKeyExA(parent, path.c_str(), 0, access, result.key.Receive());
    return result;
}

Opened Create(HKEY parent, const std::string& path, DWORD* disposition = nullptr, REGSAM access = kReadWrite) {
    Opened result{0, platform::RegistryKey()};
    result.code = RegCreateKeyExA(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                                  result.key.Receive(), disposition);
    return result;
}

LONG SetBytes(HKEY key, const char* name, DWORD type, const std::string& bytes) {
    return RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                          static_cast<DWORD>(bytes.size()));
}

LONG SetText(HKEY key, const char* name, const std::string& text) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1));
}

struct Queried { LONG code; DWORD type; DWORD size; std::string bytes; };

Queried Query(HKEY key, const char* name, DWORD capacity = 1024) {
    std::vector<BYTE> buffer(capacity + 1, 0xCC);
    Queried result{0, REG_NONE, capacity, {}};
    result.code = RegQueryValueExA(key, name, nullptr, &result.type, buffer.data(), &result.size);
    if (result.code == ERROR_SUCCESS) result.bytes.assign(buffer.begin(), buffer.begin() + result.size);
    return result;
}

// Every subkey's name; the listing must end only after the last one.
std::vector<std::string> SubkeyNames(HKEY key) {
    LONG ended = ERROR_SUCCESS;
    std::vector<std::string> names = registrar_test::SubkeyNames(key, &ended);
    EXPECT_EQ(ended, ERROR_NO_MORE_ITEMS);
    return names;
}

// Deletes a key and everything below it the way the registrar's unregistration
// does: always the first subkey, until there is none.
LONG DeleteTree(HKEY parent, const std::string& path) {
    Opened opened = Open(parent, path, kReadWrite);
    if (opened.code != ERROR_SUCCESS) return opened.code;
    for (;;) {
        char name[256];
        DWORD size = sizeof(name);
        const LONG code = RegEnumKeyExA(opened.key.Get(), 0, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (code == ERROR_NO_MORE_ITEMS) break;
        if (code != ERROR_SUCCESS) return code;
        const LONG deleted = DeleteTree(opened.key.Get(), name);
        if (deleted != ERROR_SUCCESS) return deleted;
    }
    opened.key.Close();
    return RegDeleteKeyA(parent, path.c_str());
}

DWORD SubkeyCount(HKEY key) {
    DWORD count = 0xFFFF;
    EXPECT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr),
              ERROR_SUCCESS);
    return count;
}

class RegistryContract : public ::testing::Test {
protected:
    void SetUp() override {
#ifndef _WIN32
        platform::registry_store::Reset();
#endif
        DeleteTree(HKEY_CURRENT_USER, kScratch);  // left over from an interrupted run
        Opened scratch = Create(HKEY_CURRENT_USER, kScratch);
        ASSERT_EQ(scratch.code, ERROR_SUCCESS);
        scratch_ = std::move(scratch.key);
    }
    void TearDown() override {
        scratch_.Close();
        EXPECT_EQ(DeleteTree(HKEY_CURRENT_USER, kScratch), ERROR_SUCCESS);
#ifndef _WIN32
        // Every handle a case opened must be closed again.
        EXPECT_EQ(registry_handles::OpenHandles(), 0u) << registry_handles::DescribeOpenHandles();
#endif
    }
    HKEY scratch() const { return scratch_.Get(); }

private:
    platform::RegistryKey scratch_;
};

TEST_F(RegistryContract, CreateReportsNewThenExistingAndMakesEveryLevel) {
    DWORD disposition = 0;
    Opened first = Create(scratch(), "Level1\\Level2\\Level3", &disposition);
    ASSERT_EQ(first.code, ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD{REG_CREATED_NEW_KEY});
    Opened again = Create(scratch(), "Level1\\Level2\\Level3", &disposition);
    ASSERT_EQ(again.code, ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD{REG_OPENED_EXISTING_KEY});
    EXPECT_EQ(Open(scratch(), "Level1\\Level2").code, ERROR_SUCCESS);
    EXPECT_EQ(Open(scratch(), "Level1").code, ERROR_SUCCESS);
    // A value written through one handle is read through another.
    ASSERT_EQ(SetText(first.key.Get(), "shared", "yes"), ERROR_SUCCESS);
    EXPECT_EQ(Query(again.key.Get(), "shared").bytes, std::string("yes", 4));
}

TEST_F(RegistryContract, OpeningWithoutSubkeyGivesAnotherHandleToTheSameKey) {
    Opened self = Open(scratch(), "");
    ASSERT_EQ(self.code, ERROR_SUCCESS);
    EXPECT_NE(self.key.Get(), scratch());
    ASSERT_EQ(SetText(scratch(), "v", "1"), ERROR_SUCCESS);
    EXPECT_EQ(Query(self.key.Get(), "v").code, ERROR_SUCCESS);
}

TEST_F(RegistryContract, AbsentKeysAndValuesAreFileNotFound) {
    ASSERT_EQ(Create(scratch(), "Present").code, ERROR_SUCCESS);
    Opened present = Open(scratch(), "Present", kReadWrite);
    ASSERT_EQ(present.code, ERROR_SUCCESS);
    struct Case { const char* what; LONG code; };
    const Case cases[] = {
        {"open absent key", Open(scratch(), "Absent").code},
        {"open below absent key", Open(scratch(), "Absent\\Deeper").code},
        {"open absent below present", Open(scratch(), "Present\\Absent").code},
        {"query absent value", Query(present.key.Get(), "absent").code},
        {"query unset default value", Query(present.key.Get(), nullptr).code},
        {"delete absent value", RegDeleteValueA(present.key.Get(), "absent")},
        {"delete absent key", RegDeleteKeyA(scratch(), "Absent")},
        {"delete below absent key", RegDeleteKeyA(scratch(), "Absent\\Deeper")},
    };
    for (const Case& c : cases) EXPECT_EQ(c.code, ERROR_FILE_NOT_FOUND) << c.what;
}

TEST_F(RegistryContract, ValuesComeBackWithTheirTypeAndExactBytes) {
    struct Case { const char* name; DWORD type; std::string bytes; };
    const Case cases[] = {
        {"text", REG_SZ, std::string("Apartment", 10)},
        {"expand", REG_EXPAND_SZ, std::string("%SystemRoot%\\x.dll", 19)},
        {"binary", REG_BINARY, std::string("\x01\x00\xFF\x7F", 4)},
        {"number", REG_DWORD, std::string("\x02\x00\x01\x00", 4)},
        {"list", REG_MULTI_SZ, std::string("one\0two\0\0", 9)},
        {"nothing", REG_BINARY, std::string()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(SetBytes(scratch(), c.name, c.type, c.bytes), ERROR_SUCCESS);
        const Queried read = Query(scratch(), c.name);
        EXPECT_EQ(read.code, ERROR_SUCCESS);
        EXPECT_EQ(read.type, c.type);
        EXPECT_EQ(read.size, c.bytes.size());
        EXPECT_EQ(read.bytes, c.bytes);
        // Size only, and existence only.
        DWORD size = 0;
        EXPECT_EQ(RegQueryValueExA(scratch(), c.name, nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
        EXPECT_EQ(size, c.bytes.size());
        DWORD type = REG_NONE;
        EXPECT_EQ(RegQueryValueExA(scratch(), c.name, nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
        EXPECT_EQ(type, c.type);
    }
}

TEST_F(RegistryContract, DataLongerThanTheBufferIsMoreDataWithTheSizeNeeded) {
    // The module path buffer holds 260 bytes: a 259-character path with its
    // terminator fits exactly, one more character does not.
    const std::string fits(259, 'p');
    const std::string tooLong(260, 'p');
    ASSERT_EQ(SetText(scratch(), "fits", fits), ERROR_SUCCESS);
    ASSERT_EQ(SetText(scratch(), "tooLong", tooLong), ERROR_SUCCESS);
    ASSERT_EQ(SetBytes(scratch(), "four", REG_BINARY, "abcd"), ERROR_SUCCESS);
    struct Case { const char* name; DWORD capacity; LONG code; DWORD size; };
    const Case cases[] = {
        {"fits", 260, ERROR_SUCCESS, 260},    {"tooLong", 260, ERROR_MORE_DATA, 261},
        {"four", 4, ERROR_SUCCESS, 4},         {"four", 3, ERROR_MORE_DATA, 4},
        {"four", 0, ERROR_MORE_DATA, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " into " + std::to_string(c.capacity));
        const Queried read = Query(scratch(), c.name, c.capacity);
        EXPECT_EQ(read.code, c.code);
        EXPECT_EQ(read.size, c.size);
    }
}

TEST_F(RegistryContract, TextStoredWithoutTerminatorIsReadAsStored) {
    // The byte after the counted ones is not a NUL, so nothing may take it for one.
    const char stored[] = "abcX";
    ASSERT_EQ(RegSetValueExA(scratch(), "bare", 0, REG_SZ, reinterpret_cast<const BYTE*>(stored), 3), ERROR_SUCCESS);
    const Queried exact = Query(scratch(), "bare", 3);
    EXPECT_EQ(exact.code, ERROR_SUCCESS);
    EXPECT_EQ(exact.type, DWORD{REG_SZ});
    EXPECT_EQ(exact.size, 3u);
    EXPECT_EQ(exact.bytes, "abc");
    const Queried roomy = Query(scratch(), "bare", 64);
    EXPECT_EQ(roomy.size, 3u);
    EXPECT_EQ(roomy.bytes, "abc");
}

TEST_F(RegistryContract, DefaultValueHasTheEmptyOrNullName) {
    Opened key = Create(scratch(), "WithDefault");
    ASSERT_EQ(key.code, ERROR_SUCCESS);
    ASSERT_EQ(SetText(key.key.Get(), nullptr, "ControlInstaller Class"), ERROR_SUCCESS);
    EXPECT_EQ(Query(key.key.Get(), "").bytes, std::string("ControlInstaller Class", 23));
    ASSERT_EQ(SetText(key.key.Get(), "", "replaced"), ERROR_SUCCESS);
    EXPECT_EQ(Query(key.key.Get(), nullptr).bytes, std::string("replaced", 9));
    // It is enumerated with the empty name, and is the key's only value.
    char name[16] = "x";
    DWORD nameSize = sizeof(name);
    EXPECT_EQ(RegEnumValueA(key.key.Get(), 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(nameSize, 0u);
    EXPECT_STREQ(name, "");
    nameSize = sizeof(name);
    EXPECT_EQ(RegEnumValueA(key.key.Get(), 1, name, &nameSize, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(RegDeleteValueA(key.key.Get(), nullptr), ERROR_SUCCESS);
    EXPECT_EQ(Query(key.key.Get(), "").code, ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryContract, SettingAgainReplacesDataAndType) {
    ASSERT_EQ(SetText(scratch(), "v", "text"), ERROR_SUCCESS);
    ASSERT_EQ(SetBytes(scratch(), "v", REG_DWORD, std::string("\x05\x00\x00\x00", 4)), ERROR_SUCCESS);
    const Queried read = Query(scratch(), "v");
    EXPECT_EQ(read.type, DWORD{REG_DWORD});
    EXPECT_EQ(read.bytes, std::string("\x05\x00\x00\x00", 4));
}

TEST_F(RegistryContract, NamesIgnoreCaseAndKeepTheirFirstSpelling) {
    ASSERT_EQ(Create(scratch(), "MixedCase").code, ERROR_SUCCESS);
    DWORD disposition = 0;
    ASSERT_EQ(Create(scratch(), "MIXEDCASE", &disposition).code, ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD{REG_OPENED_EXISTING_KEY});
    EXPECT_EQ(Open(scratch(), "mixedcase").code, ERROR_SUCCESS);
    EXPECT_EQ(SubkeyNames(scratch()), std::vector<std::string>{"MixedCase"});
    ASSERT_EQ(SetText(scratch(), "ThreadingModel", "Apartment"), ERROR_SUCCESS);
    EXPECT_EQ(Query(scratch(), "threadingmodel").code, ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(scratch(), "THREADINGMODEL"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(scratch(), "mixedCASE"), ERROR_SUCCESS);
    EXPECT_EQ(SubkeyCount(scratch()), 0u);
}

TEST_F(RegistryContract, KeyWithSubkeysIsNotDeleted) {
    ASSERT_EQ(Create(scratch(), "Parent\\Child").code, ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(scratch(), "Parent"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Open(scratch(), "Parent\\Child").code, ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(scratch(), "Parent\\Child"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(scratch(), "Parent"), ERROR_SUCCESS);
    EXPECT_EQ(Open(scratch(), "Parent").code, ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryContract, DeletingAnOpenKeyLeavesAHandleThatAnswersKeyDeleted) {
    Opened doomed = Create(scratch(), "Doomed");
    ASSERT_EQ(doomed.code, ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteKeyA(scratch(), "Doomed"), ERROR_SUCCESS);
    EXPECT_EQ(SetText(doomed.key.Get(), "late", "x"), ERROR_KEY_DELETED);
    EXPECT_EQ(Create(doomed.key.Get(), "Child").code, ERROR_KEY_DELETED);
    DWORD disposition = 0;
    EXPECT_EQ(Create(scratch(), "Doomed", &disposition).code, ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD{REG_CREATED_NEW_KEY});
    EXPECT_EQ(doomed.key.Close(), ERROR_SUCCESS);
}

TEST_F(RegistryContract, EnumerationListsEachSubkeyAndValueOnce) {
    const std::set<std::string> keys = {"Alpha", "beta", "Gamma", "Tervagon.ControlInstaller.1"};
    for (const std::string& name : keys) ASSERT_EQ(Create(scratch(), name).code, ERROR_SUCCESS);
    ASSERT_EQ(Create(scratch(), "Alpha\\NotDirect").code, ERROR_SUCCESS);
    const std::vector<std::string> listed = SubkeyNames(scratch());
    EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()), keys);
    EXPECT_EQ(listed.size(), keys.size());
    EXPECT_EQ(SubkeyCount(scratch()), keys.size());

    const std::set<std::string> values = {"", "AppID", "version"};
    for (const std::string& name : values) ASSERT_EQ(SetText(scratch(), name.c_str(), name), ERROR_SUCCESS);
    std::set<std::string> seen;
    for (DWORD index = 0;; ++index) {
        char name[64];
        DWORD nameSize = sizeof(name);
        BYTE data[64];
        DWORD dataSize = sizeof(data);
        DWORD type = REG_NONE;
        const LONG code = RegEnumValueA(scratch(), index, name, &nameSize, nullptr, &type, data, &dataSize);
        if (code == ERROR_NO_MORE_ITEMS) break;
        ASSERT_EQ(code, ERROR_SUCCESS);
        EXPECT_EQ(type, DWORD{REG_SZ});
        EXPECT_EQ(std::string(reinterpret_cast<char*>(data), dataSize), std::string(name, nameSize + 1));
        seen.emplace(name, nameSize);
    }
    EXPECT_EQ(seen, values);
    DWORD subkeys = 0, valueCount = 0, longestKey = 0;
    ASSERT_EQ(RegQueryInfoKeyA(scratch(), nullptr, nullptr, nullptr, &subkeys, &longestKey, nullptr, &valueCount,
                               nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subkeys, keys.size());
    EXPECT_EQ(valueCount, values.size());
    EXPECT_EQ(longestKey, std::string("Tervagon.ControlInstaller.1").size());
}

TEST_F(RegistryContract, EnumeratedNameNeedsRoomForItsTerminator) {
    ASSERT_EQ(Create(scratch(), "TenLetters").code, ERROR_SUCCESS);
    struct Case { DWORD capacity; LONG code; };
    const Case cases[] = {{4, ERROR_MORE_DATA}, {10, ERROR_MORE_DATA}, {11, ERROR_SUCCESS}, {256, ERROR_SUCCESS}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.capacity);
        char name[256];
        DWORD size = c.capacity;
        EXPECT_EQ(RegEnumKeyExA(scratch(), 0, name, &size, nullptr, nullptr, nullptr, nullptr), c.code);
        if (c.code == ERROR_SUCCESS) {
            EXPECT_EQ(size, 10u);
            EXPECT_STREQ(name, "TenLetters");
        }
    }
    char name[256];
    DWORD size = sizeof(name);
    EXPECT_EQ(RegEnumKeyExA(scratch(), 1, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
}

TEST_F(RegistryContract, KeyNamesOf255CharactersWork) {
    const std::string longest(255, 'k');
    Opened created = Create(scratch(), longest);
    ASSERT_EQ(created.code, ERROR_SUCCESS);
    ASSERT_EQ(Create(created.key.Get(), longest).code, ERROR_SUCCESS);  // and as a deeper level
    EXPECT_EQ(Open(created.key.Get(), longest).code, ERROR_SUCCESS);
    EXPECT_EQ(Open(scratch(), longest).code, ERROR_SUCCESS);
    // The enumeration buffer of 256 characters holds it with its terminator.
    EXPECT_EQ(SubkeyNames(scratch()), std::vector<std::string>{longest});
    DWORD longestKey = 0;
    ASSERT_EQ(RegQueryInfoKeyA(scratch(), nullptr, nullptr, nullptr, nullptr, &longestKey, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(longestKey, 255u);
    EXPECT_EQ(RegDeleteKeyA(created.key.Get(), longest.c_str()), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(scratch(), longest.c_str()), ERROR_SUCCESS);
}

TEST_F(RegistryContract, SubkeyPathsOfMoreThan260CharactersFailWhole) {
    // The narrow functions take a path of at most 260 characters, whatever its levels.
    const std::string top(129, 't');
    const std::string longest = top + "\\" + std::string(130, 'b');
    const std::string tooLong = top + "\\" + std::string(131, 'b');
    ASSERT_EQ(longest.size(), 260u);
    ASSERT_EQ(Create(scratch(), longest).code, ERROR_SUCCESS);
    EXPECT_EQ(Open(scratch(), longest).code, ERROR_SUCCESS);
    struct Case { const char* what; LONG code; };
    const Case cases[] = {
        {"create", Create(scratch(), tooLong).code},
        {"open", Open(scratch(), tooLong).code},
        {"delete", RegDeleteKeyA(scratch(), tooLong.c_str())},
    };
    for (const Case& c : cases) EXPECT_EQ(c.code, ERROR_MORE_DATA) << c.what;
    EXPECT_EQ(SubkeyCount(Open(scratch(), top).key.Get()), 1u);  // the refused creation made nothing
    EXPECT_EQ(RegDeleteKeyA(scratch(), longest.c_str()), ERROR_SUCCESS);
}

TEST_F(RegistryContract, RefusedAccessIsAnotherCode) {
    ASSERT_EQ(SetText(scratch(), "v", "1"), ERROR_SUCCESS);
    Opened readOnly = Open(HKEY_CURRENT_USER, kScratch, KEY_READ);
    Opened writeOnly = Open(HKEY_CURRENT_USER, kScratch, KEY_WRITE);
    ASSERT_EQ(readOnly.code, ERROR_SUCCESS);
    ASSERT_EQ(writeOnly.code, ERROR_SUCCESS);
    EXPECT_EQ(SetText(readOnly.key.Get(), "v", "2"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueA(readOnly.key.Get(), "v"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Query(writeOnly.key.Get(), "v").code, ERROR_ACCESS_DENIED);
    char name[256];
    DWORD size = sizeof(name);
    EXPECT_EQ(RegEnumKeyExA(writeOnly.key.Get(), 0, name, &size, nullptr, nullptr, nullptr, nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(Query(readOnly.key.Get(), "v").bytes, std::string("1", 2));  // unchanged
}

TEST_F(RegistryContract, HandlesAreClosedOnce) {
    Opened opened = Open(scratch(), "");
    ASSERT_EQ(opened.code, ERROR_SUCCESS);
    const HKEY raw = opened.key.Get();
    EXPECT_EQ(opened.key.Close(), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(raw), ERROR_INVALID_HANDLE);
    // Predefined roots are not handles a caller owns; closing one does no harm.
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
    EXPECT_EQ(Open(HKEY_CURRENT_USER, kScratch).code, ERROR_SUCCESS);
}

// Every road by which an owned key leaves its holder closes it exactly once;
// detaching hands it over still open.
TEST_F(RegistryContract, OwnedKeysAreClosedOnceOnEveryRoad) {
    struct Road {
        const char* name;
        void (*leave)(platform::RegistryKey& holder, platform::RegistryKey& other);
        LONG closeAfterwards;  // what closing the raw handle answers afterwards
    };
    const Road roads[] = {
        {"reset", [](platform::RegistryKey& holder, platform::RegistryKey&) { holder.Reset(); }, ERROR_INVALID_HANDLE},
        {"attach another", [](platform::RegistryKey& holder, platform::RegistryKey& other) { holder.Attach(other.Detach()); },
         ERROR_INVALID_HANDLE},
        {"receive again", [](platform::RegistryKey& holder, platform::RegistryKey&) { (void)holder.Receive(); }, ERROR_INVALID_HANDLE},
        {"moved over", [](platform::RegistryKey& holder, platform::RegistryKey& other) { holder = std::move(other); },
         ERROR_INVALID_HANDLE},
        {"close", [](platform::RegistryKey& holder, platform::RegistryKey&) { EXPECT_EQ(holder.Close(), ERROR_SUCCESS); },
         ERROR_INVALID_HANDLE},
        {"scope end", [](platform::RegistryKey& holder, platform::RegistryKey&) { platform::RegistryKey gone(holder.Detach()); },
         ERROR_INVALID_HANDLE},
        {"detach", [](platform::RegistryKey& holder, platform::RegistryKey&) { (void)holder.Detach(); }, ERROR_SUCCESS},
    };
    for (const Road& road : roads) {
        SCOPED_TRACE(road.name);
        Opened first = Open(scratch(), "");
        Opened second = Open(scratch(), "");
        ASSERT_EQ(first.code, ERROR_SUCCESS);
        ASSERT_EQ(second.code, ERROR_SUCCESS);
        const HKEY raw = first.key.Get();
        road.leave(first.key, second.key);
        EXPECT_NE(first.key.Get(), raw);
        EXPECT_EQ(RegCloseKey(raw), road.closeAfterwards);
    }
}

TEST_F(RegistryContract, OwnedKeysTellThePredefinedRootsFromOpenedHandles) {
    for (const HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS,
                            HKEY_CURRENT_CONFIG}) {
        EXPECT_TRUE(platform::RegistryKeyTraits::IsPredefined(root)) << root;
    }
    EXPECT_FALSE(platform::RegistryKeyTraits::IsPredefined(scratch()));
    EXPECT_FALSE(platform::RegistryKeyTraits::IsPredefined(nullptr));
    // A holder that was handed a root gives it back without closing it.
    platform::RegistryKey root(HKEY_CURRENT_USER);
    EXPECT_EQ(root.Close(), ERROR_SUCCESS);
    EXPECT_FALSE(root);
}

TEST_F(RegistryContract, PathsWithALeadingBackslashAreRefused) {
    ASSERT_EQ(Create(scratch(), "Key").code, ERROR_SUCCESS);
    EXPECT_EQ(Open(scratch(), "\\Key").code, ERROR_BAD_PATHNAME);
    EXPECT_EQ(Create(scratch(), "\\Key").code, ERROR_BAD_PATHNAME);
    EXPECT_EQ(Open(scratch(), "Key\\").code, ERROR_SUCCESS);  // a trailing one is ignored
}

TEST_F(RegistryContract, TreeDeletedFirstSubkeyFirstLeavesNothing) {
    for (const char* path : {"Tree\\A\\A1", "Tree\\A\\A2", "Tree\\B", "Tree\\C\\C1\\C11"})
        ASSERT_EQ(Create(scratch(), path).code, ERROR_SUCCESS);
    ASSERT_EQ(SubkeyCount(Open(scratch(), "Tree").key.Get()), 3u);
    EXPECT_EQ(DeleteTree(scratch(), "Tree"), ERROR_SUCCESS);
    EXPECT_EQ(Open(scratch(), "Tree").code, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(SubkeyCount(scratch()), 0u);
}

}  // namespace
