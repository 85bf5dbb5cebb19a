// The browser's end of the conversation: frames come on standard input and
// answers go to standard output, as raw bytes. Nothing else is ever written to
// standard output.
#pragma once

#include <array>
#include <string_view>

#include "bridge/protocol/frames.h"
#include "platform/win32.h"

namespace bridge {

// Reads what the pipe holds, up to a buffer's worth at a time, so that a
// frame's length and a short message cost one read between them.
class HandleSource final : public ByteSource {
public:
    explicit HandleSource(HANDLE handle) : handle_(handle), pipe_(GetFileType(handle) == FILE_TYPE_PIPE) {}
    // A closed pipe, a failed read and the end of a file all end the input.
    std::size_t Read(char* buffer, std::size_t size) override;

private:
    std::size_t ReadHandle(char* buffer, std::size_t size);

    HANDLE handle_;
    // A pipe ends with a broken-pipe failure; an empty read from one is only a
    // writer's empty write, and reading goes on. From a file, it is the end.
    bool pipe_;
    std::array<char, 64 * 1024> buffer_;
    std::size_t start_ = 0, end_ = 0;  // what is buffered and not handed out yet
};

// Writes every byte (the handle is unbuffered: the browser has the frame as
// soon as this returns); false when the browser is gone.
bool WriteAll(HANDLE handle, std::string_view bytes);

}  // namespace bridge
