// What the slate tells the user, in its own language: a save that failed,
// and a slate that can keep no notes file at all.  Each message names the
// file and the system's reason, in a box owned by the slate.
#include "app/slate/slate_messages.h"

#include <string.h>

#include "app/notes/notes_path.h"
#include "app/slate/slate_main.h"
#include "runtime/strings/strings.h"

namespace {

const wchar_t SAVE_FAILED_HEAD[] = L"No se pudieron guardar las notas en el archivo\r\n";
const wchar_t SAVE_FAILED_TAIL[] =
    L"\r\n\r\nEl texto sigue en la pizarra. Pulse \"Salir\" para intentarlo de nuevo.";
const wchar_t NO_NOTES_FILE_HEAD[] = L"No se podr\u00E1n guardar las notas en el archivo\r\n";
const wchar_t NO_NOTES_FILE_TAIL[] = L"\r\n\r\nLo que escriba en la pizarra no se guardar\u00E1.";
const wchar_t PARAGRAPH[] = L"\r\n\r\n";
const uint32_t REASON_UNITS = 512;

uint32_t units_of(const wchar_t* text)
{
    return static_cast<uint32_t>(lstrlenW(text));
}

// Appends wide text at *end.
void put_units(wchar_t** end, const wchar_t* text, uint32_t units)
{
    memcpy(*end, text, units * sizeof(wchar_t));
    *end += units;
}

// The system's words for an error, without the line end it ends with.
void system_reason(DWORD error, wchar_t* reason)
{
    DWORD units = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, error, 0, reason, REASON_UNITS, nullptr);
    while (units > 0 && (reason[units - 1] == L'\r' || reason[units - 1] == L'\n' ||
                         reason[units - 1] == L' '))
        --units;
    if (units == 0)
        wsprintfW(reason, L"Error %lu", error);
    else
        reason[units] = 0;
}

// head, the notes file's path, the reason, tail: in a message box owned by
// the slate, which stays as it is.
void show_file_message(HWND window, const wchar_t* head, DWORD error, const wchar_t* tail)
{
    activation frame;
    wchar_t reason[REASON_UNITS];
    system_reason(error, reason);
    string_handle file = notes_file_path();
    uint32_t total = units_of(head) + wide_units(file) + units_of(PARAGRAPH) + units_of(reason) +
                     units_of(tail);
    string_handle message = alloc_wide_string(total);
    if (message) {
        wchar_t* end = const_cast<wchar_t*>(wide_text(message));
        put_units(&end, head, units_of(head));
        put_units(&end, wide_text(file), wide_units(file));
        put_units(&end, PARAGRAPH, units_of(PARAGRAPH));
        put_units(&end, reason, units_of(reason));
        put_units(&end, tail, units_of(tail));
    }
    MessageBoxW(window, message ? wide_text(message) : reason, SLATE_CAPTION, MB_OK | MB_ICONERROR);
    release_string(message);
    release_string(file);
}

}  // namespace

void show_save_failure(HWND window, DWORD error)
{
    show_file_message(window, SAVE_FAILED_HEAD, error, SAVE_FAILED_TAIL);
}

void show_no_notes_file(HWND window)
{
    show_file_message(window, NO_NOTES_FILE_HEAD, notes_path_state.error, NO_NOTES_FILE_TAIL);
}
