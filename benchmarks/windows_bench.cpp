// The cost of each method of ControlInstaller through the vtable and through
// IDispatch, next to the bare platform calls it cannot avoid; cached against
// uncached name lookup; and whether many calls leave strings or heap behind.
// Needs the DLL registered and the support package's value recorded
// (tools/bench.sh does both in a private prefix).
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "Tervagon.h"
#include "benchmarks/installer_calls.h"
#include "benchmarks/live_memory.h"
#include "benchmarks/platform_calls.h"
#include "benchmarks/timing.h"
#include "platform/com_apartment.h"
#include "platform/com_ref.h"
#include "platform/owned_string.h"

namespace {

const wchar_t kPage[] = L"https://support.talmoren.com/checkup/";
constexpr int kMemoryCalls = 100000;
constexpr int kWarmUpCalls = 1000;

struct Row {
    const char* name;
    bench::Method method;
};
const Row kRows[] = {
    {"isValidControl", bench::Method::IsValidControl},
    {"getControlVersion", bench::Method::GetControlVersion},
    {"getPackageVersion", bench::Method::GetPackageVersion},
};

bool g_failed = false;

// A measured call that fails would time the wrong road: the run is marked failed.
std::function<void()> Checked(const char* what, std::function<HRESULT()> call) {
    return [what, call] {
        const HRESULT hr = call();
        if (FAILED(hr) && !g_failed) {
            std::printf("FAILED: %s answered 0x%08lX\n", what, static_cast<unsigned long>(hr));
            g_failed = true;
        }
    };
}

template <typename F>
bench::Cost Timed(const char* what, F&& call) {
    HRESULT seen = S_OK;
    const bench::Cost cost = bench::Measure([&] {
        const HRESULT hr = call();
        if (FAILED(hr)) seen = hr;
    });
    if (FAILED(seen)) {
        std::printf("FAILED: %s answered 0x%08lX\n", what, static_cast<unsigned long>(seen));
        g_failed = true;
    }
    return cost;
}

void MethodCosts(bench::InstallerCalls& calls, bench::PlatformCalls& floor) {
    std::printf("Per call, median of 9 rounds timed in turns; floor = the platform calls the method cannot avoid\n");
    std::printf("%-18s %10s %12s %12s %10s %8s %8s %8s\n", "method", "vtable", "IDispatch", "by name", "floor",
                "vtbl/fl", "disp/fl", "name/fl");
    for (const Row& row : kRows) {
        const auto costs = bench::MeasureInTurns({
            Checked(row.name, [&] { return calls.Call(row.method, bench::Road::Vtable); }),
            Checked(row.name, [&] { return calls.Call(row.method, bench::Road::DispatchById); }),
            Checked(row.name, [&] { return calls.Call(row.method, bench::Road::DispatchByName); }),
            Checked("the floor", [&] {
                return row.method == bench::Method::GetPackageVersion ? floor.PackageFloor() : floor.ControlFloor();
            }),
        });
        const auto& vtable = costs[0];
        const auto& byId = costs[1];
        const auto& byName = costs[2];
        const auto& bare = costs[3];
        std::printf("%-18s %10s %12s %12s %10s %7.2fx %7.2fx %7.2fx\n", row.name,
                    bench::Duration(vtable.nanos).c_str(), bench::Duration(byId.nanos).c_str(),
                    bench::Duration(byName.nanos).c_str(), bench::Duration(bare.nanos).c_str(),
                    vtable.nanos / bare.nanos, byId.nanos / bare.nanos, byName.nanos / bare.nanos);
    }
    std::printf("\nThe floor, part by part\n");
    const struct {
        const char* what;
        HRESULT (bench::PlatformCalls::*call)();
    } parts[] = {
        {"page address: site, browser, URL split", &bench::PlatformCalls::PageAddress},
        {"document address: container, URL split", &bench::PlatformCalls::DocumentAddress},
        {"kill bit: both entries, TreatAs", &bench::PlatformCalls::ReadCompatibilityFlags},
        {"class creation in process (IDispatch)", &bench::PlatformCalls::CreateControl},
        {"registry read: server path", &bench::PlatformCalls::ReadServerPath},
        {"file presence and version resource", &bench::PlatformCalls::ReadFileVersion},
        {"registry read: package value", &bench::PlatformCalls::ReadPackageValue},
        {"answer string made and freed", &bench::PlatformCalls::MakeAnswer},
    };
    for (const auto& part : parts) {
        const auto cost = Timed(part.what, [&] { return (floor.*part.call)(); });
        std::printf("  %-42s %10s\n", part.what, bench::Duration(cost.nanos).c_str());
    }
}

void NameLookup(bench::InstallerCalls& calls) {
    LPOLESTR name = const_cast<LPOLESTR>(L"getControlVersion");
    const auto costs = bench::MeasureInTurns({
        Checked("GetIDsOfNames", [&] {
            DISPID id = 0;
            return calls.dispatch()->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
        }),
        // What every lookup would cost if the type information were not kept:
        // the registered library loaded, the interface found, the name looked up.
        Checked("type library lookup", [&] {
            platform::ComRef<ITypeLib> library;
            HRESULT hr = LoadRegTypeLib(LIBID_TervagonLib, 1, 0, LOCALE_NEUTRAL, library.Receive());
            if (FAILED(hr)) return hr;
            platform::ComRef<ITypeInfo> info;
            hr = library->GetTypeInfoOfGuid(IID_IControlInstaller, info.Receive());
            if (FAILED(hr)) return hr;
            DISPID id = 0;
            return info->GetIDsOfNames(&name, 1, &id);
        }),
    });
    const auto& cached = costs[0];
    const auto& uncached = costs[1];
    std::printf("\nGetIDsOfNames(\"getControlVersion\")\n");
    std::printf("  %-42s %10s\n", "cached: the object's kept type information", bench::Duration(cached.nanos).c_str());
    std::printf("  %-42s %10s  (%.0fx)\n", "uncached: library loaded for each lookup",
                bench::Duration(uncached.nanos).c_str(), uncached.nanos / cached.nanos);
}

void MemoryCheck(bench::InstallerCalls& calls) {
    auto callMany = [&](int count) {
        for (int i = 0; i < count; ++i) {
            const auto method = static_cast<bench::Method>(i % 3);
            const auto road = (i / 3) % 2 == 0 ? bench::Road::Vtable : bench::Road::DispatchById;
            if (FAILED(calls.Call(method, road))) g_failed = true;
        }
    };
    callMany(kWarmUpCalls);
    // The counter must see a string come and go, or "no growth" would mean nothing.
    const long idle = bench::TaskMemoryCounter::Live();
    platform::SystemString probe(SysAllocString(L"probe"));
    const long holding = bench::TaskMemoryCounter::Live();
    probe.Reset();
    if (holding != idle + 1 || bench::TaskMemoryCounter::Live() != idle) {
        std::printf("\nFAILED: the string counter does not see strings (is OANOCACHE=1 set?)\n");
        g_failed = true;
        return;
    }
    const long stringsBefore = bench::TaskMemoryCounter::Live();
    const std::size_t heapBefore = bench::HeapBytesInUse();
    callMany(kMemoryCalls);
    const long stringsAfter = bench::TaskMemoryCounter::Live();
    const std::size_t heapAfter = bench::HeapBytesInUse();
    const long long heapGrowth = static_cast<long long>(heapAfter) - static_cast<long long>(heapBefore);
    std::printf("\nMemory over %d calls (all three methods, vtable and IDispatch, after %d warm-up calls)\n",
                kMemoryCalls, kWarmUpCalls);
    std::printf("  live task-memory blocks (BSTRs): %ld before, %ld after, growth %ld\n", stringsBefore,
                stringsAfter, stringsAfter - stringsBefore);
    std::printf("  heap bytes in use:               %zu before, %zu after, growth %lld\n", heapBefore, heapAfter,
                heapGrowth);
    // One leaked string per call would be at least 100,000 blocks and some
    // megabytes; what allocators keep for themselves stays far below a byte a call.
    const bool grew = stringsAfter != stringsBefore || heapGrowth > kMemoryCalls / 4;
    std::printf("  %s\n", grew ? "FAILED: the calls left memory behind" : "no growth");
    if (grew) g_failed = true;
}

}  // namespace

