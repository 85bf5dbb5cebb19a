// Test support of the in-memory registry: reset, handle accounting, injected
// failures and the text form (dump and seed) described in registry_store.h.
#include "platform/host/registry_store.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/host/latin1.h"
#include "platform/host/registry_tree.h"
#include "platform/quoted_bytes.h"

namespace platform::registry_store {
namespace {

using host::RegistryKey;
using host::RegistryValue;
using Lock = std::lock_guard<std::recursive_mutex>;

// Text plus exactly one NUL, at the end.
bool IsPlainText(const RegistryValue& value) {
    if (value.type != REG_SZ || value.data.empty() || value.data.back() != 0) return false;
    return std::memchr(value.data.data(), 0, value.data.size() - 1) == nullptr;
}

void AppendValue(std::string& out, const RegistryValue& value) {
    if (value.name.empty()) {
        out += '@';
    } else {
        platform::AppendQuotedBytes(out, reinterpret_cast<const BYTE*>(value.name.data()), value.name.size());
    }
    out += '=';
    char text[32];
    if (IsPlainText(value)) {
        out += "sz:";
        platform::AppendQuotedBytes(out, value.data.data(), value.data.size() - 1);
    } else if (value.type == REG_DWORD && value.data.size() == 4) {
        const DWORD number = DWORD(value.data[0]) | DWORD(value.data[1]) << 8 | DWORD(value.data[2]) << 16 |
                             DWORD(value.data[3]) << 24;
        std::snprintf(text, sizeof(text), "dword:%08x", static_cast<unsigned>(number));
        out += text;
    } else {
        std::snprintf(text, sizeof(text), "hex(%x):", static_cast<unsigned>(value.type));
        out += text;
        for (std::size_t i = 0; i < value.data.size(); ++i) {
            std::snprintf(text, sizeof(text), i == 0 ? "%02x" : ",%02x", value.data[i]);
            out += text;
        }
    }
    out += '\n';
}

void DumpKey(const RegistryKey& key, const std::string& path, std::string& out) {
    // Roots and the machine's classes key always exist: they are implied.
    if (!key.permanent || !key.values.empty()) {
        out += '[';
        out += path;
        out += "]\n";
        for (const RegistryValue& value : key.values) AppendValue(out, value);
    }
    for (const auto& child : key.children) DumpKey(*child, path + "\\" + child->name, out);
}

// ---- reading the text form ----------------------------------------------------

struct Cursor {
    std::string_view line;
    std::size_t at = 0;
    bool Eat(std::string_view word) {
        if (line.substr(at, word.size()) != word) return false;
        at += word.size();
        return true;
    }
    bool Done() const { return at == line.size(); }
};

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::string> ReadQuoted(Cursor& cursor) {
    if (!cursor.Eat("\"")) return std::nullopt;
    std::string text;
    while (cursor.at < cursor.line.size()) {
        const char c = cursor.line[cursor.at++];
        if (c == '"') return text;
        if (c != '\\') {
            text += c;
            continue;
        }
        if (cursor.at >= cursor.line.size()) return std::nullopt;
        const char escaped = cursor.line[cursor.at++];
        if (escaped == '\\' || escaped == '"') {
            text += escaped;
        } else if (escaped == 'x' && cursor.at + 2 <= cursor.line.size() && HexDigit(cursor.line[cursor.at]) >= 0 &&
                   HexDigit(cursor.line[cursor.at + 1]) >= 0) {
            text += static_cast<char>(HexDigit(cursor.line[cursor.at]) * 16 + HexDigit(cursor.line[cursor.at + 1]));
            cursor.at += 2;
        } else {
            return std::nullopt;
        }
    }
    return std::nullopt;  // no closing quote
}

// Reads hex digits up to a character that isn't one; nullopt for fewer than
// minDigits or more than maxDigits.
std::optional<DWORD> ReadHexNumber(Cursor& cursor, std::size_t minDigits, std::size_t maxDigits) {
    DWORD number = 0;
    std::size_t digits = 0;
    while (cursor.at < cursor.line.size() && HexDigit(cursor.line[cursor.at]) >= 0) {
        number = number * 16 + static_cast<DWORD>(HexDigit(cursor.line[cursor.at++]));
        if (++digits > maxDigits) return std::nullopt;
    }
    if (digits < minDigits) return std::nullopt;
    return number;
}

std::optional<RegistryValue> ReadValue(Cursor& cursor) {
    RegistryValue value;
    if (!cursor.Eat("@")) {
        auto name = ReadQuoted(cursor);
        if (!name) return std::nullopt;
        value.name = std::move(*name);
    }
    if (!cursor.Eat("=")) return std::nullopt;
    if (cursor.Eat("sz:")) {
        auto text = ReadQuoted(cursor);
        if (!text) return std::nullopt;
        value.type = REG_SZ;
        value.data.assign(text->begin(), text->end());
        value.data.push_back(0);
    } else if (cursor.Eat("dword:")) {
        const auto number = ReadHexNumber(cursor, 1, 8);
        if (!number) return std::nullopt;
        value.type = REG_DWORD;
        for (int shift = 0; shift < 32; shift += 8) value.data.push_back(static_cast<BYTE>(*number >> shift));
    } else if (cursor.Eat("hex(")) {
        const auto type = ReadHexNumber(cursor, 1, 8);
        if (!type || !cursor.Eat("):")) return std::nullopt;
        value.type = *type;
        while (!cursor.Done()) {
            if (!value.data.empty() && !cursor.Eat(",")) return std::nullopt;
            const auto byte = ReadHexNumber(cursor, 2, 2);
            if (!byte) return std::nullopt;
            value.data.push_back(static_cast<BYTE>(*byte));
        }
    } else {
        return std::nullopt;
    }
    if (!cursor.Done()) return std::nullopt;
    return value;
}

int RootByName(std::string_view name) {
    static constexpr const char* kShort[host::kRootCount] = {"HKCR", "HKCU", "HKLM", "HKU", "HKPD", "HKCC", "HKDD"};
    for (std::size_t i = 0; i < host::kRootCount; ++i)
        if (host::EqualFolded(name, kShort[i]) || host::EqualFolded(name, host::RootName(static_cast<int>(i))))
            return static_cast<int>(i);
    return -1;
}

std::shared_ptr<RegistryKey> MakeKey(std::string_view path) {
    const std::size_t cut = path.find('\\');
    const int root = RootByName(path.substr(0, cut));
    if (root < 0) return nullptr;
    REGSAM access = 0;
    LONG code = 0;
    auto at = host::ResolveKey(reinterpret_cast<HKEY>(std::uintptr_t{0x80000000u} + root), &access, &code);
    if (cut == std::string_view::npos) return at;
    std::string_view rest = path.substr(cut + 1);
    while (true) {
        const std::size_t next = rest.find('\\');
        const std::string_view name = rest.substr(0, next);
        if (name.empty() || name.size() > host::kMaxKeyNameLength) return nullptr;
        auto child = at->Child(name);
        at = child ? child : at->AddChild(at, name);
        if (next == std::string_view::npos) return at;
        rest.remove_prefix(next + 1);
    }
}

}  // namespace

void Reset() {
    auto& state = host::Registry();
    Lock lock(state.lock);
    state.Clear();
}

std::size_t OpenHandles() {
    auto& state = host::Registry();
    Lock lock(state.lock);
    return state.handles.size();
}

std::string DescribeOpenHandles() {
    auto& state = host::Registry();
    Lock lock(state.lock);
    std::string out;
    char handle[32];
    for (const auto& [value, open] : state.handles) {
        std::snprintf(handle, sizeof(handle), "%#llx ", static_cast<unsigned long long>(value));
        out += handle;
        out += open.key->deleted ? "(deleted) " + open.key->name : host::KeyPath(*open.key);
        out += '\n';
    }
    return out;
}

std::string Dump() {
    auto& state = host::Registry();
    Lock lock(state.lock);
    std::string out;
    // HKEY_CLASSES_ROOT is a view of HKEY_LOCAL_MACHINE\SOFTWARE\Classes: shown there only.
    for (std::size_t i = 1; i < host::kRootCount; ++i) DumpKey(*state.roots[i], host::RootName(static_cast<int>(i)), out);
    return out;
}

std::string Dump(HKEY root, std::string_view path) {
    auto& state = host::Registry();
    Lock lock(state.lock);
    const int index = host::RootIndex(root);
    if (index < 0) return {};
    REGSAM access = 0;
    LONG code = 0;
    std::shared_ptr<RegistryKey> at = host::ResolveKey(root, &access, &code);
    std::string shown = host::RootName(index);
    while (!path.empty()) {
        const std::size_t cut = path.find('\\');
        at = at->Child(path.substr(0, cut));
        if (!at) return {};
        shown += "\\" + at->name;
        if (cut == std::string_view::npos) break;
        path.remove_prefix(cut + 1);
    }
    std::string out;
    DumpKey(*at, shown, out);
    return out;
}

bool Seed(std::string_view text, std::string* error) {
    auto& state = host::Registry();
    Lock lock(state.lock);
    std::shared_ptr<RegistryKey> current;
    unsigned number = 0;
    auto fail = [&](const char* why) {
        if (error != nullptr) *error = "line " + std::to_string(number) + ": " + why;
        return false;
    };
    while (!text.empty()) {
        ++number;
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            if (line.back() != ']') return fail("a key line ends with ']'");
            current = MakeKey(line.substr(1, line.size() - 2));
            if (!current) return fail("not a key path under a root (empty name, or a name over 255 characters)");
            continue;
        }
        if (!current) return fail("a value comes before any key");
        Cursor cursor{line};
        auto value = ReadValue(cursor);
        if (!value) return fail("not a value line: @= or \"name\"= then sz:\"...\", dword:n or hex(t):bytes");
        current->SetValue(value->name, value->type, std::move(value->data));
    }
    return true;
}

void FailNth(Operation operation, unsigned n, LONG code) {
    auto& state = host::Registry();
    Lock lock(state.lock);
    const auto slot = static_cast<std::size_t>(operation);
    state.failCountdown[slot] = n;
    state.failCode[slot] = code;
}

}  // namespace platform::registry_store
