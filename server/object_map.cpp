#include "server/object_map.h"

#include "Tervagon.h"
#include "registrar/update_registry.h"
#include "server/class_factory.h"
#include "server/control_installer.h"
#include "server/module.h"
#include "server_ids.h"

namespace server {
namespace {

// The class script names the class by literal text; only the common
// variables are given.
HRESULT UpdateControlInstallerRegistry(bool doRegister) {
    return registrar::UpdateRegistryFromScript(TheModule(), TERVAGON_RES_SCRIPT_CLASS, doRegister, nullptr);
}

// The class needs nothing when the module starts or stops.
void ControlInstallerStartStop(bool) {}

constinit ObjectMapEntry g_controlInstaller{
    &CLSID_ControlInstaller,
    &UpdateControlInstallerRegistry,
    &CreateClassObject,
    &CreateControlInstaller,
    nullptr,
    &ControlInstallerCategories,
    &ControlInstallerStartStop,
};

ObjectMapEntry* const g_objectMap[] = {&g_controlInstaller};

}  // namespace

std::span<ObjectMapEntry* const> ObjectMap() noexcept { return g_objectMap; }

}  // namespace server
