#include <gtest/gtest.h>

#include <vector>

#include "script_module.h"
#include "server_ids.h"

namespace registrar_test {
namespace {

std::wstring WidePath(const std::string& path) {
    const int count = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(count), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), count);
    wide.resize(static_cast<size_t>(count - 1));
    return wide;
}

// The DLL built beside the test program with the server's resources.
std::wstring SourceModule() {
    wchar_t program[1024];
    const DWORD length = GetModuleFileNameW(nullptr, program, 1024);
    std::wstring path(program, length);
    return path.substr(0, path.rfind(L'\\') + 1) + L"registrar_script_module.dll";
}

}  // namespace

std::string ModuleDirectory() { return "C:\\tervagon-registrar-tests"; }

ScriptModuleFile::ScriptModuleFile(const std::string& path) : path_(path) {
    // Every directory on the way, then the copy.
    for (size_t slash = path.find('\\', 3); slash != std::string::npos; slash = path.find('\\', slash + 1))
        CreateDirectoryW(WidePath(path.substr(0, slash)).c_str(), nullptr);
    const std::wstring wide = WidePath(path);
    if (!CopyFileW(SourceModule().c_str(), wide.c_str(), FALSE)) {
        ADD_FAILURE() << "cannot copy the script module to " << path << ": " << GetLastError();
        return;
    }
    handle_ = LoadLibraryW(wide.c_str());
    if (handle_ == nullptr) ADD_FAILURE() << "cannot load " << path << ": " << GetLastError();
}

ScriptModuleFile::~ScriptModuleFile() {
    if (handle_ != nullptr) FreeLibrary(handle_);
    DeleteFileW(WidePath(path_).c_str());
    for (size_t slash = path_.rfind('\\'); slash != std::string::npos && slash > 2; slash = path_.rfind('\\', slash - 1))
        RemoveDirectoryW(WidePath(path_.substr(0, slash)).c_str());
}

void GiveTheProgramTheScripts() {}  // linked with the server's resources

}  // namespace registrar_test
