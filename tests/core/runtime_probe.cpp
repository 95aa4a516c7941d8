// A program started through process_entry by the core tests.  The variables
// PROBE_MODE and PROBE_FOLDER of its environment say what to do and where to
// leave files that tell the test what happened:
//   return7   - returns 7 from the application entry
//   checked N - raise_checked(N) (N from PROBE_NUMBER), returns the recorded number
//   tail      - writes the argument tail, the show command and the x87
//               control word, returns 0
// The program's globals release list holds one object whose Release writes
// "released" into the folder: the file shows whether the release step ran.
#include <windows.h>
#include <objbase.h>

#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#include "runtime/core/core.h"

namespace {

wchar_t folder[MAX_PATH];

void write_marker(const wchar_t* name, const char* text)
{
    wchar_t path[MAX_PATH * 2];
    swprintf(path, sizeof path / sizeof path[0], L"%ls\\%ls", folder, name);
    HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(h, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
    CloseHandle(h);
}

// Reports its final Release through a marker file.
struct release_marker : IUnknown {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        write_marker(L"released", "released");
        return 0;
    }
};

release_marker marker_object;
IUnknown* marker_variable = &marker_object;
const release_entry globals[] = {{&marker_variable, RELEASE_OBJECT}};

int32_t probe_entry(HINSTANCE, uint32_t, const wchar_t* tail, int32_t show_command)
{
    activation frame;
    wchar_t mode[32] = {};
    wchar_t number_text[32] = {};
    GetEnvironmentVariableW(L"PROBE_MODE", mode, 32);
    GetEnvironmentVariableW(L"PROBE_NUMBER", number_text, 32);
    GetEnvironmentVariableW(L"PROBE_FOLDER", folder, MAX_PATH);
    int number = static_cast<int>(wcstol(number_text, nullptr, 10));

    write_marker(L"entered", "entered");
    if (wcscmp(mode, L"return7") == 0)
        return 7;
    if (wcscmp(mode, L"checked") == 0) {
        raise_checked(number);
        return static_cast<int32_t>(error_number());
    }
    if (wcscmp(mode, L"tail") == 0) {
        char text[1024];
        // Bit 6 of the x87 control word is reserved and reads back as 1.
        snprintf(text, sizeof text, "%ls|%d|%04X", tail, show_command,
                 get_fpu_control_word() & ~0x40);
        write_marker(L"tail", text);
        return 0;
    }
    return 99;
}

}  // namespace

const program_image the_program = {probe_entry, OPTION_BUILD_DEFAULT_FONTS, nullptr,
                                   {globals, 1}, {nullptr, 0}};

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    process_entry();
}
