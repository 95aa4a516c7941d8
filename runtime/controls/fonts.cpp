// The process-wide font list.  Fonts are asked for by description and named
// by small numbers; equal descriptions share one record and one handle.  The
// handle is made when a control first shows the font, sized for that
// control's screen.  Records stay in the list for the whole run.
#include <windows.h>
#include <math.h>
#include <stddef.h>
#include <string.h>

#include "runtime/controls/controls.h"
#include "runtime/strings/strings.h"

font_record* g_font_list = nullptr;  // owns every record and every record's handle
spin_lock g_font_lock = {0};

namespace {

enum : uint32_t {
    FORMAT_WORD = 0x2000,
    BUILT_IN_FONTS = 3,
    FACE_CHARACTERS = LF_FACESIZE - 1,  // longer faces are cut
    POINTS_PER_INCH = 72,
};

// Saved in a control record's previous_font when the control had no font of
// its own: the system font is put back on release.
const uintptr_t NO_PREVIOUS_FONT = ~static_cast<uintptr_t>(0);

// The part of a description that decides whether two fonts are equal: from
// the format word through the end of the face name, leaving out the height
// and width that are only filled in when a handle is made.
bool descriptions_equal(const font_description& a, const font_description& b)
{
    const size_t head = offsetof(font_description, log_font);
    const size_t tail_start = offsetof(LOGFONTW, lfEscapement);
    const uint8_t* pa = reinterpret_cast<const uint8_t*>(&a);
    const uint8_t* pb = reinterpret_cast<const uint8_t*>(&b);
    return memcmp(pa, pb, head) == 0 &&
           memcmp(pa + head + tail_start, pb + head + tail_start,
                  sizeof(LOGFONTW) - tail_start) == 0;
}

void describe_font(font_description* description, const wchar_t* face, uint32_t face_units,
                   float point_size, uint32_t style, uint32_t charset, uint32_t pitch,
                   int32_t escapement)
{
    memset(description, 0, sizeof(*description));
    if (point_size == 0.0f)
        point_size = 8.0f;
    if (style & FONT_CELL_HEIGHT)
        point_size = -point_size;
    description->format_word = FORMAT_WORD;
    description->point_size = point_size;
    LOGFONTW& log_font = description->log_font;
    log_font.lfEscapement = escapement;
    log_font.lfOrientation = escapement;
    log_font.lfWeight = (style & FONT_BOLD) ? FW_BOLD : FW_NORMAL;
    log_font.lfItalic = (style & FONT_ITALIC) ? 1 : 0;
    log_font.lfUnderline = (style & FONT_UNDERLINE) ? 1 : 0;
    log_font.lfStrikeOut = (style & FONT_STRIKEOUT) ? 1 : 0;
    log_font.lfCharSet = static_cast<BYTE>(charset);
    log_font.lfPitchAndFamily = static_cast<BYTE>(pitch);
    if (face_units > FACE_CHARACTERS)
        face_units = FACE_CHARACTERS;
    memcpy(log_font.lfFaceName, face, face_units * sizeof(wchar_t));
}

// A built-in font: use count 1 from the start, so it is never deleted.
void add_built_in_font(const wchar_t* face, float point_size, BYTE pitch)
{
    font_record* font = append_font();
    if (!font) {
        raise_error(RUNTIME_ERROR_INVALID_ARGUMENT);
        return;
    }
    font_description& description = font->description;
    description.format_word = FORMAT_WORD;
    description.point_size = point_size;
    description.log_font.lfWeight = FW_NORMAL;
    description.log_font.lfPitchAndFamily = pitch;
    wcsncpy(description.log_font.lfFaceName, face, FACE_CHARACTERS);
    font->use_count = 1;
}

// The height in pixels for a size in points at the control's resolution,
// rounded to nearest with halves to even (the default rounding mode).
LONG font_height(HWND control, float point_size)
{
    HDC dc = GetDC(control);
    int pixels_per_inch = dc ? GetDeviceCaps(dc, LOGPIXELSY) : USER_DEFAULT_SCREEN_DPI;
    if (dc)
        ReleaseDC(control, dc);
    double pixels = static_cast<double>(pixels_per_inch) * point_size / POINTS_PER_INCH;
    return -static_cast<LONG>(nearbyint(pixels));
}

}  // namespace

