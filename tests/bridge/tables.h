// The tables that the protocol's own test (natively) and the program's test
// (under Wine) both go through: requests the host refuses, and callers.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace bridge_tests {

// A message and the error the host replies with, under the id it could read.
struct RefusedRequest {
    const char* name;
    std::string message;
    nlohmann::json id;
    std::string error;
};

inline std::string WithArgument(const std::string& argument) {
    return R"({"id":4,"page":"https://support.talmoren.com/","method":"getControlVersion","args":[")" + argument +
           "\"]}";
}

inline const std::string kTail = R"(,"method":"getPackageVersion","args":[]})";
inline const std::string kMethods = "\"method\" must be isValidControl, getControlVersion or getPackageVersion";

inline const std::vector<RefusedRequest> kRefusedRequests = {
    {"zero length", "", nullptr, "the message is empty"},
    {"invalid UTF-8", "{\"id\":1,\"page\":\"\xFF\"}", nullptr, "the message is not valid UTF-8 (byte 16)"},
    {"an overlong NUL", "{\"id\":1,\"page\":\"\xC0\x80\"}", nullptr, "the message is not valid UTF-8 (byte 16)"},
    {"invalid JSON", "{\"id\":1,\"page\"", nullptr, "the message is not valid JSON (byte 14)"},
    {"two documents", "{} {}", nullptr, "the message is not valid JSON (byte 3)"},
    {"not an object", R"(["getPackageVersion"])", nullptr, "the message is not a JSON object"},
    {"a string", "\"id\"", nullptr, "the message is not a JSON object"},
    {"nested half a million deep", std::string(500000, '[') + std::string(500000, ']'), nullptr,
     "the message nests deeper than 8 levels"},
    {"no id", R"({"page":"p")" + kTail, nullptr, "\"id\" is missing"},
    {"a null id", R"({"id":null,"page":"p")" + kTail, nullptr, "\"id\" must be a number or a string"},
    {"an array id", R"({"id":[1],"page":"p")" + kTail, nullptr, "\"id\" must be a number or a string"},
    {"a boolean id", R"({"id":true,"page":"p")" + kTail, nullptr, "\"id\" must be a number or a string"},
    {"an id of 1025 bytes", R"({"id":")" + std::string(1025, 'i') + R"(","page":"p")" + kTail, nullptr,
     "\"id\" is longer than 1024 bytes"},
    {"no page", R"({"id":"x")" + kTail, "x", "\"page\" is missing"},
    {"a null page", R"({"id":1,"page":null)" + kTail, 1, "\"page\" must be a string"},
    {"an array page", R"({"id":1,"page":["p"])" + kTail, 1, "\"page\" must be a string"},
    {"a page with a NUL", R"({"id":"n","page":"https://support.talmoren.com\u0000.evil.example/")" + kTail, "n",
     "\"page\" holds a NUL character: it is no page address"},
    {"a page with a lone high surrogate", R"({"id":1,"page":"\ud800")" + kTail, nullptr,
     "the message is not valid JSON (byte 22)"},
    {"a page with a lone low surrogate", R"({"id":1,"page":"https://support.talmoren.com/\udc00")" + kTail, nullptr,
     "the message is not valid JSON (byte 50)"},
    {"no method", R"({"id":1,"page":"p","args":[]})", 1, "\"method\" is missing"},
    {"a number method", R"({"id":1,"page":"p","method":3,"args":[]})", 1, kMethods},
    {"an unknown method", R"({"id":1,"page":"p","method":"DllRegisterServer","args":[]})", 1, kMethods},
    {"a method in another case", R"({"id":1,"page":"p","method":"GetPackageVersion","args":[]})", 1, kMethods},
    {"no args", R"({"id":1,"page":"p","method":"getPackageVersion"})", 1, "\"args\" is missing"},
    {"args not an array", R"({"id":1,"page":"p","method":"getControlVersion","args":"x"})", 1,
     "\"args\" must be an array"},
    {"too few args", R"({"id":2,"page":"p","method":"isValidControl","args":["x"]})", 2,
     "isValidControl takes 2 arguments, not 1"},
    {"too many args", R"({"id":2,"page":"p","method":"getControlVersion","args":["x","y"]})", 2,
     "getControlVersion takes 1 argument, not 2"},
    {"args to a method without", R"({"id":2,"page":"p","method":"getPackageVersion","args":[""]})", 2,
     "getPackageVersion takes 0 arguments, not 1"},
    {"a number argument", R"({"id":3,"page":"p","method":"isValidControl","args":["x",1001]})", 3,
     "argument 2 must be a string"},
    {"a null argument", R"({"id":3,"page":"p","method":"getControlVersion","args":[null]})", 3,
     "argument 1 must be a string"},
    {"an argument of 4097 characters", WithArgument(std::string(4097, '{')), 4,
     "argument 1 is longer than 4096 characters"},
    {"an argument of 100,000 characters", WithArgument(std::string(100000, '{')), 4,
     "argument 1 is longer than 4096 characters"},
    {"an argument with a lone surrogate", R"({"id":5,"page":"p","method":"getControlVersion","args":["\ud800"]})",
     nullptr, "the message is not valid JSON (byte 63)"},
};

