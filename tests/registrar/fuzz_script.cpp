// libFuzzer target for the whole interpreter: the input is a script text,
// expanded with a few variables and walked in register mode, again in
// register mode, then in unregister mode, over an in-memory registry that
// already holds some keys; one more register run makes a chosen allocation
// fail. Every run must close every key it opened and give the reason of any
// failure; the leak checker sees the rest.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/allocation.h"
#include "platform/host/registry_store.h"
#include "registrar/script_parser.h"
#include "registrar/script_registrar.h"
#include "tests/platform/registry_handles.h"
#include "tools/registry_dump/text_form.h"

namespace {

const char kSeed[] =
    "[HKEY_CLASSES_ROOT\\CLSID\\{00000000-0000-0000-0000-000000000001}\\InprocServer32]\n"
    "@=sz:\"C:\\\\old.dll\"\n"
    "[HKEY_CLASSES_ROOT\\AppID\\Old]\n"
    "\"AppID\"=sz:\"x\"\n"
    "[HKEY_CURRENT_USER\\Software\\Test\\Deep\\Deeper]\n"
    "\"n\"=dword:00000001\n";

void CheckHandlesClosed(const char* run) {
    if (registry_handles::OpenHandles() != 0) {
        std::fprintf(stderr, "%s run left keys open:\n%s", run,
                     registry_handles::DescribeOpenHandles().c_str());
        std::abort();
    }
}

// Every failure is reported with its reason and the status it ended with.
HRESULT Run(const registrar::ScriptRegistrar& variables, const std::string& text, bool doRegister) {
    registrar::ScriptParser parser(variables);
    const HRESULT status = parser.RunScript(text.c_str(), doRegister);
    const registrar::ScriptStop& stop = parser.Stop();
    if (FAILED(status) && (stop.reason == registrar::StopReason::None || stop.status != status ||
                           (stop.duringExpansion && stop.offset > text.size()))) {
        std::fprintf(stderr, "a failure 0x%08X was not reported (reason %d, status 0x%08X)\n",
                     static_cast<unsigned>(status), static_cast<int>(stop.reason), static_cast<unsigned>(stop.status));
        std::abort();
    }
    return status;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The text ends at a NUL, as a resource copy does.
    const std::string text(reinterpret_cast<const char*>(data), size);

    platform::registry_store::Reset();
    if (!registry_dump::Seed(kSeed)) std::abort();
    registrar::ScriptRegistrar variables;
    variables.AddVariable(OLESTR("APPID"), OLESTR("{C3DBC3A4-D47E-4AA0-A1FF-9FBBC723ED55}"));
    variables.AddVariable(OLESTR("Module"), OLESTR("C:\\dir\\it''s.dll"));
    variables.AddVariable(OLESTR("Module_Raw"), OLESTR("C:\\dir\\it''s.dll"));
    variables.AddVariable(OLESTR("Percent"), OLESTR("%APPID%"));

    Run(variables, text, true);
    CheckHandlesClosed("register");
    Run(variables, text, true);
    CheckHandlesClosed("second register");
    Run(variables, text, false);
    CheckHandlesClosed("unregister");

    platform::allocation_seam::FailNth(1 + (size > 0 ? data[0] % 4 : 0));
    const HRESULT status = Run(variables, text, true);
    const bool injected = platform::allocation_seam::Pending() == 0;
    platform::allocation_seam::FailNth(0);
    if (injected && status != E_OUTOFMEMORY) {
        std::fprintf(stderr, "a failed allocation gave 0x%08X\n", static_cast<unsigned>(status));
        std::abort();
    }
    CheckHandlesClosed("out-of-memory");
    return 0;
}
