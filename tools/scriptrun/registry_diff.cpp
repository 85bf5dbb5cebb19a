#include "registry_diff.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <string_view>
#include <utility>
#include <vector>

namespace scriptrun {
namespace {

struct Value {
    std::string name;  // "@" or the quoted name, as listed
    std::string data;  // what follows the '='
};

using Listing = std::map<std::string, std::vector<Value>>;  // key line → its values

// The '=' that ends a value line's name: behind "@", or behind the closing
// quote of a quoted name (a quote inside it is escaped).
std::size_t NameEnd(std::string_view line) {
    if (line.empty() || line[0] != '"') return line.find('=');
    for (std::size_t i = 1; i < line.size(); ++i) {
        if (line[i] == '\\') {
            ++i;
        } else if (line[i] == '"') {
            return i + 1;
        }
    }
    return std::string_view::npos;
}

Listing Read(const std::string& text) {
    Listing listing;
    std::vector<Value>* current = nullptr;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string_view line(text.data() + start, end - start);
        start = end + 1;
        if (line.empty()) continue;
        if (line.front() == '[') {
            current = &listing[std::string(line)];
        } else if (current != nullptr) {
            const std::size_t cut = NameEnd(line);
            if (cut == std::string_view::npos || cut >= line.size()) continue;
            current->push_back({std::string(line.substr(0, cut)), std::string(line.substr(cut + 1))});
        }
    }
    return listing;
}

std::string Folded(std::string_view text) {
    std::string folded(text);
    for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return folded;
}

// Keys in the order of a listing: by path, a name at a time, without regard to case.
bool KeyBefore(const std::string& left, const std::string& right) {
    std::string_view l(left);
    std::string_view r(right);
    l.remove_prefix(1);  // '['
    r.remove_prefix(1);
    l.remove_suffix(1);  // ']'
    r.remove_suffix(1);
    while (!l.empty() && !r.empty()) {
        const std::size_t lc = std::min(l.find('\\'), l.size());
        const std::size_t rc = std::min(r.find('\\'), r.size());
        const std::string ln = Folded(l.substr(0, lc));
        const std::string rn = Folded(r.substr(0, rc));
        if (ln != rn) return ln < rn;
        l.remove_prefix(std::min(lc + 1, l.size()));
        r.remove_prefix(std::min(rc + 1, r.size()));
    }
    return l.empty() && !r.empty();
}

const Value* Find(const std::vector<Value>& values, const std::string& name) {
    for (const Value& value : values)
        if (Folded(value.name) == Folded(name)) return &value;
    return nullptr;
}

std::vector<std::string> SortedKeys(const Listing& old, const Listing& now) {
    std::vector<std::string> keys;
    for (const auto& [key, values] : old) keys.push_back(key);
    for (const auto& [key, values] : now)
        if (!old.contains(key)) keys.push_back(key);
    std::sort(keys.begin(), keys.end(), KeyBefore);
    return keys;
}

}  // namespace

std::string SortListing(const std::string& listing) {
    const Listing keys = Read(listing);
    std::string out;
    for (const std::string& key : SortedKeys(keys, {})) {
        out += key + "\n";
        for (const Value& value : keys.at(key)) out += value.name + "=" + value.data + "\n";
    }
    return out;
}

std::string DiffListings(const std::string& before, const std::string& after) {
    const Listing old = Read(before);
    const Listing now = Read(after);
    const std::vector<std::string> keys = SortedKeys(old, now);

    std::string out;
    for (const std::string& key : keys) {
        const auto was = old.find(key);
        const auto is = now.find(key);
        if (was == old.end() || is == now.end()) {
            const char mark = was == old.end() ? '+' : '-';
            const auto& values = was == old.end() ? is->second : was->second;
            out += mark + key + "\n";
            for (const Value& value : values) out += mark + value.name + "=" + value.data + "\n";
            continue;
        }
        std::string changes;
        for (const Value& value : was->second) {
            const Value* kept = Find(is->second, value.name);
            if (kept == nullptr) {
                changes += "-" + value.name + "=" + value.data + "\n";
            } else if (kept->data != value.data) {
                changes += "~" + kept->name + "=" + kept->data + " (was " + value.data + ")\n";
            }
        }
        for (const Value& value : is->second)
            if (Find(was->second, value.name) == nullptr) changes += "+" + value.name + "=" + value.data + "\n";
        if (!changes.empty()) out += " " + key + "\n" + changes;
    }
    return out;
}

}  // namespace scriptrun
