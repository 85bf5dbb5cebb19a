#include "script_module.h"

#include "script_run.h"
#include "server_ids.h"

namespace registrar_test {

HRESULT TestModule::AddCommonVariables(registrar::IScriptRegistrar* registrar) {
    ++commonCalls;
    if (FAILED(commonStatus_)) return commonStatus_;
    return registrar->AddVariable(OLESTR("APPID"), Wide(TERVAGON_APPID_TEXT).c_str());
}

}  // namespace registrar_test
