#include "registry_text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <stdexcept>

#include "platform/quoted_bytes.h"
#include "platform/registry_key.h"

namespace registrar_test {
namespace {

std::string ValueText(const std::string& name, DWORD type, const std::vector<BYTE>& data) {
    std::string out;
    platform::AppendValueText(out, name, type, data.data(), data.size());
    return out;
}

// The key at root\path, or an empty holder when it doesn't open (whatever a
// failed open left in its out-parameter is not a handle to close).
platform::RegistryKey OpenKey(HKEY root, const std::string& path, REGSAM access) {
    platform::RegistryKey key;
    if (RegOpenKeyExA(root, path.empty() ? nullptr : path.c_str(), 0, access, key.Receive()) != ERROR_SUCCESS)
        key.Detach();
    return key;
}

// Buffers reused across the whole walk: a registry read calls the registry
// tens of thousands of times on a full Wine prefix.
struct ReadBuffers {
    std::vector<char> name = std::vector<char>(16384);
    std::vector<BYTE> data = std::vector<BYTE>(4096);
};

void ReadKey(HKEY key, const std::string& shown, ReadBuffers& buffers, std::vector<std::string>& lines) {
    if (!shown.empty()) lines.push_back(shown);
    for (DWORD index = 0;; ++index) {
        DWORD nameSize = static_cast<DWORD>(buffers.name.size());
        DWORD dataSize = static_cast<DWORD>(buffers.data.size());
        DWORD type = 0;
        LONG status = RegEnumValueA(key, index, buffers.name.data(), &nameSize, nullptr, &type,
                                    buffers.data.data(), &dataSize);
        if (status == ERROR_MORE_DATA) {
            buffers.data.resize(dataSize);
            nameSize = static_cast<DWORD>(buffers.name.size());
            status = RegEnumValueA(key, index, buffers.name.data(), &nameSize, nullptr, &type,
                                   buffers.data.data(), &dataSize);
        }
        if (status != ERROR_SUCCESS) break;
        const std::vector<BYTE> data(buffers.data.begin(), buffers.data.begin() + dataSize);
        lines.push_back(shown + ": " + ValueText(std::string(buffers.name.data(), nameSize), type, data));
    }
    for (const std::string& child : SubkeyNames(key)) {
        const platform::RegistryKey opened = OpenKey(key, child, KEY_READ);
        if (opened.Get() != nullptr)
            ReadKey(opened.Get(), shown.empty() ? child : shown + "\\" + child, buffers, lines);
    }
}

}  // namespace

std::vector<std::string> SubkeyNames(HKEY key, LONG* ended) {
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        char name[512];
        DWORD size = sizeof(name);
        const LONG code = RegEnumKeyExA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (code != ERROR_SUCCESS) {
            if (ended != nullptr) *ended = code;
            break;
        }
        names.emplace_back(name, size);
    }
    return names;
}

std::vector<std::string> Sorted(std::vector<std::string> lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::vector<std::string> ReadTree(HKEY root, const std::string& path) {
    std::vector<std::string> lines;
    const platform::RegistryKey key = OpenKey(root, path, KEY_READ);
    if (key.Get() == nullptr) return lines;
    ReadBuffers buffers;
    ReadKey(key.Get(), "", buffers, lines);
    return Sorted(std::move(lines));
}

std::vector<std::string> LinesAdded(const std::vector<std::string>& before,
                                    const std::vector<std::string>& after) {
    const std::multiset<std::string> old(before.begin(), before.end());
    std::vector<std::string> added;
    for (const std::string& line : after) {
        if (old.count(line) == 0) added.push_back(line);
    }
    return added;
}

bool KeyExists(HKEY root, const std::string& path) { return static_cast<bool>(OpenKey(root, path, KEY_READ)); }

void PutKey(HKEY root, const std::string& path) {
    platform::RegistryKey key;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr,
                        key.Receive(), nullptr) != ERROR_SUCCESS) {
        // The stand-in creates one level at a time, like the scripts do.
        const size_t slash = path.rfind('\\');
        if (slash == std::string::npos) throw std::runtime_error("cannot create key " + path);
        PutKey(root, path.substr(0, slash));
        if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                            nullptr, key.Receive(), nullptr) != ERROR_SUCCESS)
            throw std::runtime_error("cannot create key " + path);
    }
}

void PutText(HKEY root, const std::string& path, const char* valueName, const std::string& text) {
    PutKey(root, path);
    const platform::RegistryKey key = OpenKey(root, path, KEY_READ | KEY_WRITE);
    if (RegSetValueExA(key.Get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1)) != ERROR_SUCCESS)
        throw std::runtime_error("cannot set a value under " + path);
}

void RemoveTree(HKEY root, const std::string& path) {
    {
        const platform::RegistryKey key = OpenKey(root, path, KEY_READ | KEY_WRITE);
        if (key.Get() == nullptr) return;
        for (const std::string& child : SubkeyNames(key.Get())) RemoveTree(root, path + "\\" + child);
    }
    RegDeleteKeyA(root, path.c_str());
}

}  // namespace registrar_test
