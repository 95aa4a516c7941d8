// Releasing what a holder owns: an owned string value, and the variables of
// a release list.
#include <windows.h>
#include <oleauto.h>

#include "runtime/core/core.h"

void release_string(string_handle h)
{
    if (h && !is_borrowed(h))
        SysFreeString(reinterpret_cast<BSTR>(h));
}

void release_variable(const release_entry& entry)
{
    switch (entry.kind) {
    case RELEASE_STRING: {
        string_handle* variable = static_cast<string_handle*>(entry.variable);
        string_handle value = *variable;
        *variable = 0;
        release_string(value);
        break;
    }
    case RELEASE_OBJECT: {
        IUnknown** object = static_cast<IUnknown**>(entry.variable);
        IUnknown* value = *object;
        *object = nullptr;
        if (value)
            value->Release();
        break;
    }
    case RELEASE_VARIANT:
        VariantClear(static_cast<VARIANT*>(entry.variable));
        break;
    default:
        break;
    }
}

void release_variables(const release_list& list)
{
    for (uint32_t i = 0; i < list.count; ++i)
        release_variable(list.entries[i]);
}
