// One conversation with the native messaging host, as the browser holds it:
// the host started with the caller's arguments, requests framed onto its
// input, answers read back frame by frame. Windows builds only.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/bridge_client/child_process.h"

namespace bridge_client {

// The origin a Chromium browser names its extension by.
std::wstring ExtensionOrigin(std::string_view extensionId);

class BridgeConnection {
public:
    // Starts `program` with `arguments` (each quoted); false when it can't start.
    bool Start(const std::wstring& program, const std::vector<std::wstring>& arguments);
    // One message, framed.
    bool Send(std::string_view message);
    // The next message; nothing once the host ended or its output is no whole frame.
    std::optional<std::string> Receive();
    // Send, then Receive.
    std::optional<std::string> Ask(std::string_view message);

    ChildProcess& Process() { return process_; }

private:
    ChildProcess process_;
};

}  // namespace bridge_client
