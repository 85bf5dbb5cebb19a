#include "bridge/protocol/reply.h"

#include "bridge/protocol/frames.h"
#include "bridge/protocol/utf.h"

namespace bridge {
namespace {

// The members in the order the protocol shows them: the id first.
std::string ObjectOf(const nlohmann::json& id, std::string_view member, std::string_view text) {
    return "{\"id\":" + id.dump() + ",\"" + std::string(member) + "\":" + nlohmann::json(text).dump() + "}";
}

}  // namespace

std::string AnswerMessage(const nlohmann::json& id, std::u16string_view answer) {
    const auto text = Utf16ToUtf8(answer);
    if (!text) return ErrorMessage(id, "the object's answer holds a lone surrogate, which UTF-8 can't carry");
    std::string message = ObjectOf(id, "answer", *text);
    if (message.size() > kMaxMessageBytes)
        return ErrorMessage(id, "the object's answer is longer than a message to the browser may be");
    return message;
}

std::string ErrorMessage(const nlohmann::json& id, std::string_view error) { return ObjectOf(id, "error", error); }

}  // namespace bridge
