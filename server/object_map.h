// The table of creatable classes. DllGetClassObject and self-registration walk
// it in order; empty slots are skipped.
#pragma once

#include <atomic>
#include <span>

#include "platform/win32.h"

namespace server {

// A category map lists {kind, category}, ended by kind 0.
constexpr int kCategoryEnd = 0;
constexpr int kImplementedCategory = 1;
constexpr int kRequiredCategory = 2;

struct CategoryMapEntry {
    int kind;
    const GUID* category;
};

// Makes an object of the class: null outer object for the plain form,
// otherwise the aggregated form.
using InstanceCreator = HRESULT (*)(IUnknown* outer, REFIID iid, void** object);

struct ObjectMapEntry {
    const CLSID* clsid;
    HRESULT (*updateRegistry)(bool doRegister);
    HRESULT (*createClassObject)(InstanceCreator creator, REFIID iid, void** object);
    InstanceCreator createInstance;
    // Owned; built on the first DllGetClassObject for the class and kept until
    // teardown. Read without the object-map lock first, so it is atomic.
    std::atomic<IUnknown*> classObject;
    const CategoryMapEntry* (*categoryMap)();
    void (*startStop)(bool starting);
};

std::span<ObjectMapEntry* const> ObjectMap() noexcept;

}  // namespace server
