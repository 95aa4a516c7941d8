// An owned string of the run-time, released once: the notes' paths and
// texts while a procedure works with them.
#pragma once

#include "runtime/strings/strings.h"

struct owned_string {
    string_handle value = 0;  // owned
    owned_string() = default;
    explicit owned_string(string_handle h) : value(h) {}
    owned_string(const owned_string&) = delete;
    owned_string& operator=(const owned_string&) = delete;
    ~owned_string() { release_string(value); }
};
