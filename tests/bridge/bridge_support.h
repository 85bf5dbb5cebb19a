// What the tests of the host program share: the programs under test, the
// server registered in the test prefix for the whole program, requests built
// as the extension builds them, and replies read back.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "server_ids.h"

#include "tools/bridge_client/bridge_connection.h"

namespace bridge_tests {

using nlohmann::json;

inline constexpr char kOwnExtension[] = TERVAGON_OWN_EXTENSION_ID;
inline constexpr char kAllowedPage[] = "https://support.talmoren.com/checkup/";
inline constexpr char kForeignPage[] = "https://talmoren-support.example.net/checkup/";
inline constexpr char kSelf[] = TERVAGON_CLSID_TEXT;       // the DLL's own class
inline constexpr char kVersion[] = TERVAGON_VERSION_TEXT;  // and its file version
inline constexpr char kPackageVersion[] = "0x02010004";    // as the test registers it

// The built programs, as Windows paths.
std::wstring BridgePath();
std::wstring PageHostPath();
std::wstring AnswersScriptPath();

// Registers the built DLL and records the support package's version in this
// program's registry view (the host's, which is of the same bitness) for the
// whole test program, and takes both away at its end.
void RegisterServerForTheProgram();

// A request as the extension sends it.
std::string Request(const json& id, const std::string& page, const std::string& method,
                    const std::vector<std::string>& args);

// The host started as our extension's browser starts it.
bool StartHost(bridge_client::BridgeConnection& host,
               const std::vector<std::wstring>& arguments = {bridge_client::ExtensionOrigin(kOwnExtension)});

// A reply read back: null when it is no JSON.
json Parsed(const std::optional<std::string>& message);
// The reply the host owes for an answer or an error.
json AnswerReply(const json& id, const std::string& answer);
json ErrorReply(const json& id, const std::string& error);

}  // namespace bridge_tests
