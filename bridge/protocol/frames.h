// The native messaging frame: a 32-bit length in the machine's own byte order,
// then that many bytes of UTF-8 JSON, in both directions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace bridge {

// The longest message either side may send. Browsers take at most 1 MB from a
// host; the host takes no more from the browser, so that a request can never
// make it hold more than this at once.
constexpr std::size_t kMaxMessageBytes = 1024 * 1024;

// Where frames come from: up to `size` bytes into `buffer`, the count read, 0
// only at the end of the input. A failed read is reported as the end.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::size_t Read(char* buffer, std::size_t size) = 0;
};

enum class FrameStatus {
    Message,     // a whole frame was read
    EndOfInput,  // the input ended between frames: the conversation is over
    Truncated,   // the input ended inside a frame
    TooLong,     // the length is above kMaxMessageBytes; the message was not read
};

struct Frame {
    FrameStatus status = FrameStatus::EndOfInput;
    std::string message;         // the message of a whole frame
    std::uint32_t length = 0;    // the length the frame declared (0 before one was read)
    std::size_t received = 0;    // bytes of the frame that came, length included
};

// The next frame. It reads exactly one frame and nothing after it, and never
// more than kMaxMessageBytes of message.
Frame ReadFrame(ByteSource& source);

// One line on what was wrong with a frame that is not a Message.
std::string FrameProblem(const Frame& frame);

// The frame of a message: its length, then its bytes.
std::string FrameOf(std::string_view message);

}  // namespace bridge
