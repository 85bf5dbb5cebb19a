// The stand-in's module files beyond the shared contract: what a load keeps,
// attached modules and their names, counted loads.
#include <gtest/gtest.h>

#include <string>

#include "platform/win32.h"
#include "tests/platform/module_files.h"

namespace {

namespace files = module_files;

constexpr const char* kPath = "C:\\Program Files\\Tervagon\\Tervagon.DLL";

class ModuleFiles : public ::testing::Test {
protected:
    void SetUp() override { files::Reset(); }
    void TearDown() override {
        EXPECT_EQ(files::LoadedModules(), 0u);
        files::Reset();
    }
};

std::string ReadResource(HMODULE module, WORD id, const char* type = "REGISTRY") {
    const HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (found == nullptr) return "<missing " + std::to_string(GetLastError()) + ">";
    const auto* bytes = static_cast<const char*>(LockResource(LoadResource(module, found)));
    return std::string(bytes, SizeofResource(module, found));
}

TEST_F(ModuleFiles, ALoadKeepsTheResourcesItWasLoadedWith) {
    files::PutFile(kPath, {{"REGISTRY", 101, "old"}});
    const HMODULE before = LoadLibraryExA(kPath, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(before, nullptr);
    files::PutFile(kPath, {{"REGISTRY", 101, "new text"}});
    const HMODULE after = LoadLibraryExA("c:\\program files\\tervagon\\TERVAGON.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(after, nullptr);
    EXPECT_NE(before, after);  // every data-file load is a mapping of its own
    EXPECT_EQ(ReadResource(before, 101), "old");
    EXPECT_EQ(ReadResource(after, 101), "new text");
    EXPECT_EQ(files::LoadedModules(), 2u);
    EXPECT_TRUE(FreeLibrary(before));
    EXPECT_TRUE(FreeLibrary(after));
    EXPECT_FALSE(FreeLibrary(after));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_HANDLE});
}

TEST_F(ModuleFiles, ResourcesAreFoundByNumberedTypeAndMayBeEmpty) {
    files::PutFile(kPath, {{"#10", 7, "raw"}, {"REGISTRY", 101, ""}});
    const HMODULE module = LoadLibraryExA(kPath, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(ReadResource(module, 7, MAKEINTRESOURCEA(10)), "raw");
    EXPECT_EQ(ReadResource(module, 7, "#10"), "raw");
    const HRSRC empty = FindResourceA(module, MAKEINTRESOURCEA(101), "REGISTRY");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(SizeofResource(module, empty), 0u);
    EXPECT_NE(LockResource(LoadResource(module, empty)), nullptr);
    FreeLibrary(module);
}

TEST_F(ModuleFiles, FileWithoutResourcesHasNoResourceData) {
    files::PutFile(kPath, {});
    const HMODULE module = LoadLibraryExA(kPath, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(ReadResource(module, 101), "<missing " + std::to_string(ERROR_RESOURCE_DATA_NOT_FOUND) + ">");
    FreeLibrary(module);
}

TEST_F(ModuleFiles, AttachedModuleIsTheRunningDll) {
    files::PutFile(kPath, {{"REGISTRY", 101, "script"}});
    const HMODULE dll = files::AttachModule(kPath);
    char path[MAX_PATH];
    ASSERT_EQ(GetModuleFileNameA(dll, path, MAX_PATH), std::string(kPath).size());
    EXPECT_STREQ(path, kPath);
    EXPECT_EQ(GetModuleHandleA("Tervagon.DLL"), dll);
    EXPECT_EQ(GetModuleHandleA("tervagon"), dll);
    EXPECT_EQ(GetModuleHandleA("c:\\PROGRAM FILES\\tervagon\\tervagon.dll"), dll);
    EXPECT_EQ(ReadResource(dll, 101), "script");
    files::PutFile(kPath, {{"REGISTRY", 101, "changed"}});
    EXPECT_EQ(ReadResource(dll, 101), "changed");  // resources of the file as it is now
    EXPECT_FALSE(FreeLibrary(dll));                // nobody loaded it
    files::DetachModule(dll);
    EXPECT_EQ(GetModuleFileNameA(dll, path, MAX_PATH), 0u);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_MOD_NOT_FOUND});
}

TEST_F(ModuleFiles, LongModulePathIsCutAndReportedAsFull) {
    const std::string deep = "C:\\" + std::string(300, 'd') + "\\Tervagon.DLL";
    const HMODULE dll = files::AttachModule(kPath);
    ASSERT_TRUE(files::SetModuleFileName(dll, deep));
    char path[MAX_PATH];
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameA(dll, path, MAX_PATH), DWORD{MAX_PATH});
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INSUFFICIENT_BUFFER});
    EXPECT_EQ(std::string(path), deep.substr(0, MAX_PATH - 1));
    // An attached module whose file isn't there can't be loaded by its path.
    SetLastError(0);
    EXPECT_EQ(LoadLibraryExA(deep.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE), nullptr);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_FILE_NOT_FOUND});
    ASSERT_TRUE(files::SetModuleFileName(nullptr, "C:\\x\\host.exe"));
    ASSERT_EQ(GetModuleFileNameA(nullptr, path, MAX_PATH), 13u);
    EXPECT_STREQ(path, "C:\\x\\host.exe");
    EXPECT_FALSE(files::SetModuleFileName(reinterpret_cast<HMODULE>(0x1234), "x"));
}

TEST_F(ModuleFiles, OrdinaryLoadsShareOneCountedHandle) {
    files::PutFile(kPath, {{"REGISTRY", 101, "script"}});
    const HMODULE first = LoadLibraryExA(kPath, nullptr, 0);
    const HMODULE second = LoadLibraryExA(kPath, nullptr, 0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(files::LoadedModules(), 1u);
    char path[MAX_PATH];
    EXPECT_EQ(GetModuleFileNameA(first, path, MAX_PATH), std::string(kPath).size());
    EXPECT_EQ(GetModuleHandleA("Tervagon.DLL"), first);
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_EQ(files::LoadedModules(), 1u);
    EXPECT_TRUE(FreeLibrary(second));
    EXPECT_EQ(files::LoadedModules(), 0u);
    EXPECT_EQ(GetModuleHandleA("Tervagon.DLL"), nullptr);
}

}  // namespace
