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
    explicit HandleSource(HANDLE handle) : handle_(handle) {}
    // A closed pipe, a failed read, the end of a file and an empty read all
    // end the input. (Under Wine a Unix pipe at its end reads empty without
    // failing; a browser never writes nothing.)
    std::size_t Read(char* buffer, std::size_t size) override;

private:
    std::size_t ReadHandle(char* buffer, std::size_t size);

    HANDLE handle_;
    std::array<char, 64 * 1024> buffer_;
    std::size_t start_ = 0, end_ = 0;  // what is buffered and not handed out yet
};

// Writes every byte (the handle is unbuffered: the browser has the frame as
// soon as this returns); false when the browser is gone.
bool WriteAll(HANDLE handle, std::string_view bytes);

}  // namespace bridge
