// A request from the browser, read and checked, or the reason it can't be
// served. Every byte of a message is the browser's, and what the page put into
// it is hostile: nothing is passed on before it was checked here.
//
//   {"id": ID, "page": "<page address>", "method": "<method>", "args": [TEXT, ...]}
//
// ID is a number or a string; the method one of the object's three, with as
// many arguments as it takes, each a string.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

namespace bridge {

enum class Method { IsValidControl, GetControlVersion, GetPackageVersion };

// The name a page calls the method by, and how many arguments it takes.
std::string_view MethodName(Method method);
std::size_t ArgumentCount(Method method);

// Longest id string echoed back (bytes), and longest argument (UTF-16 units,
// as the object counts them). Both are far above anything a page needs: the
// object's own limits are 38 and 9 characters.
constexpr std::size_t kMaxIdBytes = 1024;
constexpr std::size_t kMaxArgumentUnits = 4096;
// Requests are two levels deep; anything nested deeper is refused while it is read.
constexpr std::size_t kMaxNesting = 8;

struct Request {
    nlohmann::json id;          // a number or a string
    std::u16string page;        // the page address the browser reported
    Method method = Method::GetPackageVersion;
    std::vector<std::u16string> arguments;
};

struct Refusal {
    nlohmann::json id;          // null when the request had no usable id
    std::string error;          // what was wrong, in words
};

std::variant<Request, Refusal> ParseRequest(std::string_view message);

}  // namespace bridge
