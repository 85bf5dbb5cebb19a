#include "tools/bridge_client/bridge_connection.h"

#include "bridge/protocol/frames.h"

namespace bridge_client {
namespace {

class ProcessOutput final : public bridge::ByteSource {
public:
    explicit ProcessOutput(ChildProcess& process) : process_(process) {}
    std::size_t Read(char* buffer, std::size_t size) override { return process_.Read(buffer, size); }

private:
    ChildProcess& process_;
};

}  // namespace

std::wstring ExtensionOrigin(std::string_view extensionId) {
    return L"chrome-extension://" + std::wstring(extensionId.begin(), extensionId.end()) + L"/";
}

bool BridgeConnection::Start(const std::wstring& program, const std::vector<std::wstring>& arguments) {
    std::wstring commandLine = Quoted(program);
    for (const std::wstring& argument : arguments) commandLine += L" " + Quoted(argument);
    return process_.Start(commandLine);
}

bool BridgeConnection::Send(std::string_view message) { return process_.Write(bridge::FrameOf(message)); }

std::optional<std::string> BridgeConnection::Receive() {
    ProcessOutput output(process_);
    bridge::Frame frame = bridge::ReadFrame(output);
    if (frame.status != bridge::FrameStatus::Message) return std::nullopt;
    return std::move(frame.message);
}

std::optional<std::string> BridgeConnection::Ask(std::string_view message) {
    if (!Send(message)) return std::nullopt;
    return Receive();
}

}  // namespace bridge_client