font_record* find_font(uint32_t number)
{
    lock_hold hold(&g_font_lock);
    for (font_record* font = g_font_list; font; font = font->next) {
        if (font->number == number)
            return font;
    }
    return nullptr;
}

font_record* match_font(const font_description& description)
{
    lock_hold hold(&g_font_lock);
    for (font_record* font = g_font_list; font; font = font->next) {
        if (descriptions_equal(font->description, description))
            return font;
    }
    return nullptr;
}

font_record* append_font()
{
    font_record* font = static_cast<font_record*>(GlobalAlloc(GPTR, sizeof(font_record)));
    if (!font)
        return nullptr;
    lock_hold hold(&g_font_lock);
    uint32_t count = 0;
    font_record** link = &g_font_list;
    for (; *link; link = &(*link)->next)
        ++count;
    font->number = count + 1;
    *link = font;
    return font;
}

void build_default_fonts()
{
    if (find_font(DEFAULT_FONT_NUMBER))
        return;  // built already
    add_built_in_font(L"MS Sans Serif", 8.0f, DEFAULT_PITCH);
    add_built_in_font(L"Lucida Console", 0.0f, FIXED_PITCH);  // the font's own height
    add_built_in_font(L"Lucida Console", 11.0f, FIXED_PITCH);
}

uint32_t create_font(float point_size, uint32_t style, uint32_t charset, uint32_t pitch,
                     int32_t escapement)
{
    string_handle face = pop_string();
    font_description description;
    describe_font(&description, wide_text(face), wide_units(face), point_size, style, charset,
                  pitch, escapement);
    release_string(face);

    font_record* font = match_font(description);
    if (font)
        return font->number;
    font = append_font();
    if (!font) {
        raise_error(RUNTIME_ERROR_INVALID_ARGUMENT);
        return 0;
    }
    font->description = description;
    return font->number;
}

void delete_font(uint32_t number)
{
    if (number <= BUILT_IN_FONTS)
        return;
    font_record* font = find_font(number);
    if (!font || font->use_count != 0)
        return;
    if (font->handle) {
        DeleteObject(font->handle);
        font->handle = nullptr;
    }
    if (font->graphic_handles[1]) {
        DeleteObject(font->graphic_handles[1]);
        font->graphic_handles[1] = nullptr;
    }
}

void set_control_font(HWND dialog, uint32_t id, uint32_t number)
{
    HWND control = GetDlgItem(dialog, static_cast<int>(id));
    if (number == 0)
        number = DEFAULT_FONT_NUMBER;
    window_record* record = control ? find_record(control) : nullptr;
    if (!record)
        return;
    font_record* font = find_font(number);
    if (!font)
        return;

    if (!font->handle) {
        // The first control to show the font fixes its height.
        LOGFONTW& log_font = font->description.log_font;
        LONG height = font_height(control, font->description.point_size);
        LOGFONTW sized = log_font;
        sized.lfHeight = height;
        HFONT handle = CreateFontIndirectW(&sized);
        if (!handle)
            return;
        log_font.lfHeight = height;
        font->handle = handle;
    }

    // A graphic control draws through the graphic-window run-time, which
    // selects fonts into its own surface; nothing is sent to the window.
    if (record->class_index == ROW_GRAPHIC)
        return;

    if (record->previous_font == 0) {
        HFONT current = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
        record->previous_font = current ? reinterpret_cast<uintptr_t>(current) : NO_PREVIOUS_FONT;
    }
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font->handle), TRUE);

    // The message may have run application code: find the record again.
    record = find_record(control);
    if (!record)
        return;
    uint32_t previous_number = static_cast<uint32_t>(record->font);
    font->use_count += 1;
    record->font = number;
    if (previous_number != 0) {
        font_record* previous = find_font(previous_number);
        if (previous)
            previous->use_count -= 1;
    }
}

void release_control_font(window_record* record)
{
    // Only a control's font field names a run-time font; a dialog's holds
    // the window system's handle.
    if (!record || !(record->kind & KIND_CONTROL) || record->font == 0)
        return;
    font_record* font = find_font(static_cast<uint32_t>(record->font));
    if (!font)
        return;
    record->font = 0;
    font->use_count -= 1;
    uintptr_t saved = record->previous_font;
    record->previous_font = 0;
    if (saved) {
        HFONT restored = saved == NO_PREVIOUS_FONT ? nullptr : reinterpret_cast<HFONT>(saved);
        SendMessageW(record->hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(restored), FALSE);
    }
}
