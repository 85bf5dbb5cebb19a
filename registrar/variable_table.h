// The script variables of one registrar: narrow names, UTF-16 values, in the
// order they were added. Names are not checked for duplicates; a lookup takes
// the first entry whose name matches without regard to case.
#pragma once

#include <cstdint>

#include "platform/win32.h"

namespace registrar {

class VariableTable {
public:
    VariableTable() = default;
    ~VariableTable() { Clear(); }
    VariableTable(const VariableTable&) = delete;
    VariableTable& operator=(const VariableTable&) = delete;

    // Copies both texts and appends them as one entry; E_OUTOFMEMORY leaves the
    // table as it was.
    HRESULT Add(const char* name, const OLECHAR* value);

    // The value of the first entry named so (lstrcmpiA), or null.
    const OLECHAR* Find(const char* name) const;

    void Clear();
    std::int32_t Count() const { return count_; }

private:
    char** names_ = nullptr;
    OLECHAR** values_ = nullptr;
    std::int32_t count_ = 0;
};

}  // namespace registrar
