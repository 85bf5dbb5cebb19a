// The page's own scripting object, as `page` in the script: write(...) and
// writeln(...) print their arguments to the host's output, and `location` is
// the address the page was loaded from.
#pragma once

#include <cstdio>
#include <string>

#include "platform/win32.h"
#include "tools/pagehost/single_interface_object.h"

namespace pagehost {

class PageObject final : public SingleInterfaceObject<IDispatch> {
public:
    enum : DISPID { kWrite = 1, kWriteLine = 2, kLocation = 3 };

    // Starts with one reference, owned by the caller.
    PageObject(std::FILE* out, std::wstring location);

    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* badArgument) override;

private:
    ~PageObject() override = default;
    HRESULT Write(const DISPPARAMS& params, bool newline, UINT* badArgument);

    std::FILE* out_;
    std::wstring location_;
};

}  // namespace pagehost
