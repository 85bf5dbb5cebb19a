// The registry scripts, the project name and the version that each built DLL
// carries, read through the loader from the DLL opened as data.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "dll_under_test.h"
#include "platform/loaded_module.h"
#include "server_ids.h"

namespace {

struct Line {
    int depth;  // TABs before the text
    std::string text;
};

// A script as it is stored: TAB-indented lines, each ended by CR LF, the last too, no NUL.
std::string Script(std::initializer_list<Line> lines) {
    std::string text;
    for (const Line& line : lines) text += std::string(line.depth, '\t') + line.text + "\r\n";
    return text;
}

const std::string kClassGuid = TERVAGON_CLSID_TEXT;
const std::string kLibraryGuid = TERVAGON_LIBID_TEXT;

const std::string kAppIdScript = Script({
    {0, "HKCR"},
    {0, "{"},
    {1, "NoRemove AppID"},
    {1, "{"},
    {2, "'%APPID%' = s 'Tervagon'"},
    {2, "'Tervagon.DLL'"},
    {2, "{"},
    {3, "val AppID = s '%APPID%'"},
    {2, "}"},
    {1, "}"},
    {0, "}"},
});

const std::string kClassScript = Script({
    {0, "HKCR"},
    {0, "{"},
    {1, "Tervagon.ControlInstaller.1 = s 'ControlInstaller Class'"},
    {1, "{"},
    {2, "CLSID = s '" + kClassGuid + "'"},
    {1, "}"},
    {1, "Tervagon.ControlInstaller = s 'ControlInstaller Class'"},
    {1, "{"},
    {2, "CLSID = s '" + kClassGuid + "'"},
    {2, "CurVer = s 'Tervagon.ControlInstaller.1'"},
    {1, "}"},
    {1, "NoRemove CLSID"},
    {1, "{"},
    {2, "ForceRemove " + kClassGuid + " = s 'ControlInstaller Class'"},
    {2, "{"},
    {3, "ProgID = s 'Tervagon.ControlInstaller.1'"},
    {3, "VersionIndependentProgID = s 'Tervagon.ControlInstaller'"},
    {3, "ForceRemove 'Programmable'"},
    {3, "InprocServer32 = s '%MODULE%'"},
    {3, "{"},
    {4, "val ThreadingModel = s 'Apartment'"},
    {3, "}"},
    {3, "val AppID = s '%APPID%'"},
    {3, "'TypeLib' = s '" + kLibraryGuid + "'"},
    {2, "}"},
    {1, "}"},
    {0, "}"},
});

class DllResources : public ::testing::TestWithParam<DllUnderTest> {
protected:
    void SetUp() override {
        ASSERT_DLL_PRESENT(GetParam());
        module_.Attach(LoadLibraryExA(WindowsPath(GetParam()).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        ASSERT_TRUE(module_) << "error " << GetLastError();
    }
    std::string Resource(WORD id, const char* type) {
        const HRSRC found = FindResourceA(module_.Get(), MAKEINTRESOURCEA(id), type);
        if (found == nullptr) return "<no resource, error " + std::to_string(GetLastError()) + ">";
        const HGLOBAL loaded = LoadResource(module_.Get(), found);
        const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
        if (bytes == nullptr) return "<not loaded>";
        return std::string(static_cast<const char*>(bytes), SizeofResource(module_.Get(), found));
    }
    platform::LoadedModule module_;
};

TEST_P(DllResources, RegistryScriptsHoldExactlyTheListedText) {
    EXPECT_EQ(Resource(TERVAGON_RES_SCRIPT_APPID, "REGISTRY"), kAppIdScript);
    EXPECT_EQ(Resource(TERVAGON_RES_SCRIPT_CLASS, "REGISTRY"), kClassScript);
}

TEST_P(DllResources, TypeLibraryIsResourceOne) {
    const std::string library = Resource(TERVAGON_RES_TYPELIB, "TYPELIB");
    EXPECT_EQ(library.substr(0, 4), "MSFT");  // the binary type library format
}

TEST_P(DllResources, StringHundredIsTheProjectName) {
    char text[64] = {};
    EXPECT_EQ(LoadStringA(module_.Get(), TERVAGON_RES_PROJECT_NAME, text, sizeof(text)), 8);
    EXPECT_STREQ(text, "Tervagon");
}

std::string VersionString(const std::vector<BYTE>& block, const char* name) {
    void* value = nullptr;
    UINT length = 0;
    const std::string path = std::string("\\StringFileInfo\\040904b0\\") + name;
    if (!VerQueryValueA(block.data(), path.c_str(), &value, &length) || length == 0) return "<absent>";
    return std::string(static_cast<const char*>(value));
}

TEST_P(DllResources, FileAndProductVersionAreTheProjectVersion) {
    const std::string path = WindowsPath(GetParam());
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, TERVAGON_VERSION_MS);
    EXPECT_EQ(fixed->dwFileVersionLS, TERVAGON_VERSION_LS);
    EXPECT_EQ(fixed->dwProductVersionMS, TERVAGON_VERSION_MS);
    EXPECT_EQ(fixed->dwProductVersionLS, TERVAGON_VERSION_LS);
    EXPECT_EQ(VersionString(block, "FileVersion"), TERVAGON_VERSION_TEXT);
    EXPECT_EQ(VersionString(block, "ProductVersion"), TERVAGON_VERSION_TEXT);
}

INSTANTIATE_TEST_SUITE_P(Built, DllResources, ::testing::ValuesIn(kDllsUnderTest), PrintDll);

}  // namespace
