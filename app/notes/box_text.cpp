// The notes box's text, read whole and shown.
#include "app/notes/box_text.h"

#include <stdlib.h>

#include "app/notes/file_care.h"
#include "runtime/controls/controls.h"
#include "runtime/strings/strings.h"

box_text::~box_text()
{
    free(units);
}

wchar_t* box_text::take()
{
    wchar_t* taken = units;
    units = nullptr;
    count = 0;
    return taken;
}

bool read_box_text(HWND box, box_text* text)
{
    free(text->take());
    int length = GetWindowTextLengthW(box);
    if (length <= 0)
        return true;  // an empty box
    // Text beyond what the system's conversions take counts as memory
    // running out, as for the notes file's bytes.
    if (static_cast<uint64_t>(length) + 1 > GATHER_LIMIT / sizeof(wchar_t))
        return false;
    size_t bytes = (static_cast<size_t>(length) + 1) * sizeof(wchar_t);
    wchar_t* units = static_cast<wchar_t*>(malloc(bytes));
    if (!units)
        return false;
    // The length may be more than the text (the system may count for a
    // conversion it did not make): what the box gives is the text.
    int got = GetWindowTextW(box, units, length + 1);
    if (got <= 0) {
        free(units);
        return false;
    }
    text->units = units;
    text->count = static_cast<uint32_t>(got);
    return true;
}

void show_in_box(HWND box, string_handle wide)
{
    push_owned(wide);
    set_control_text(box);
    int units = GetWindowTextLengthW(box);
    SendMessageW(box, EM_SETSEL, static_cast<WPARAM>(units), static_cast<LPARAM>(units));
}
