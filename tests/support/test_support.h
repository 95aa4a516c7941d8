// Helpers shared by the run-time's test programs.
#pragma once

#include <string>
#include <vector>

#include "runtime/core/core.h"
#include "runtime/strings/strings.h"

// Pushes a byte string (an owned copy) on the temporary-string stack.
void push_text(const std::string& text);
// Pushes a wide string (an owned copy), as callers do before a wide operation.
void push_wide(const std::wstring& text);
// An ASCII or Latin-1 text widened unit by unit.
std::wstring wide_of(const std::string& text);
// Pops the top entry and returns its bytes, or its units.
std::string pop_text();
std::wstring pop_wide();
// The bytes of a handle.
std::string text_of(string_handle h);

// A fresh, empty folder for the calling test (under the Wine temp folder),
// with a trailing backslash; removed with everything in it by the destructor.
class scratch_folder {
public:
    scratch_folder();
    ~scratch_folder();
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + name; }
    // Writes a file of these bytes in the folder; gives its path.
    std::string write_file(const std::string& name, const std::string& bytes) const;

private:
    std::string path_;
};

// Whole-file helpers on real files (plain Win32, outside the run-time).
// Paths in the ANSI code page, or wide for names the code page lacks.
bool write_file_bytes(const std::string& path, const std::string& bytes);
bool write_file_bytes(const std::wstring& path, const std::string& bytes);
bool read_file_bytes(const std::string& path, std::string* bytes);
bool read_file_bytes(const std::wstring& path, std::string* bytes);
// Bytes in the ANSI code page (paths as the A functions take them) as wide text.
std::wstring widen(const std::string& bytes);
std::string file_bytes(const std::string& path);  // "<unreadable>" when it cannot be read
bool file_exists(const std::string& path);
DWORD attributes_of(const std::string& path);  // INVALID_FILE_ATTRIBUTES when missing
bool set_attributes(const std::string& path, DWORD attributes);

// The folder of the running test executable, with a trailing backslash.
std::string executable_folder();

// Starts a program and waits for it; returns its exit code, or -1 when it
// could not be started, or -2 on time-out (the process is then terminated).
int run_program(const std::string& command_line, unsigned timeout_ms = 30000,
                const std::string& working_folder = std::string());

// Shows bytes readably in assertion messages.
std::string visible_bytes(const std::string& bytes);

// Whether the tests run under Wine rather than Windows: used only to mark
// known differences, each with its reason.
bool running_under_wine();
