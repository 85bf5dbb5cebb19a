// The DLLs whose contents are read back: the shipped PE32 one and, in the x86-64
// build, that build's own DLL. Each test suite here runs once for each.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "platform/win32.h"

struct DllUnderTest {
    const char* label;
    const char* hostPath;  // as the build names it (a Unix path under Wine)
    WORD machine;
    WORD optionalMagic;
    SYSKIND syskind;
    unsigned pointerSize;
};

inline const DllUnderTest kDllsUnderTest[] = {
#ifdef _WIN64
    {"TestBuildX64", TERVAGON_TEST_DLL, 0x8664, 0x20B, SYS_WIN64, 8},
#endif
    {"ShippedPE32", TERVAGON_PE32_DLL, 0x014C, 0x10B, SYS_WIN32, 4},
};

inline std::string PrintDll(const ::testing::TestParamInfo<DllUnderTest>& info) { return info.param.label; }

// The path as a Windows program under Wine opens it: "/a/b" is "Z:\a\b".
inline std::string WindowsPath(const DllUnderTest& dll) {
    std::string path = dll.hostPath;
    if (!path.empty() && path.front() == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

inline std::wstring WideWindowsPath(const DllUnderTest& dll) {
    const std::string path = WindowsPath(dll);
    return std::wstring(path.begin(), path.end());
}

// The file's bytes; empty when it can't be read.
inline std::string FileBytes(const DllUnderTest& dll) {
    std::ifstream file(WindowsPath(dll), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Fails the case unless the DLL is there (the PE32 one comes from the win32 preset's build).
#define ASSERT_DLL_PRESENT(dll)                                                                   \
    ASSERT_FALSE(FileBytes(dll).empty()) << (dll).label << " not readable at " << WindowsPath(dll) \
                                         << " (build the win32 preset first; TERVAGON_PE32_DLL names it)"
