// What goes back to the browser for one request: the object's answer, or an
// error in words. Either is one JSON object, never longer than a message may be.
//
//   {"id": ID, "answer": "<the method's answer text>"}
//   {"id": ID or null, "error": "<what was wrong>"}
#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace bridge {

// The answer text converted exactly from UTF-16 to UTF-8, NULs and all. A text
// that has no exact UTF-8 form, or whose message would be longer than
// kMaxMessageBytes, becomes an error instead: the browser never gets an answer
// that differs from the object's.
std::string AnswerMessage(const nlohmann::json& id, std::u16string_view answer);

// `error` must be UTF-8 (the host's own words).
std::string ErrorMessage(const nlohmann::json& id, std::string_view error);

}  // namespace bridge