// The command line a browser starts the host with, and what the host says
// when it refuses (empty: served). Only the build's own extension id and
// add-on id are served.
struct CallerCase {
    const char* name;
    std::vector<std::string> arguments;
    std::string problem;
};

inline const std::string kOwnOrigin = std::string("chrome-extension://") + TERVAGON_OWN_EXTENSION_ID + "/";
inline const std::string kOtherOrigin = "chrome-extension://aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa/";

inline const std::vector<CallerCase> kCallers = {
    {"Chromium, our extension", {kOwnOrigin}, ""},
    {"Chromium on Windows adds its window", {kOwnOrigin, "--parent-window=0"}, ""},
    {"Firefox, our add-on",
     {"C:\\Program Files\\Talmoren\\Tervagon\\com.talmoren.tervagon.firefox.json", "tervagon@talmoren.com"}, ""},
    {"nobody", {}, "no caller was named: the host is started by a browser, which names its extension"},
    {"another extension", {kOtherOrigin}, "the extension \"" + kOtherOrigin + "\" is not one this host serves"},
    {"our id without the slash", {kOwnOrigin.substr(0, kOwnOrigin.size() - 1)},
     "the extension \"" + kOwnOrigin.substr(0, kOwnOrigin.size() - 1) + "\" is not one this host serves"},
    {"our id with a path", {kOwnOrigin + "x/"}, "the extension \"" + kOwnOrigin + "x/\" is not one this host serves"},
    {"our id and more", {kOwnOrigin.substr(0, kOwnOrigin.size() - 1) + "x/"},
     "the extension \"" + kOwnOrigin.substr(0, kOwnOrigin.size() - 1) + "x/\" is not one this host serves"},
    {"another extension naming our add-on", {kOtherOrigin, "tervagon@talmoren.com"},
     "the extension \"" + kOtherOrigin + "\" is not one this host serves"},
    {"another add-on", {"C:\\manifest.json", "evil@example.com"},
     "the add-on \"evil@example.com\" is not one this host serves"},
    {"our add-on id in another case", {"manifest.json", "Tervagon@talmoren.com"},
     "the add-on \"Tervagon@talmoren.com\" is not one this host serves"},
    {"a web origin", {"https://support.talmoren.com/"},
     "the caller \"https://support.talmoren.com/\" is neither an extension's origin nor a manifest and an add-on id"},
    {"the add-on id alone", {"tervagon@talmoren.com"},
     "the caller \"tervagon@talmoren.com\" is neither an extension's origin nor a manifest and an add-on id"},
    {"control characters are not echoed", {"manifest.json", "evil\x1b[2J"},
     "the add-on \"evil?[2J\" is not one this host serves"},
};

}  // namespace bridge_tests
