// Module files and their resources as the registrar reads its scripts: the
// platform's loader (under Wine, on the test build's own DLL) and the stand-in
// (a module file put with the same resource) give the same answers and codes.
#include <gtest/gtest.h>

#include <string>

#include "platform/win32.h"
#ifndef _WIN32
#include "platform/host/module_files.h"
#endif

namespace {

constexpr const char* kScriptStart = "HKCR\r\n{\r\n";

#ifdef _WIN32
// The DLL of this build, by its path as Wine sees it.
std::string ModulePath() {
    std::string path = TERVAGON_TEST_DLL;
    if (!path.empty() && path.front() == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}
constexpr const char* kMissing = "Z:\\nonexistent-dir\\Missing.DLL";
#else
std::string ModulePath() { return "C:\\tervagon\\Tervagon.DLL"; }
constexpr const char* kMissing = "C:\\nonexistent-dir\\Missing.DLL";
#endif

class ModuleContract : public ::testing::Test {
protected:
    void SetUp() override {
#ifndef _WIN32
        platform::module_files::Reset();
        platform::module_files::PutFile(ModulePath(), {{"REGISTRY", 101, std::string(kScriptStart) + "}\r\n"},
                                                       {"REGISTRY", 102, std::string(kScriptStart) + "}\r\n"},
                                                       {"TYPELIB", 1, "MSFT"}});
#endif
    }
};

// A module loaded as data, freed when it goes.
struct DataModule {
    HMODULE module;
    explicit DataModule(const std::string& path) : module(LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
    ~DataModule() {
        if (module != nullptr) FreeLibrary(module);
    }
};

TEST_F(ModuleContract, ScriptResourceIsFoundAndRead) {
    DataModule file(ModulePath());
    ASSERT_NE(file.module, nullptr) << ModulePath() << " error " << GetLastError();
    for (const WORD id : {WORD{101}, WORD{102}}) {
        SetLastError(0);
        const HRSRC found = FindResourceA(file.module, MAKEINTRESOURCEA(id), "REGISTRY");
        ASSERT_NE(found, nullptr) << id;
        const HGLOBAL loaded = LoadResource(file.module, found);
        ASSERT_NE(loaded, nullptr);
        const DWORD size = SizeofResource(file.module, found);
        const auto* bytes = static_cast<const char*>(LockResource(loaded));
        ASSERT_NE(bytes, nullptr);
        ASSERT_GT(size, std::string(kScriptStart).size());
        EXPECT_EQ(std::string(bytes, std::string(kScriptStart).size()), kScriptStart);
        EXPECT_EQ(std::string(bytes + size - 3, 3), "}\r\n");  // the resource ends with its last line
    }
}

TEST_F(ModuleContract, NamesAndTypesAreNumbersOrCaseInsensitiveTexts) {
    DataModule file(ModulePath());
    ASSERT_NE(file.module, nullptr);
    EXPECT_NE(FindResourceA(file.module, "#101", "registry"), nullptr);
    EXPECT_NE(FindResourceA(file.module, MAKEINTRESOURCEA(1), "TYPELIB"), nullptr);
}

TEST_F(ModuleContract, MissingResourcesSayWhatIsMissing) {
    DataModule file(ModulePath());
    ASSERT_NE(file.module, nullptr);
    struct Case {
        const char* what;
        LPCSTR name;
        LPCSTR type;
        DWORD error;
    };
    const Case cases[] = {
        {"absent number", MAKEINTRESOURCEA(999), "REGISTRY", ERROR_RESOURCE_NAME_NOT_FOUND},
        {"number of another type", MAKEINTRESOURCEA(1), "REGISTRY", ERROR_RESOURCE_NAME_NOT_FOUND},
        {"absent type", MAKEINTRESOURCEA(101), "NOSUCHTYPE", ERROR_RESOURCE_TYPE_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_EQ(FindResourceA(file.module, c.name, c.type), nullptr) << c.what;
        EXPECT_EQ(GetLastError(), c.error) << c.what;
    }
}

TEST_F(ModuleContract, MissingFileFailsWithTheLoadersCode) {
    SetLastError(0);
    EXPECT_EQ(LoadLibraryExA(kMissing, nullptr, LOAD_LIBRARY_AS_DATAFILE), nullptr);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_FILE_NOT_FOUND});
    SetLastError(0);
    EXPECT_EQ(LoadLibraryExA(kMissing, nullptr, 0), nullptr);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_MOD_NOT_FOUND});
}

TEST_F(ModuleContract, ModuleLoadedAsDataHasNoFileName) {
    DataModule file(ModulePath());
    ASSERT_NE(file.module, nullptr);
    char path[MAX_PATH];
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameA(file.module, path, MAX_PATH), 0u);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_MOD_NOT_FOUND});
}

TEST_F(ModuleContract, ProgramFileNameIsCutToTheCapacity) {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    ASSERT_GT(length, 8u);
    ASSERT_LT(length, DWORD{MAX_PATH});
    EXPECT_EQ(std::string(path).size(), length);
    char cut[8];
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameA(nullptr, cut, sizeof(cut)), DWORD{sizeof(cut)});
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INSUFFICIENT_BUFFER});
    EXPECT_EQ(std::string(cut, 7), std::string(path, 7));
}

TEST_F(ModuleContract, UnknownModuleNameIsNotFound) {
    SetLastError(0);
    EXPECT_EQ(GetModuleHandleA("tervagon-no-such-module.dll"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_MOD_NOT_FOUND});
    EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
}

}  // namespace