int main() {
    const platform::ComApartment apartment;
    if (FAILED(apartment.Status())) return 2;
    if (std::getenv("OANOCACHE") == nullptr)
        std::printf("note: OANOCACHE is not set; freed strings may stay in the string cache\n");
    const bool counting = SUCCEEDED(bench::TaskMemoryCounter::Install());
    int status = 0;
    {
        bench::InstallerCalls calls;
        if (const HRESULT hr = calls.Create(kPage); FAILED(hr)) {
            std::printf("FAILED: ControlInstaller could not be created (0x%08lX): is the DLL registered?\n",
                        static_cast<unsigned long>(hr));
            status = 2;
        } else {
            std::printf("Page %ls, control asked about: %ls (the DLL itself)\n", kPage, bench::kControlGuid);
            for (const Row& row : kRows) {
                std::printf("  %s -> \"%ls\"\n", row.name, calls.Answer(row.method).c_str());
            }
            std::printf("\n");
            bench::PlatformCalls floor(calls.site().Get(), bench::kControlGuid);
            MethodCosts(calls, floor);
            NameLookup(calls);
            if (counting) MemoryCheck(calls);
            else std::printf("\nFAILED: task memory can't be counted here\n"), g_failed = true;
            status = g_failed ? 1 : 0;
        }
    }
    if (counting) bench::TaskMemoryCounter::Remove();
    return status;
}
