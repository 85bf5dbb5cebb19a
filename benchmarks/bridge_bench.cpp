// What a call costs through the native messaging host against the same call
// in process, in one run: a warm call over one connection (the host started,
// its first answer given), and the first answer of a new host process. Goal:
// a warm call through the host costs at most the in-process call plus 2 ms.
// Needs the DLL registered and the support package's value recorded
// (tools/bench.sh does both); TervagonBridge.exe is found beside this program.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "benchmarks/installer_calls.h"
#include "benchmarks/timing.h"
#include "server_ids.h"
#include "platform/com_apartment.h"
#include "tools/bridge_client/bridge_connection.h"

namespace {

constexpr char kPage[] = "https://support.talmoren.com/checkup/";
constexpr wchar_t kWidePage[] = L"https://support.talmoren.com/checkup/";
constexpr char kExtension[] = TERVAGON_OWN_EXTENSION_ID;
constexpr int kColdStarts = 9;
constexpr double kGoalNanos = 2e6;

struct Row {
    const char* name;
    bench::Method method;
    std::string request;
    std::string answer;  // the host's reply, byte for byte
};

std::wstring BesideThisProgram(const wchar_t* name) {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1) + name;
}

bool g_failed = false;

void Fail(const std::string& what) {
    if (!g_failed) std::printf("FAILED: %s\n", what.c_str());
    g_failed = true;
}

bool StartHost(bridge_client::BridgeConnection& host) {
    return host.Start(BesideThisProgram(L"TervagonBridge.exe"), {bridge_client::ExtensionOrigin(kExtension)});
}

// One start of the host to its first answer, the process ended after.
double FirstAnswerNanos(const Row& row) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    bridge_client::BridgeConnection host;
    if (!StartHost(host)) {
        Fail("TervagonBridge.exe did not start");
        return 0;
    }
    const auto reply = host.Ask(row.request);
    const auto nanos = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
    if (reply != row.answer) Fail("a new host answered " + reply.value_or("nothing"));
    host.Process().CloseInput();
    host.Process().Wait();
    return nanos;
}

}  // namespace

int main() {
    const platform::ComApartment apartment;
    if (FAILED(apartment.Status())) return 2;
    bench::InstallerCalls calls;
    if (const HRESULT hr = calls.Create(kWidePage); FAILED(hr)) {
        std::printf("FAILED: ControlInstaller could not be created (0x%08lX): is the DLL registered?\n",
                    static_cast<unsigned long>(hr));
        return 2;
    }
    const std::string self = TERVAGON_CLSID_TEXT;
    std::vector<Row> rows = {
        {"getPackageVersion", bench::Method::GetPackageVersion,
         std::string(R"({"id":1,"page":")") + kPage + R"(","method":"getPackageVersion","args":[]})", ""},
        {"isValidControl", bench::Method::IsValidControl,
         std::string(R"({"id":1,"page":")") + kPage + R"(","method":"isValidControl","args":[")" + self +
             R"(","1.0.0.1"]})",
         ""},
    };
    for (Row& row : rows) {
        const std::wstring answer = calls.Answer(row.method);
        row.answer = R"({"id":1,"answer":")" + std::string(answer.begin(), answer.end()) + "\"}";
    }

    bridge_client::BridgeConnection host;
    if (!StartHost(host)) {
        std::printf("FAILED: TervagonBridge.exe did not start beside this program\n");
        return 2;
    }
    std::printf("Page %s; per call, median of 9 rounds timed in turns\n", kPage);
    std::printf("in process: one object kept, as a page keeps it; new object: created, sited, asked and let go\n");
    std::printf("in process for each call, as the host does\n");
    std::printf("%-18s %12s %12s %14s %12s %8s\n", "method", "in process", "new object", "through host",
                "difference", "goal");
    for (const Row& row : rows) {
        const auto costs = bench::MeasureInTurns({
            [&] {
                if (FAILED(calls.Call(row.method, bench::Road::Vtable))) Fail("the in-process call failed");
            },
            [&] {
                bench::InstallerCalls fresh;
                if (FAILED(fresh.Create(kWidePage)) || FAILED(fresh.Call(row.method, bench::Road::Vtable)))
                    Fail("the in-process call on a new object failed");
            },
            [&] {
                if (host.Ask(row.request) != row.answer) Fail("the host answered otherwise than the object");
            },
        });
        const double difference = costs[2].nanos - costs[0].nanos;
        std::printf("%-18s %12s %12s %14s %12s %8s\n", row.name, bench::Duration(costs[0].nanos).c_str(),
                    bench::Duration(costs[1].nanos).c_str(), bench::Duration(costs[2].nanos).c_str(),
                    bench::Duration(difference).c_str(), difference <= kGoalNanos ? "met" : "MISSED");
    }
    host.Process().CloseInput();
    if (host.Process().Wait() != 0) Fail("the host did not end well");

    std::printf("\nFirst answer of a new host process (started, asked, answered), %d starts\n", kColdStarts);
    for (const Row& row : rows) {
        std::vector<double> times;
        for (int i = 0; i < kColdStarts; ++i) times.push_back(FirstAnswerNanos(row));
        std::sort(times.begin(), times.end());
        std::printf("  %-18s median %10s, fastest %10s, slowest %10s\n", row.name,
                    bench::Duration(times[times.size() / 2]).c_str(), bench::Duration(times.front()).c_str(),
                    bench::Duration(times.back()).c_str());
    }
    return g_failed ? 1 : 0;
}
