// The three module-wide records live in this one file so that the language's
// rule for objects of one translation unit fixes their order: built in the
// order written, before DllMain runs, and torn down in reverse after it has
// seen the process detach.
#include "server/module_records.h"

#include "platform/com_ref.h"
#include "server/module.h"
#include "Tervagon.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace server {
namespace {

bool g_lockInitialisationFailed = false;

HMODULE ThisModule() noexcept { return reinterpret_cast<HMODULE>(&__ImageBase); }

BaseModule g_baseModule{ThisModule()};
ComModule g_comModule{ThisModule(), ObjectMap()};
Module g_module{ThisModule(), LIBID_TervagonLib};

}  // namespace

void NoteLockInitialisationFailure() noexcept { g_lockInitialisationFailed = true; }
bool LockInitialisationFailed() noexcept { return g_lockInitialisationFailed; }

BaseModule& TheBaseModule() noexcept { return g_baseModule; }
ComModule& TheComModule() noexcept { return g_comModule; }

BaseModule::BaseModule(HMODULE module) noexcept : module_(module), resourceModule_(module) {
    if (!resourceLock_.Initialised()) NoteLockInitialisationFailure();
}

ComModule::ComModule(HMODULE typeLibraryModule, std::span<ObjectMapEntry* const> objectMap) noexcept
    : initialised_(1), typeLibraryModule_(typeLibraryModule), objectMap_(objectMap) {
    if (!objectMapLock_.Initialised()) NoteLockInitialisationFailure();
}

ComModule::~ComModule() {
    if (initialised_ == 0) return;
    for (ObjectMapEntry* entry : objectMap_) {
        if (entry == nullptr) continue;
        platform::ComRef<IUnknown> classObject(entry->classObject.exchange(nullptr));
    }
    initialised_ = 0;
}

}  // namespace server
