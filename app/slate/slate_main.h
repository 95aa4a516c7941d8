// The memo slate: one always-on-top dialog with a notes box and two buttons,
// "Borrar" and "Salir", whose text is kept in "veslinn.txt" beside the
// executable.  Its start and layout.
#pragma once

#include <windows.h>

#include <stdint.h>

enum : uint32_t {
    ID_NOTES_BOX = 1001,
    ID_CLEAR_BUTTON = 1002,
    ID_LEAVE_BUTTON = 1003,
};

// The slate's caption, also the caption of its messages.
inline constexpr wchar_t SLATE_CAPTION[] = L"Veslinn";

// The application entry: prepares the common controls and runs the slate.
int32_t slate_main();
// Builds the slate, runs it modally and tears down what it made.
int32_t show_slate(HWND parent);
