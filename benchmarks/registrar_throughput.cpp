// The registrar's cost on scripts of growing size, over the in-memory registry
// of the native build: the server's class script repeated 1, 10 and 100 times
// under distinct names, registered and unregistered. A cost that grows
// linearly keeps the per-kilobyte figure flat.
#include <cstdio>
#include <string>

#include "benchmarks/timing.h"
#include "registrar/script_parser.h"
#include "registrar/script_registrar.h"
#include "tools/registry_dump/text_form.h"
#include "platform/allocation.h"

namespace {

// One copy of a class registration shaped like the server's own script,
// numbered so that copies don't land on the same keys.
std::string ClassBlock(int n) {
    char id[64];
    std::snprintf(id, sizeof id, "{3CB4DB0B-97F1-48D8-888E-%012X}", n);
    const std::string progid = "Tervagon.Bench" + std::to_string(n);
    return "\t" + progid + ".1 = s 'ControlInstaller Class'\r\n\t{\r\n\t\tCLSID = s '" + id +
           "'\r\n\t}\r\n\t" + progid + " = s 'ControlInstaller Class'\r\n\t{\r\n\t\tCLSID = s '" + id +
           "'\r\n\t\tCurVer = s '" + progid + ".1'\r\n\t}\r\n\tNoRemove CLSID\r\n\t{\r\n\t\tForceRemove " + id +
           " = s 'ControlInstaller Class'\r\n\t\t{\r\n\t\t\tProgID = s '" + progid +
           ".1'\r\n\t\t\tVersionIndependentProgID = s '" + progid +
           "'\r\n\t\t\tForceRemove 'Programmable'\r\n\t\t\tInprocServer32 = s '%MODULE%'\r\n\t\t\t{\r\n"
           "\t\t\t\tval ThreadingModel = s 'Apartment'\r\n\t\t\t}\r\n\t\t\tval AppID = s '%APPID%'\r\n"
           "\t\t\t'TypeLib' = s '{B04E871D-42F3-499C-B1E5-896DA31768F3}'\r\n\t\t}\r\n\t}\r\n";
}

std::string Script(int copies) {
    std::string text = "HKCR\r\n{\r\n";
    for (int i = 0; i < copies; ++i) text += ClassBlock(i);
    return text + "}\r\n";
}

// The language alone: the variables expanded and the whole text cut into tokens.
HRESULT ReadAllTokens(const registrar::ScriptRegistrar& variables, const std::string& text) {
    registrar::ScriptParser parser(variables);
    char* expanded = nullptr;
    HRESULT hr = parser.ExpandVariables(text.c_str(), &expanded);
    if (FAILED(hr)) return hr;
    parser.SetCursor(expanded);
    static registrar::ScriptParser::Token token;
    int tokens = 0;
    while (SUCCEEDED(parser.ReadToken(token))) ++tokens;
    platform::TaskFree(expanded);
    return tokens > 0 ? S_OK : E_FAIL;
}

HRESULT Run(const registrar::ScriptRegistrar& variables, const std::string& text, bool doRegister) {
    registrar::ScriptParser parser(variables);
    return parser.RunScript(text.c_str(), doRegister);
}

// Keys of the benchmark's classes still in the registry: none after an unregister.
bool Clean() {
    const std::string all = registry_dump::Dump();
    return all.find("Tervagon.Bench") == std::string::npos && all.find("{3CB4DB0B-97F1-48D8-888E-0") == std::string::npos;
}

}  // namespace

int main() {
    registrar::ScriptRegistrar variables;
    variables.AddVariable(OLESTR("MODULE"), OLESTR("C:\\Program Files\\Talmoren\\Tervagon.DLL"));
    variables.AddVariable(OLESTR("APPID"), OLESTR("{C3DBC3A4-D47E-4AA0-A1FF-9FBBC723ED55}"));

    std::printf("Registrar, native build over the in-memory registry; per KiB of script\n");
    std::printf("%6s %9s | %14s %10s | %12s %10s %10s | %10s\n", "size", "bytes", "expand+tokens", "per KiB", "reg+unreg",
                "per KiB", "MiB/s", "vs 1x");
    double perKibAt1 = 0;
    bool ok = true;
    for (const int copies : {1, 10, 100}) {
        const std::string text = Script(copies);
        HRESULT failed = S_OK;
        auto note = [&](HRESULT hr) {
            if (FAILED(hr)) failed = hr;
        };
        const bench::Cost language = bench::Measure([&] { note(ReadAllTokens(variables, text)); });
        const bench::Cost run = bench::Measure([&] {
            note(Run(variables, text, true));
            note(Run(variables, text, false));
        });
        // Unregistering must have taken back every key, or the runs measured
        // something other than they claim.
        if (FAILED(failed) || !Clean()) ok = false;
        const double kib = static_cast<double>(text.size()) / 1024.0;
        const double perKib = run.nanos / kib;
        if (copies == 1) perKibAt1 = perKib;
        std::printf("%5dx %9zu | %14s %10s | %12s %10s %10.2f | %9.2fx\n", copies, text.size(),
                    bench::Duration(language.nanos).c_str(), bench::Duration(language.nanos / kib).c_str(),
                    bench::Duration(run.nanos).c_str(), bench::Duration(perKib).c_str(), (kib / 1024.0) / (run.nanos / 1e9),
                    perKib / perKibAt1);
    }
    if (!ok) {
        std::printf("FAILED: a run failed or left keys behind\n");
        return 1;
    }
    return 0;
}
