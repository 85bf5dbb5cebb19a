// The export and import tables, the sections and symbols and the machine of the
// built DLLs, read from their files' bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "dll_under_test.h"
#include "pe_image.h"

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

class DllImage : public ::testing::TestWithParam<DllUnderTest> {
protected:
    void SetUp() override {
        ASSERT_DLL_PRESENT(GetParam());
        std::string error;
        auto read = ReadPeImage(FileBytes(GetParam()), &error);
        ASSERT_TRUE(read.has_value()) << error;
        image_ = std::move(*read);
    }
    PeImage image_;
};

TEST_P(DllImage, IsADllForItsMachine) {
    EXPECT_EQ(image_.machine, GetParam().machine);
    EXPECT_EQ(image_.optionalMagic, GetParam().optionalMagic);
    EXPECT_NE(image_.characteristics & 0x2000, 0) << "not marked as a DLL";
}

TEST_P(DllImage, ExportsExactlyTheFourEntryPointsByPlainName) {
    std::vector<std::string> names = image_.exportNames;
    std::sort(names.begin(), names.end());
    const std::vector<std::string> expected = {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                                               "DllUnregisterServer"};
    EXPECT_EQ(names, expected);
}

TEST_P(DllImage, NeedsNoMinGWRuntimeDll) {
    ASSERT_FALSE(image_.importedDlls.empty());
    bool kernel = false;
    for (const std::string& dll : image_.importedDlls) {
        const std::string name = Lower(dll);
        kernel = kernel || name == "kernel32.dll";
        for (const char* runtime : {"libgcc", "libstdc++", "libwinpthread", "mingwm10"})
            EXPECT_EQ(name.find(runtime), std::string::npos) << dll << " is a MinGW runtime DLL";
    }
    EXPECT_TRUE(kernel) << "the import table was not read (no KERNEL32.dll)";
}

// The built DLL is the one that ships: its symbols are in a file beside it, to which
// it keeps only the debug link.
TEST_P(DllImage, CarriesNoSymbolsAndNoDebuggingSections) {
    EXPECT_EQ(image_.symbolCount, 0u);
    ASSERT_FALSE(image_.sectionNames.empty());
    for (const std::string& name : image_.sectionNames)
        EXPECT_NE(name.rfind(".debug", 0), 0u) << name << " is a debugging section";
    EXPECT_NE(std::find(image_.sectionNames.begin(), image_.sectionNames.end(), ".gnu_debuglink"),
              image_.sectionNames.end());
    EXPECT_NE(std::find(image_.sectionNames.begin(), image_.sectionNames.end(), ".text"), image_.sectionNames.end());
}

INSTANTIATE_TEST_SUITE_P(Built, DllImage, ::testing::ValuesIn(kDllsUnderTest), PrintDll);

}  // namespace
