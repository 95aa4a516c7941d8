// What the slate tells the user, in its own language: a save that failed,
// and a slate that can keep no notes file at all.  Each message names the
// file and the system's reason, in a box owned by the slate.
#include "app/slate/slate_messages.h"

#include <string.h>

#include "app/notes/notes_path.h"
#include "app/notes/notes_write.h"
#include "app/slate/slate_main.h"
#include "runtime/strings/strings.h"

namespace {

const wchar_t SAVE_FAILED_HEAD[] = L"No se pudieron guardar las notas en el archivo\r\n";
const wchar_t SAVE_FAILED_TAIL[] =
    L"\r\n\r\nEl texto sigue en la pizarra. Pulse \"Salir\" para intentarlo de nuevo.";
const wchar_t NO_NOTES_FILE_HEAD[] = L"No se podr\u00E1n guardar las notas en el archivo\r\n";
const wchar_t NO_NOTES_FILE_TAIL[] = L"\r\n\r\nLo que escriba en la pizarra no se guardar\u00E1.";
const wchar_t PARAGRAPH[] = L"\r\n\r\n";
const wchar_t LOCK_HELD_REASON[] = L"Otro programa tiene abierto el archivo de bloqueo\r\n";
const uint32_t REASON_UNITS = 512;

uint32_t units_of(const wchar_t* text)
{
    return static_cast<uint32_t>(lstrlenW(text));
}

// Appends wide text at *end.
void put_units(wchar_t** end, const wchar_t* text, uint32_t units)
{
    if (units > 0)
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

// One part of a message.
struct message_part {
    const wchar_t* units;
    uint32_t count;
};

// head, the notes file's path, the reason, tail.  The reason is the system's,
// or for a save lock that another program holds, that and the lock's path.
void show_file_message(HWND window, const wchar_t* head, DWORD error, const wchar_t* tail)
{
    activation frame;
    wchar_t reason[REASON_UNITS];
    string_handle lock = 0;
    if (error == ERROR_LOCK_HELD) {
        lstrcpyW(reason, LOCK_HELD_REASON);
        lock = notes_lock_path();
    } else {
        system_reason(error, reason);
    }
    string_handle file = notes_file_path();
    const message_part parts[] = {
        {head, units_of(head)},
        {wide_text(file), wide_units(file)},
        {PARAGRAPH, units_of(PARAGRAPH)},
        {reason, units_of(reason)},
        {wide_text(lock), wide_units(lock)},
        {tail, units_of(tail)},
    };
    uint32_t total = 0;
    for (const message_part& part : parts)
        total += part.count;
    string_handle message = alloc_wide_string(total);
    if (message) {
        wchar_t* end = const_cast<wchar_t*>(wide_text(message));
        for (const message_part& part : parts)
            put_units(&end, part.units, part.count);
    }
    // Without the memory for the whole message, the reason alone.
    MessageBoxW(window, message ? wide_text(message) : reason, SLATE_CAPTION, MB_OK | MB_ICONERROR);
    release_string(message);
    release_string(lock);
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
