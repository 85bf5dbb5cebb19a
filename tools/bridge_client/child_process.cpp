#include "tools/bridge_client/child_process.h"

#include <psapi.h>

#include <algorithm>
#include <mutex>
#include <thread>

namespace bridge_client {

// Drains standard error on a thread of its own, so that a child that writes
// much there never waits on a pipe nobody reads.
struct ChildProcess::ErrorReader {
    explicit ErrorReader(HANDLE pipe) : pipe_(pipe), thread_([this] { Drain(); }) {}
    ~ErrorReader() { Finish(); }
    // Once the child ended, its end of the pipe is closed and the thread ends.
    void Finish() {
        if (thread_.joinable()) thread_.join();
    }

    void Drain() {
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(pipe_.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
            const std::lock_guard<std::mutex> lock(mutex_);
            text_.append(buffer, got);
        }
    }
    std::string Text() {
        const std::lock_guard<std::mutex> lock(mutex_);
        return text_;
    }

    platform::KernelHandle pipe_;
    std::mutex mutex_;
    std::string text_;
    std::thread thread_;
};

namespace {

// A pipe whose end `childEnd` (0 read, 1 write) the child inherits.
bool MakePipe(platform::KernelHandle& read, platform::KernelHandle& write, bool childReads) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 1 << 16)) return false;
    read.Attach(readEnd);
    write.Attach(writeEnd);
    // Our own end stays with us.
    return SetHandleInformation(childReads ? writeEnd : readEnd, HANDLE_FLAG_INHERIT, 0) != 0;
}

}  // namespace

bool ChildProcess::Start(const std::wstring& commandLine) {
    platform::KernelHandle childInput, childOutput, childErrors, errorsRead;
    if (!MakePipe(childInput, input_, true) || !MakePipe(output_, childOutput, false) ||
        !MakePipe(errorsRead, childErrors, false))
        return false;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childInput.Get();
    startup.hStdOutput = childOutput.Get();
    startup.hStdError = childErrors.Get();
    PROCESS_INFORMATION started{};
    std::wstring mutableLine = commandLine;
    if (!CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &started))
        return false;
    process_.Attach(started.hProcess);
    CloseHandle(started.hThread);
    // The child's ends are closed here, so that its end of output is ours to see.
    errors_ = std::make_unique<ErrorReader>(errorsRead.Detach());
    return true;
}

ChildProcess::ChildProcess() = default;

ChildProcess::~ChildProcess() {
    CloseInput();
    output_.Reset();
    if (process_ && WaitForSingleObject(process_.Get(), 10000) != WAIT_OBJECT_0) TerminateProcess(process_.Get(), 99);
    errors_.reset();
}

bool ChildProcess::Write(std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        const DWORD part = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1 << 20));
        if (!input_ || !WriteFile(input_.Get(), bytes.data(), part, &written, nullptr) || written == 0) return false;
        bytes.remove_prefix(written);
    }
    return true;
}

void ChildProcess::CloseInput() { input_.Reset(); }

std::size_t ChildProcess::Read(char* buffer, std::size_t size) {
    if (bufferedStart_ == buffered_.size()) {
        buffered_.resize(1 << 16);
        bufferedStart_ = 0;
        DWORD got = 0;
        if (!output_ || !ReadFile(output_.Get(), buffered_.data(), static_cast<DWORD>(buffered_.size()), &got, nullptr))
            got = 0;
        buffered_.resize(got);  // empty: the end
    }
    const std::size_t count = std::min(size, buffered_.size() - bufferedStart_);
    std::copy_n(buffered_.data() + bufferedStart_, count, buffer);
    bufferedStart_ += count;
    return count;
}

std::string ChildProcess::ReadToEnd() {
    std::string text;
    char buffer[4096];
    for (std::size_t got; (got = Read(buffer, sizeof buffer)) > 0;) text.append(buffer, got);
    return text;
}

long ChildProcess::Wait(DWORD milliseconds) {
    if (!process_ || WaitForSingleObject(process_.Get(), milliseconds) != WAIT_OBJECT_0) return -1;
    DWORD status = 0;
    GetExitCodeProcess(process_.Get(), &status);
    errors_->Finish();
    return static_cast<long>(status);
}

std::string ChildProcess::Errors() { return errors_ ? errors_->Text() : std::string(); }

std::size_t ChildProcess::PrivateBytes() const {
    // The private commit, which Wine fills in only under its first name.
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process_.Get(), &counters, sizeof counters))
        return 0;
    return counters.PagefileUsage;
}

std::wstring Quoted(const std::wstring& text) {
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : text) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped.
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

}  // namespace bridge_client
