// The browser's end of the conversation: frames come on standard input and
// answers go to standard output, as raw bytes. Nothing else is ever written to
// standard output.
#pragma once

#include <string_view>

#include "bridge/protocol/frames.h"
#include "platform/win32.h"

namespace bridge {

class HandleSource final : public ByteSource {
public:
    explicit HandleSource(HANDLE handle) : handle_(handle) {}
    // A closed pipe, a failed read and the end of a file all end the input.
    std::size_t Read(char* buffer, std::size_t size) override;

private:
    HANDLE handle_;
};

// Writes every byte (the handle is unbuffered: the browser has the frame as
// soon as this returns); false when the browser is gone.
bool WriteAll(HANDLE handle, std::string_view bytes);

}  // namespace bridge
