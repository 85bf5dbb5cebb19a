// A program run with its standard streams on pipes: what the browser does with
// a native messaging host, and what the tests and benchmarks do with the host
// and the page host. Windows builds only.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "platform/kernel_handle.h"
#include "platform/win32.h"

namespace bridge_client {

class ChildProcess {
public:
    // Starts `commandLine` (the program's path first, quoted as needed); false
    // when it could not be started.
    bool Start(const std::wstring& commandLine);
    ChildProcess();
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Writes to its standard input; false once it stopped reading.
    bool Write(std::string_view bytes);
    // Ends its standard input, as a browser does when the port closes.
    void CloseInput();
    // Up to `size` bytes of its standard output; 0 only at the end.
    std::size_t Read(char* buffer, std::size_t size);
    // Everything it writes to standard output until it closes it.
    std::string ReadToEnd();
    // Waits for its end: the exit status, or -1 when it did not end in time.
    long Wait(DWORD milliseconds = 60000);
    // What it wrote to standard error until now (all of it once it ended).
    std::string Errors();
    // Bytes of memory that belong to it alone (its private commit), now.
    std::size_t PrivateBytes() const;

    HANDLE Process() const { return process_.Get(); }

private:
    struct ErrorReader;
    platform::KernelHandle process_;
    platform::KernelHandle input_;
    platform::KernelHandle output_;
    std::unique_ptr<ErrorReader> errors_;
    // Standard output is read a pipe's worth at a time: a frame's length and
    // its message then cost one read, not two.
    std::string buffered_;
    std::size_t bufferedStart_ = 0;
};

// `text` quoted for a command line as CommandLineToArgvW reads it back.
std::wstring Quoted(const std::wstring& text);

}  // namespace bridge_client
