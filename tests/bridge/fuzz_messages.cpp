// The host's input under libFuzzer: the bytes are a stream of frames, as the
// browser's pipe delivers them. Every message gets exactly one reply, which
// must be JSON, carry an id and one of "answer" or "error", and fit in a
// message; a broken frame ends the stream as it ends the host.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <variant>

#include <nlohmann/json.hpp>

#include "bridge/protocol/frames.h"
#include "bridge/protocol/reply.h"
#include "bridge/protocol/request.h"

namespace {

class BytesSource final : public bridge::ByteSource {
public:
    BytesSource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::size_t Read(char* buffer, std::size_t size) override {
        const std::size_t count = size < size_ - at_ ? size : size_ - at_;
        if (count > 0) std::memcpy(buffer, data_ + at_, count);
        at_ += count;
        return count;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

void Require(bool condition) {
    if (!condition) std::abort();
}

// Stands in for the object: the answer is the arguments, joined.
std::u16string Answer(const bridge::Request& request) {
    std::u16string answer;
    for (const auto& argument : request.arguments) answer += argument;
    return answer;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    BytesSource source(data, size);
    for (;;) {
        const bridge::Frame frame = bridge::ReadFrame(source);
        if (frame.status != bridge::FrameStatus::Message) {
            Require(frame.status == bridge::FrameStatus::EndOfInput || !bridge::FrameProblem(frame).empty());
            return 0;
        }
        const auto parsed = bridge::ParseRequest(frame.message);
        std::string reply;
        if (const auto* request = std::get_if<bridge::Request>(&parsed)) {
            Require(request->id.is_number() || request->id.is_string());
            Require(request->arguments.size() == bridge::ArgumentCount(request->method));
            Require(request->page.find(u'\0') == std::u16string::npos);
            reply = bridge::AnswerMessage(request->id, Answer(*request));
        } else {
            const auto& refusal = std::get<bridge::Refusal>(parsed);
            Require(!refusal.error.empty());
            reply = bridge::ErrorMessage(refusal.id, refusal.error);
        }
        Require(reply.size() <= bridge::kMaxMessageBytes);
        const auto document = nlohmann::json::parse(reply, nullptr, false);
        Require(document.is_object() && document.contains("id") && document.size() == 2);
        Require(document.contains("answer") != document.contains("error"));
    }
}
