// TervagonBridge: the native messaging host through which a browser extension
// asks ControlInstaller what a page asks it in Internet Explorer. The browser
// starts it, names the calling extension on the command line, sends requests
// as frames on standard input and reads the answers from standard output; the
// host answers each request in order and ends when its input ends.
//
// Exit status: 0 when the input ended between frames; 1 when a frame was
// broken (cut short, or longer than a message may be) or the browser stopped
// reading; 2 when the caller is not one this host serves. Every failure is
// one line on standard error.
#include "platform/win32.h"

#include <shellapi.h>

#include <string>
#include <vector>

#include "allowed_callers.h"
#include "bridge/program/channel.h"
#include "bridge/program/serve.h"
#include "bridge/protocol/caller.h"
#include "bridge/protocol/frames.h"
#include "bridge/protocol/utf.h"
#include "platform/com_apartment.h"

namespace {

void Say(const std::string& line) noexcept {
    try {
        bridge::WriteAll(GetStdHandle(STD_ERROR_HANDLE), "TervagonBridge: " + line + "\n");
    } catch (...) {
        // Nothing is left to tell it with.
    }
}

// The arguments after the program's name, as UTF-8; an argument that has no
// UTF-8 form becomes empty, which names no caller.
std::vector<std::string> Arguments() {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; argv != nullptr && i < count; ++i) {
        const std::wstring_view wide(argv[i]);
        arguments.push_back(bridge::Utf16ToUtf8(std::u16string(wide.begin(), wide.end())).value_or(""));
    }
    LocalFree(argv);
    return arguments;
}

int Run() {
    const std::vector<std::string> arguments = Arguments();
    const std::string refused =
        bridge::CallerProblem(arguments, {bridge::kExtensionIds, bridge::kAddonId});
    if (!refused.empty()) {
        Say(refused);
        return 2;
    }
    const platform::ComApartment apartment;
    if (FAILED(apartment.Status())) {
        Say("COM did not start");
        return 1;
    }
    bridge::InstallerMaker maker;  // let go before the apartment is left
    bridge::HandleSource input(GetStdHandle(STD_INPUT_HANDLE));
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    for (;;) {
        const bridge::Frame frame = bridge::ReadFrame(input);
        if (frame.status == bridge::FrameStatus::EndOfInput) return 0;
        if (frame.status != bridge::FrameStatus::Message) {
            Say(bridge::FrameProblem(frame));
            return 1;
        }
        if (!bridge::WriteAll(output, bridge::FrameOf(bridge::Serve(maker, frame.message)))) {
            Say("the browser stopped reading the answers");
            return 1;
        }
    }
}

}  // namespace

int main() {
    // A host has no one to click a dialog away.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    try {
        return Run();
    } catch (...) {
        Say("the host ran out of memory");
        return 1;
    }
}
