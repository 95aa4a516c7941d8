// Spin-lock words and release lists.
#include <windows.h>
#include <oleauto.h>

#include "runtime/core/core.h"
#include "runtime/strings/strings.h"

void take_lock(spin_lock* lock)
{
    // Busy waiting by design: every holder keeps the lock for one short list
    // walk or one system call.
    while (InterlockedExchange(&lock->word, -1) != 0) {
    }
}

void give_lock(spin_lock* lock)
{
    InterlockedExchange(&lock->word, 0);
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
