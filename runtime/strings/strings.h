// Counted byte and wide strings with a per-activation temporary-string stack.
//
// A string_handle is 0 for the empty string, otherwise the address of the first
// byte of the text.  The 32-bit byte length sits just before that address and a
// zero terminator follows the text (wide strings: a zero unit).  A handle with
// its lowest bit set is a borrowed reference: the text belongs to somebody else
// (a program constant or a variable's current value) and is never freed by the
// holder of the reference.  Owned values come from SysAllocStringByteLen /
// SysAllocStringLen and are freed with SysFreeString.
//
// Run-time operations take their string operands from the top of the calling
// activation's temporary-string stack and leave their results there.  Every
// operation removes exactly its operands and leaves exactly one result (or
// none), also when it fails.
//
// The run-time's conventions (truth values, helper linkage, W calls, failures)
// are said once, in core.h.
#pragma once

#include "runtime/core/core.h"

// ---------------------------------------------------------------------------
// Program constants: a 32-bit length, the bytes and a zero, never freed.
template <size_t N>
struct string_constant {
    uint32_t length;
    char text[N];
};

// The handle (address of the text) of a string literal held as a program
// constant.  Push it with push_borrowed.
#define STRING_LITERAL(lit)                                                            \
    ([]() -> string_handle {                                                           \
        alignas(4) static const string_constant<sizeof(lit)> constant_ = {sizeof(lit) - 1, \
                                                                           lit};       \
        return reinterpret_cast<string_handle>(constant_.text);                        \
    }())

// ---------------------------------------------------------------------------
// Reading a handle.
const char* string_text(string_handle h);        // the empty-string buffer for an empty value
uint32_t string_bytes(string_handle h);          // length in bytes (0 for an empty value)
inline const wchar_t* wide_text(string_handle h) { return reinterpret_cast<const wchar_t*>(string_text(h)); }
inline uint32_t wide_units(string_handle h) { return string_bytes(h) / 2; }

// ---------------------------------------------------------------------------
// Value primitives.
// An owned byte string of `length` bytes (to be filled), or 0 for length 0.
// Returns 0 for a non-zero length when the allocator fails: the caller decides
// whether to record RUNTIME_ERROR_OUT_OF_MEMORY.
string_handle alloc_string(uint32_t length);
string_handle alloc_wide_string(uint32_t units);
// Owned copies (0 when empty or when allocation fails).
string_handle copy_string(const void* bytes, uint32_t length);
string_handle copy_wide_string(const wchar_t* units, uint32_t count);

// ---------------------------------------------------------------------------
// The temporary-string stack of the calling activation.
void push_borrowed(string_handle h);             // pushes h with the borrowed bit set
void push_empty();
void push_owned(string_handle h);                // the stack now owns h
void pop_release();
void assign_string(string_handle* variable);
// Removes the top entry and gives an owned, zero-terminated value in *holder;
// returns its address, or null for the empty string.  Free holder with
// release_string after the system call.
const void* pass_to_system(string_handle* holder);

// For run-time operations: look at, take or replace entries.
string_handle peek_string(uint32_t depth = 0);   // entry at depth (0 = top), 0 if absent
string_handle pop_string();                      // removes the top entry; the caller takes it over
void replace_string(uint32_t depth, string_handle h);  // releases the old entry
uint32_t temp_depth();                           // entries in use

// ---------------------------------------------------------------------------
// String functions (operands on the stack, top last).
void concat_strings();                           // A, B -> A followed by B
uint32_t string_length();                        // S -> its byte length
void mid_string(int32_t start, int32_t count);   // S -> part of S
int32_t find_string(int32_t start);              // T, P -> position of P in T, 0 if absent
void push_zstring(const char* buffer);           // pushes a copy of a zero-terminated text
void store_zstring(char* buffer, uint32_t capacity);  // S -> copied into the buffer
void to_wide_in_place(uint32_t depth);           // byte string -> wide string
void to_bytes_in_place(uint32_t depth);          // wide string -> byte string

// The search behind find_string, on plain memory: 1-based position or 0.
int32_t find_bytes(const uint8_t* text, uint32_t n, const uint8_t* pattern, uint32_t m,
                   int32_t start);
