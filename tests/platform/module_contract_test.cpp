// Module files and their resources as the registrar reads its scripts: the
// platform's loader (under Wine, on the test build's own DLL) and the stand-in
// (a module file put with the same resource) give the same answers and codes.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "platform/loaded_module.h"
#ifdef _WIN32
#include "platform/find_handle.h"
#endif
#include "platform/win32.h"
#include "tests/wine_path.h"
#ifndef _WIN32
#include "tests/platform/module_files.h"
#endif

namespace {

constexpr const char* kScriptStart = "HKCR\r\n{\r\n";

#ifdef _WIN32
// The DLL of this build, by its path as Wine sees it.
std::string ModulePath() { return tests::WinePath(TERVAGON_TEST_DLL); }
constexpr const char* kMissing = "Z:\\nonexistent-dir\\Missing.DLL";
#else
std::string ModulePath() { return "C:\\tervagon\\Tervagon.DLL"; }
constexpr const char* kMissing = "C:\\nonexistent-dir\\Missing.DLL";
#endif

class ModuleContract : public ::testing::Test {
protected:
    void SetUp() override {
#ifndef _WIN32
        module_files::Reset();
        module_files::PutFile(ModulePath(), {{"REGISTRY", 101, std::string(kScriptStart) + "}\r\n"},
                                                       {"REGISTRY", 102, std::string(kScriptStart) + "}\r\n"},
                                                       {"TYPELIB", 1, "MSFT"}});
#endif
    }
};

// A module loaded as data, freed when it goes.
platform::LoadedModule LoadAsData(const std::string& path) {
    return platform::LoadedModule(LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
}

TEST_F(ModuleContract, ScriptResourceIsFoundAndRead) {
    const platform::LoadedModule file = LoadAsData(ModulePath());
    ASSERT_NE(file.Get(), nullptr) << ModulePath() << " error " << GetLastError();
    for (const WORD id : {WORD{101}, WORD{102}}) {
        SetLastError(0);
        const HRSRC found = FindResourceA(file.Get(), MAKEINTRESOURCEA(id), "REGISTRY");
        ASSERT_NE(found, nullptr) << id;
        const HGLOBAL loaded = LoadResource(file.Get(), found);
        ASSERT_NE(loaded, nullptr);
        const DWORD size = SizeofResource(file.Get(), found);
        const auto* bytes = static_cast<const char*>(LockResource(loaded));
        ASSERT_NE(bytes, nullptr);
        ASSERT_GT(size, std::string(kScriptStart).size());
        EXPECT_EQ(std::string(bytes, std::string(kScriptStart).size()), kScriptStart);
        EXPECT_EQ(std::string(bytes + size - 3, 3), "}\r\n");  // the resource ends with its last line
    }
}

TEST_F(ModuleContract, NamesAndTypesAreNumbersOrCaseInsensitiveTexts) {
    const platform::LoadedModule file = LoadAsData(ModulePath());
    ASSERT_NE(file.Get(), nullptr);
    EXPECT_NE(FindResourceA(file.Get(), "#101", "registry"), nullptr);
    EXPECT_NE(FindResourceA(file.Get(), MAKEINTRESOURCEA(1), "TYPELIB"), nullptr);
}

TEST_F(ModuleContract, MissingResourcesSayWhatIsMissing) {
    const platform::LoadedModule file = LoadAsData(ModulePath());
    ASSERT_NE(file.Get(), nullptr);
    struct Case { const char* what; LPCSTR name; LPCSTR type; DWORD error; };
    const Case cases[] = {
        {"absent number", MAKEINTRESOURCEA(999), "REGISTRY", ERROR_RESOURCE_NAME_NOT_FOUND},
        {"number of another type", MAKEINTRESOURCEA(1), "REGISTRY", ERROR_RESOURCE_NAME_NOT_FOUND},
        {"absent type", MAKEINTRESOURCEA(101), "NOSUCHTYPE", ERROR_RESOURCE_TYPE_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_EQ(FindResourceA(file.Get(), c.name, c.type), nullptr) << c.what;
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
    const platform::LoadedModule file = LoadAsData(ModulePath());
    ASSERT_NE(file.Get(), nullptr);
    char path[MAX_PATH];
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameA(file.Get(), path, MAX_PATH), 0u);
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

// A module owned by a holder stays loaded while some holder has it, also
// after a move, and is released when the last one goes.
TEST_F(ModuleContract, AnOwnedModuleIsReleasedWhenItsHolderGoes) {
    const std::string path = ModulePath();
    {
        platform::LoadedModule module(LoadLibraryExA(path.c_str(), nullptr, 0));
        ASSERT_TRUE(module) << path << " error " << GetLastError();
        EXPECT_EQ(GetModuleHandleA(path.c_str()), module.Get());
        platform::LoadedModule moved(std::move(module));
        EXPECT_FALSE(module);
        EXPECT_EQ(GetModuleHandleA(path.c_str()), moved.Get());
    }
    EXPECT_EQ(GetModuleHandleA(path.c_str()), nullptr);
}

#ifdef _WIN32
// A search that found nothing answers the empty value of a find handle, so
// its holder holds nothing and closes nothing.
TEST_F(ModuleContract, AFileSearchIsHeldOnlyWhenItFoundSomething) {
    WIN32_FIND_DATAA found{};
    const platform::FindHandle missing(FindFirstFileA(kMissing, &found));
    EXPECT_FALSE(missing);
    platform::FindHandle present(FindFirstFileA(ModulePath().c_str(), &found));
    ASSERT_TRUE(present) << "error " << GetLastError();
    EXPECT_STRCASEEQ(found.cFileName, "Tervagon.DLL");
    EXPECT_FALSE(FindNextFileA(present.Get(), &found));  // the one file
    present.Reset();
    EXPECT_FALSE(present);
}
#endif

}  // namespace
