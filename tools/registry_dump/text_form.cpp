// The text form described in text_form.h, over the stand-in's tree.
#include "tools/registry_dump/text_form.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/host/latin1.h"
#include "platform/host/registry_tree.h"
#include "platform/quoted_bytes.h"

namespace registry_dump {
namespace {

namespace host = platform::host;
using host::RegistryKey;
using host::RegistryValue;
using Lock = std::lock_guard<std::recursive_mutex>;

void AppendValue(std::string& out, const RegistryValue& value) {
    platform::AppendValueText(out, value.name, value.type, value.data.data(), value.data.size());
    out += '\n';
}

// A key name as it stands in a key line: as it is, unless the line could not
// give it back so (a byte outside printable ASCII, such as a line end, or a
// leading quote); then quoted like a value name.
std::string KeyLineName(const std::string& name) {
    bool plain = !name.empty() && name.front() != '"';
    for (const char c : name) plain = plain && c >= 0x20 && c <= 0x7E;
    if (plain) return name;
    std::string quoted;
    platform::AppendQuotedBytes(quoted, reinterpret_cast<const BYTE*>(name.data()), name.size());
    return quoted;
}

std::string SubkeyPath(const std::string& path, const std::string& name) { return path + "\\" + KeyLineName(name); }

void AppendKeyLine(std::string& out, const std::string& path) {
    out += '[';
    out += path;
    out += "]\n";
}

// classesPath is empty, or the key's path as named through HKEY_CLASSES_ROOT
// when keys and values are to be shown under the root they were written through.
void DumpKey(const RegistryKey& key, const std::string& path, const std::string& classesPath,
             const RegistryKey* classes, std::string& out) {
    if (classesPath.empty()) {
        // Roots and the machine's classes key always exist: they are implied.
        if (!key.permanent || !key.values.empty()) {
            AppendKeyLine(out, path);
            for (const RegistryValue& value : key.values) AppendValue(out, value);
        }
    } else {
        const bool through = key.throughClasses;
        bool own = false;
        bool other = false;
        for (const RegistryValue& value : key.values) (value.throughClasses == through ? own : other) = true;
        if (!key.permanent || own) {
            AppendKeyLine(out, through ? classesPath : path);
            for (const RegistryValue& value : key.values)
                if (value.throughClasses == through) AppendValue(out, value);
        }
        if (other) {
            AppendKeyLine(out, through ? path : classesPath);
            for (const RegistryValue& value : key.values)
                if (value.throughClasses != through) AppendValue(out, value);
        }
    }
    for (const auto& child : key.children) {
        std::string childClasses;
        if (!classesPath.empty()) {
            childClasses = SubkeyPath(classesPath, child->name);
        } else if (child.get() == classes) {
            childClasses = host::RootName(0);
        }
        DumpKey(*child, SubkeyPath(path, child->name), childClasses, classes, out);
    }
}

std::string DumpStore(bool asWritten) {
    Lock lock(host::RegistryLock());
    std::string out;
    // HKEY_CLASSES_ROOT is a view of HKEY_LOCAL_MACHINE\SOFTWARE\Classes: it is listed there.
    const std::shared_ptr<RegistryKey> classes = asWritten ? host::RootKey(0) : nullptr;
    for (int i = 1; i < static_cast<int>(host::kRootCount); ++i)
        DumpKey(*host::RootKey(i), host::RootName(i), {}, classes.get(), out);
    return out;
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

// The key of a key line's path, made where missing. A name is as it stands up
// to the next backslash, or quoted when it begins with a quote.
std::shared_ptr<RegistryKey> MakeKey(std::string_view path, bool* throughClasses) {
    const std::size_t cut = path.find('\\');
    const int root = RootByName(path.substr(0, cut));
    if (root < 0) return nullptr;
    *throughClasses = root == 0;
    auto at = host::RootKey(root);
    if (cut == std::string_view::npos) return at;
    std::string_view rest = path.substr(cut + 1);
    while (true) {
        std::string name;
        if (!rest.empty() && rest.front() == '"') {
            Cursor cursor{rest};
            auto quoted = ReadQuoted(cursor);
            if (!quoted || quoted->find('\\') != std::string::npos) return nullptr;
            name = std::move(*quoted);
            rest.remove_prefix(cursor.at);
            if (!rest.empty() && rest.front() != '\\') return nullptr;
        } else {
            name.assign(rest.substr(0, rest.find('\\')));
            rest.remove_prefix(name.size());
        }
        if (name.empty() || name.size() > host::kMaxKeyNameLength) return nullptr;
        auto child = at->Child(name);
        if (!child) {
            child = at->AddChild(at, name);
            child->throughClasses = *throughClasses;
        }
        at = std::move(child);
        if (rest.empty()) return at;
        rest.remove_prefix(1);  // the backslash
        if (rest.empty()) return nullptr;
    }
}

}  // namespace

std::string Dump() { return DumpStore(false); }

std::string DumpAsWritten() { return DumpStore(true); }

std::string Dump(HKEY root, std::string_view path) {
    Lock lock(host::RegistryLock());
    const int index = host::RootIndex(root);
    if (index < 0) return {};
    std::shared_ptr<RegistryKey> at = host::RootKey(index);
    std::string shown = host::RootName(index);
    while (!path.empty()) {
        const std::size_t cut = path.find('\\');
        at = at->Child(path.substr(0, cut));
        if (!at) return {};
        shown = SubkeyPath(shown, at->name);
        if (cut == std::string_view::npos) break;
        path.remove_prefix(cut + 1);
    }
    std::string out;
    DumpKey(*at, shown, {}, nullptr, out);
    return out;
}

bool Seed(std::string_view text, std::string* error) {
    Lock lock(host::RegistryLock());
    std::shared_ptr<RegistryKey> current;
    bool throughClasses = false;
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
            current = MakeKey(line.substr(1, line.size() - 2), &throughClasses);
            if (!current)
                return fail("not a key path under a root (an empty name, a name over 255 characters, or a "
                            "badly quoted name)");
            continue;
        }
        if (!current) return fail("a value comes before any key");
        Cursor cursor{line};
        auto value = ReadValue(cursor);
        if (!value) return fail("not a value line: @= or \"name\"= then sz:\"...\", dword:n or hex(t):bytes");
        current->SetValue(value->name, value->type, std::move(value->data), throughClasses);
    }
    return true;
}

}  // namespace registry_dump
