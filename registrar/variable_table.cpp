#include "registrar/variable_table.h"

#include <cstring>

#include "platform/allocation.h"
#include "platform/task_memory.h"

namespace registrar {
namespace {

template <typename Char>
platform::TaskMemory<Char> CopyText(const Char* text, size_t length) {
    platform::TaskMemory<Char> copy = platform::TaskMemory<Char>::Allocate(length + 1);
    if (copy) std::memcpy(copy.Get(), text, (length + 1) * sizeof(Char));
    return copy;
}

size_t WideLength(const OLECHAR* text) {
    size_t length = 0;
    while (text[length] != 0) ++length;
    return length;
}

}  // namespace

HRESULT VariableTable::Add(const char* name, const OLECHAR* value) {
    platform::TaskMemory<char> nameCopy = CopyText(name, std::strlen(name));
    platform::TaskMemory<OLECHAR> valueCopy = CopyText(value, WideLength(value));
    if (!nameCopy || !valueCopy) return E_OUTOFMEMORY;

    // Each array grows by exactly one entry. When the second growth fails, the
    // first array is merely one slot larger than the count says: nothing is lost.
    const SIZE_T slots = static_cast<SIZE_T>(count_) + 1;
    void* names = platform::TaskRealloc(names_, slots * sizeof(char*));
    if (names == nullptr) return E_OUTOFMEMORY;
    names_ = static_cast<char**>(names);
    void* values = platform::TaskRealloc(values_, slots * sizeof(OLECHAR*));
    if (values == nullptr) return E_OUTOFMEMORY;
    values_ = static_cast<OLECHAR**>(values);

    names_[count_] = nameCopy.Detach();
    values_[count_] = valueCopy.Detach();
    ++count_;
    return S_OK;
}

const OLECHAR* VariableTable::Find(const char* name) const {
    for (std::int32_t i = 0; i < count_; ++i) {
        if (lstrcmpiA(names_[i], name) == 0) return values_[i];
    }
    return nullptr;
}

void VariableTable::Clear() {
    for (std::int32_t i = 0; i < count_; ++i) {
        platform::TaskFree(names_[i]);
        platform::TaskFree(values_[i]);
    }
    platform::TaskFree(names_);
    platform::TaskFree(values_);
    names_ = nullptr;
    values_ = nullptr;
    count_ = 0;
}

}  // namespace registrar
