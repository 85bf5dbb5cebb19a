// Every BSTR and every block of task memory that the system makes goes through
// these functions, so that a test can make a chosen allocation fail and can
// count the strings still alive. Unarmed, the seam costs one relaxed load.
#pragma once

#include "platform/win32.h"

namespace platform {

BSTR AllocString(const OLECHAR* text);                 // SysAllocString
BSTR AllocStringLen(const OLECHAR* text, UINT length);  // SysAllocStringLen
void FreeString(BSTR text);                             // SysFreeString
// VarBstrCat; an injected failure answers E_OUTOFMEMORY.
HRESULT ConcatStrings(BSTR left, BSTR right, BSTR* joined);

void* TaskAlloc(SIZE_T size);               // CoTaskMemAlloc
void* TaskRealloc(void* block, SIZE_T size);  // CoTaskMemRealloc
void TaskFree(void* block);                 // CoTaskMemFree

namespace allocation_seam {
// Makes the n-th allocation from now fail (1: the next one); 0 disarms.
// Every allocation through the functions above counts, strings and task memory alike.
void FailNth(unsigned n);
// Allocations still to go before the armed failure; 0 when unarmed or already fired.
unsigned Pending();
// Strings made through AllocString/AllocStringLen/ConcatStrings and not yet given
// back through FreeString. A caller that frees a handed-out string with
// SysFreeString directly is not seen: tests free through FreeString.
long LiveStrings();
}  // namespace allocation_seam

}  // namespace platform
