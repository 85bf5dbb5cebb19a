#include "bridge/protocol/frames.h"

#include <cstring>

namespace bridge {
namespace {

// Reads until `size` bytes came or the input ended; the count that came.
std::size_t ReadFully(ByteSource& source, char* buffer, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        const std::size_t part = source.Read(buffer + got, size - got);
        if (part == 0) break;
        got += part;
    }
    return got;
}

}  // namespace

Frame ReadFrame(ByteSource& source) {
    Frame frame;
    char prefix[sizeof(std::uint32_t)];
    frame.received = ReadFully(source, prefix, sizeof prefix);
    if (frame.received == 0) return frame;
    if (frame.received < sizeof prefix) {
        frame.status = FrameStatus::Truncated;
        return frame;
    }
    std::memcpy(&frame.length, prefix, sizeof prefix);  // the machine's own byte order
    if (frame.length > kMaxMessageBytes) {
        frame.status = FrameStatus::TooLong;
        return frame;
    }
    frame.message.resize(frame.length);
    const std::size_t got = ReadFully(source, frame.message.data(), frame.length);
    frame.received += got;
    if (got < frame.length) {
        frame.message.clear();
        frame.status = FrameStatus::Truncated;
        return frame;
    }
    frame.status = FrameStatus::Message;
    return frame;
}

std::string FrameProblem(const Frame& frame) {
    switch (frame.status) {
    case FrameStatus::Truncated:
        if (frame.received < sizeof(std::uint32_t))
            return "the input ended inside a frame's length (" + std::to_string(frame.received) + " of 4 bytes)";
        return "the input ended inside a frame (" + std::to_string(frame.received - sizeof(std::uint32_t)) +
               " of " + std::to_string(frame.length) + " bytes)";
    case FrameStatus::TooLong:
        return "a frame of " + std::to_string(frame.length) + " bytes is refused: a message is at most " +
               std::to_string(kMaxMessageBytes) + " bytes";
    case FrameStatus::EndOfInput:
        return "the input ended";
    case FrameStatus::Message:
        break;
    }
    return {};
}

std::string FrameOf(std::string_view message) {
    const auto length = static_cast<std::uint32_t>(message.size());
    std::string frame(sizeof length, '\0');
    std::memcpy(frame.data(), &length, sizeof length);
    frame.append(message);
    return frame;
}

}  // namespace bridge
