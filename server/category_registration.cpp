#include "server/category_registration.h"

#include <comcat.h>
#include <cstring>
#include <string>

#include "platform/com_ref.h"
#include "platform/conversion.h"
#include "platform/failure_barrier.h"
#include "platform/registry_key.h"

namespace server {
namespace {

// Removes "CLSID\{class}<suffix>" under HKEY_CLASSES_ROOT when it has no
// subkeys left; a key that doesn't open or still has subkeys stays.
void DeleteIfEmpty(const std::string& classId, const char* suffix) noexcept {
    char key[128];
    const size_t prefixLength = 6;  // "CLSID\"
    const size_t suffixLength = std::strlen(suffix);
    if (prefixLength + classId.size() + suffixLength + 1 > sizeof(key)) return;
    std::memcpy(key, "CLSID\\", prefixLength);
    std::memcpy(key + prefixLength, classId.data(), classId.size());
    std::memcpy(key + prefixLength + classId.size(), suffix, suffixLength + 1);
    platform::RegistryKey opened;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key, 0, KEY_READ, opened.Receive()) != ERROR_SUCCESS) return;
    DWORD subkeys = 0;
    const LONG query = RegQueryInfoKeyA(opened.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                        nullptr, nullptr, nullptr, nullptr, nullptr);
    opened.Reset();  // closed before the key itself may be deleted
    if (query == ERROR_SUCCESS && subkeys == 0) RegDeleteKeyA(HKEY_CLASSES_ROOT, key);
}

void DeleteEmptyCategoryKeys(const CLSID& clsid) noexcept {
    OLECHAR wide[64];
    if (StringFromGUID2(clsid, wide, 64) == 0) return;
    std::string narrow;
    if (!platform::Succeeds([&] { return platform::ToNarrow(wide, narrow); })) return;
    DeleteIfEmpty(narrow, "\\Required Categories");
    DeleteIfEmpty(narrow, "\\Implemented Categories");
}

}  // namespace

HRESULT UpdateClassCategories(const CLSID& clsid, const CategoryMapEntry* map, bool doRegister) noexcept {
    if (map == nullptr || IsEqualCLSID(clsid, GUID_NULL)) return S_OK;
    platform::ComRef<ICatRegister> categories;
    if (FAILED(CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER, IID_ICatRegister,
                                categories.ReceiveVoid())) ||
        !categories)
        return S_OK;
    HRESULT status = S_OK;
    for (const CategoryMapEntry* entry = map; entry->kind != kCategoryEnd; ++entry) {
        CATID category = *entry->category;
        if (doRegister) {
            status = entry->kind == kImplementedCategory
                         ? categories->RegisterClassImplCategories(clsid, 1, &category)
                         : categories->RegisterClassReqCategories(clsid, 1, &category);
            if (FAILED(status)) break;
        } else if (entry->kind == kImplementedCategory) {
            categories->UnRegisterClassImplCategories(clsid, 1, &category);
        } else {
            categories->UnRegisterClassReqCategories(clsid, 1, &category);
        }
    }
    if (!doRegister) DeleteEmptyCategoryKeys(clsid);
    return status;
}

}  // namespace server
