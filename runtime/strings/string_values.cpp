// String values and the temporary-string stack of each activation.
#include <windows.h>
#include <oleauto.h>
#include <string.h>

#include "runtime/strings/strings.h"

namespace {

// The text of every empty value: readers never test for null separately.
alignas(8) const char empty_string_buffer[8] = {};

inline char* address_of(string_handle h)
{
    return reinterpret_cast<char*>(h & ~static_cast<string_handle>(1));
}

// The statement needs more temporaries than the stack holds: a program fault,
// not a condition to recover from.
[[noreturn]] void temp_stack_overflow()
{
    raise_error(RUNTIME_ERROR_MISSING_FEATURE);
    end_process_fatal();
}

}  // namespace

const char* string_text(string_handle h)
{
    char* p = address_of(h);
    return p ? p : empty_string_buffer;
}

uint32_t string_bytes(string_handle h)
{
    const char* p = address_of(h);
    return p ? reinterpret_cast<const uint32_t*>(p)[-1] : 0;
}

string_handle alloc_string(uint32_t length)
{
    if (length == 0)
        return 0;
    BSTR value = SysAllocStringByteLen(nullptr, length);
    return reinterpret_cast<string_handle>(value);
}

string_handle alloc_wide_string(uint32_t units)
{
    if (units == 0)
        return 0;
    BSTR value = SysAllocStringLen(nullptr, units);
    return reinterpret_cast<string_handle>(value);
}

string_handle copy_string(const void* bytes, uint32_t length)
{
    string_handle h = alloc_string(length);
    if (h)
        memcpy(address_of(h), bytes, length);
    return h;
}

string_handle copy_wide_string(const wchar_t* units, uint32_t count)
{
    string_handle h = alloc_wide_string(count);
    if (h)
        memcpy(address_of(h), units, count * sizeof(wchar_t));
    return h;
}

// ---------------------------------------------------------------------------

namespace {

void push_entry(string_handle h)
{
    procedure_frame* frame = current_frame();
    if (!frame || frame->depth >= TEMP_STACK_SIZE)
        temp_stack_overflow();
    frame->temps[frame->depth++] = h;
}

}  // namespace

void push_borrowed(string_handle h)
{
    push_entry(h | 1u);
}

void push_empty()
{
    push_entry(0);
}

void push_owned(string_handle h)
{
    push_entry(h);
}

string_handle pop_string()
{
    procedure_frame* frame = current_frame();
    if (!frame || frame->depth == 0)
        return 0;
    return frame->temps[--frame->depth];
}

void pop_release()
{
    release_string(pop_string());
}

string_handle peek_string(uint32_t depth)
{
    procedure_frame* frame = current_frame();
    if (!frame || depth >= frame->depth)
        return 0;
    return frame->temps[frame->depth - 1 - depth];
}

void replace_string(uint32_t depth, string_handle h)
{
    procedure_frame* frame = current_frame();
    if (!frame || depth >= frame->depth) {
        release_string(h);
        return;
    }
    string_handle& slot = frame->temps[frame->depth - 1 - depth];
    string_handle old = slot;
    slot = h;
    release_string(old);
}

uint32_t temp_depth()
{
    procedure_frame* frame = current_frame();
    return frame ? frame->depth : 0;
}

void assign_string(string_handle* variable)
{
    string_handle top = pop_string();
    string_handle previous = *variable;
    if (top && !is_borrowed(top)) {
        // An owned temporary moves into the variable.
        *variable = top;
        release_string(previous);
        return;
    }
    uint32_t n = string_bytes(top);
    if (n == 0) {
        *variable = 0;
        release_string(previous);
        return;
    }
    if (previous && string_bytes(previous) == n) {
        // Same length: reuse the variable's storage (memmove: the reference
        // may be to the variable's own value).
        memmove(address_of(previous), string_text(top), n);
        return;
    }
    string_handle fresh = copy_string(string_text(top), n);
    *variable = fresh;
    release_string(previous);
    if (!fresh)
        raise_error(RUNTIME_ERROR_OUT_OF_MEMORY);
}

const void* pass_to_system(string_handle* holder)
{
    string_handle top = pop_string();
    if (top && !is_borrowed(top)) {
        *holder = top;
        return address_of(top);
    }
    uint32_t n = string_bytes(top);
    if (n == 0) {
        *holder = 0;
        return nullptr;
    }
    string_handle copy = copy_string(string_text(top), n);
    *holder = copy;
    if (!copy) {
        raise_error(RUNTIME_ERROR_OUT_OF_MEMORY);
        return nullptr;
    }
    return address_of(copy);
}
