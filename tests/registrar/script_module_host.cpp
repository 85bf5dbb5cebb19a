#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "script_module.h"
#include "tests/platform/module_files.h"

namespace registrar_test {
namespace {

std::string ReadFile(const char* path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    if (!file) ADD_FAILURE() << "cannot read " << path;
    return bytes.str();
}

std::vector<module_files::Resource> ServerScripts() {
    return {{"REGISTRY", 101, ReadFile(TERVAGON_SCRIPT101)}, {"REGISTRY", 102, ReadFile(TERVAGON_SCRIPT102)}};
}

}  // namespace

std::string ModuleDirectory() { return "C:\\tervagon-registrar-tests"; }

ScriptModuleFile::ScriptModuleFile(const std::string& path) : path_(path) {
    module_files::PutFile(path, ServerScripts());
    handle_ = module_files::AttachModule(path);
}

ScriptModuleFile::~ScriptModuleFile() {
    module_files::DetachModule(handle_);
    module_files::RemoveFile(path_);
}

void GiveTheProgramTheScripts() {
    char program[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, program, MAX_PATH);
    module_files::PutFile(std::string(program, length), ServerScripts());
}

}  // namespace registrar_test
