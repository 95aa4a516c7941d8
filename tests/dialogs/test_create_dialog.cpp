// Dialog creation: the template handed to the window system, the style
// adjustments, pixel and dialog-unit sizing, placement and the caption.
#include "tests/dialogs/dialog_fixture.h"

#include <string.h>

namespace {

template <typename Value>
Value value_at(const uint8_t* bytes, uint32_t offset)
{
    Value value;
    memcpy(&value, bytes + offset, sizeof value);
    return value;
}
const auto word_at = value_at<uint16_t>;
const auto dword_at = value_at<uint32_t>;

std::wstring wide_at(const uint8_t* bytes, uint32_t offset)
{
    std::wstring text;
    while (uint16_t unit = word_at(bytes, offset)) {
        text += static_cast<wchar_t>(unit);
        offset += 2;
    }
    return text;
}

RECT work_area()
{
    RECT work = {0, 0, 0, 0};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

// Makes the thread's default dialog font a font of this description for the
// lifetime of the object.
struct default_font_override {
    default_font_override(const std::wstring& face, float points, uint32_t style)
    {
        push_owned(copy_wide_string(face.data(), static_cast<uint32_t>(face.size())));
        uint32_t number = create_font(points, style, 0, 0, 0);
        saved = current_thread_record()->default_dialog_font;
        current_thread_record()->default_dialog_font = static_cast<int32_t>(number);
    }
    ~default_font_override() { current_thread_record()->default_dialog_font = saved; }
    int32_t saved;
};

}  // namespace

// Every field of the template, at its offset in the platform's layout.
TEST(dialog_template, fields_in_platform_order)
{
    alignas(4) uint8_t bytes[512];
    uint32_t size = build_dialog_template(bytes, 0x80C000D4, WS_EX_TOPMOST, 0x12345, -2,
                                          0x10000 + 1000, 0x10000 + 700);

    EXPECT_EQ(word_at(bytes, 0), 1) << "dlgVer";
    EXPECT_EQ(word_at(bytes, 2), 0xFFFF) << "signature";
    EXPECT_EQ(dword_at(bytes, 4), 0u) << "helpID";
    EXPECT_EQ(dword_at(bytes, 8), static_cast<uint32_t>(WS_EX_TOPMOST)) << "exStyle";
    EXPECT_EQ(dword_at(bytes, 12), 0x80C000D4u) << "style";
    EXPECT_EQ(word_at(bytes, 16), 0) << "cDlgItems";
    EXPECT_EQ(word_at(bytes, 18), 0x2345) << "x keeps its low 16 bits";
    EXPECT_EQ(word_at(bytes, 20), 0xFFFE) << "y keeps its low 16 bits";
    EXPECT_EQ(word_at(bytes, 22), 1000) << "cx keeps its low 16 bits";
    EXPECT_EQ(word_at(bytes, 24), 700) << "cy keeps its low 16 bits";
    EXPECT_EQ(word_at(bytes, 26), 0) << "menu: none";
    EXPECT_EQ(word_at(bytes, 28), 0) << "windowClass: the dialog class";
    EXPECT_EQ(wide_at(bytes, 30), L" ") << "title: one space";
    // Font 1: "MS Sans Serif", 8 points, weight 400 (which the template
    // states as 700), not italic, character set 0.
    EXPECT_EQ(word_at(bytes, 34), 8) << "pointsize";
    EXPECT_EQ(word_at(bytes, 36), 700) << "weight";
    EXPECT_EQ(bytes[38], 0) << "italic";
    EXPECT_EQ(bytes[39], 0) << "charset";
    EXPECT_EQ(wide_at(bytes, 40), L"MS Sans Serif") << "typeface";
    EXPECT_EQ(size, 40u + 2 * 14) << "the template ends after the face's terminating 0";
}

// The point size is rounded to the nearest integer, halves to even; the
// italic flag and the face come from the thread's default dialog font.
TEST(dialog_template, font_fields_follow_the_default_dialog_font)
{
    struct case_row {
        float points;
        uint32_t style;
        uint16_t point_field;
        uint8_t italic;
    };
    const case_row rows[] = {
        {8.5f, 0, 8, 0}, {9.5f, 0, 10, 0}, {10.4f, FONT_ITALIC, 10, 1}, {10.6f, FONT_BOLD, 11, 0},
    };
    for (const case_row& row : rows) {
        default_font_override font(L"Tahoma", row.points, row.style);
        alignas(4) uint8_t bytes[512];
        build_dialog_template(bytes, 0x80C000D4, 0, 0, 0, 10, 10);
        EXPECT_EQ(word_at(bytes, 34), row.point_field) << "points " << row.points;
        EXPECT_EQ(word_at(bytes, 36), 700) << "a font with a weight is stated as 700";
        EXPECT_EQ(bytes[38], row.italic) << "points " << row.points;
        EXPECT_EQ(wide_at(bytes, 40), L"Tahoma");
    }
}

TEST(dialog_style, adjustments)
{
    HWND parent = reinterpret_cast<HWND>(0x1234);
    struct case_row {
        const char* name;
        uint32_t style;
        HWND parent;
        int32_t x, y;
        uint32_t expected;
    };
    const case_row rows[] = {
        {"0 takes the default", 0, nullptr, 0, 0, 0x80C000D4},
        {"template bits always on", WS_POPUP, nullptr, 0, 0, WS_POPUP | 0x54},
        {"never visible or system-modal", WS_POPUP | WS_VISIBLE | DS_SYSMODAL, nullptr, 0, 0,
         WS_POPUP | 0x54},
        {"centre marker in x", WS_POPUP, nullptr, CENTRE_MARKER, 5, WS_POPUP | 0x54 | DS_CENTER},
        {"centre marker in y", WS_POPUP, nullptr, 5, CENTRE_MARKER, WS_POPUP | 0x54 | DS_CENTER},
        {"a child loses WS_POPUP and DS_ABSALIGN", WS_CHILD | WS_POPUP | DS_ABSALIGN, parent, 0, 0,
         WS_CHILD | 0x54},
        {"a child without parent becomes a popup", WS_CHILD | DS_ABSALIGN, nullptr, 0, 0,
         WS_POPUP | 0x54},
    };
    for (const case_row& row : rows)
        EXPECT_EQ(adjust_dialog_style(row.style, row.parent, row.x, row.y), row.expected)
            << row.name << ": got 0x" << std::hex << adjust_dialog_style(row.style, row.parent, row.x, row.y);
}

// In pixel mode the client area is exactly the size asked, and the position
// without a parent is in screen coordinates.
TEST(create_dialog, pixel_mode_gives_the_exact_client_area)
{
    struct case_row {
        int32_t width, height;
    };
    const case_row rows[] = {{1000, 700}, {400, 300}, {123, 45}};
    for (const case_row& row : rows) {
        window_holder dialog(make_dialog(KIND_PIXELS, 105, 114, row.width, row.height));
        ASSERT_NE(dialog.hwnd, nullptr);
        RECT client = client_rect_of(dialog.hwnd);
        EXPECT_EQ(client.right, row.width) << "client width";
        EXPECT_EQ(client.bottom, row.height) << "client height";
        RECT frame = window_rect_of(dialog.hwnd);
        EXPECT_EQ(frame.left, 105);
        EXPECT_EQ(frame.top, 114);
        EXPECT_GT(frame.right - frame.left, row.width) << "the window is larger by its frame";
    }
}

// Dialog units are converted by the window system with the template's font.
TEST(create_dialog, dialog_units_convert_through_the_template_font)
{
    window_holder dialog(make_dialog(KIND_DIALOG_UNITS, 10, 10, 200, 100));
    ASSERT_NE(dialog.hwnd, nullptr);

    HFONT font = reinterpret_cast<HFONT>(SendMessageW(dialog.hwnd, WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr) << "the template's font was made";
    LOGFONTW description = {};
    GetObjectW(font, sizeof(description), &description);
    EXPECT_STREQ(description.lfFaceName, L"MS Sans Serif");
    EXPECT_EQ(description.lfWeight, 700) << "the template states weight 700";

    RECT client = client_rect_of(dialog.hwnd);
    RECT mapped = {0, 0, 200, 100};
    MapDialogRect(dialog.hwnd, &mapped);
    EXPECT_EQ(client.right, mapped.right);
    EXPECT_EQ(client.bottom, mapped.bottom);

    const window_record* record = find_record(dialog.hwnd);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->font, reinterpret_cast<uintptr_t>(font)) << "the record keeps WM_GETFONT's font";
}

// A centre marker centres in both directions on the work area, with the
// full window size: in pixels by the engine, in dialog units by the window
// system; a window larger than the work area goes to 0.
TEST(create_dialog, centre_marker_centres_on_the_work_area)
{
    RECT work = work_area();
    struct case_row {
        uint32_t units;
        int32_t width, height;
        int slack;
    };
    const case_row rows[] = {{KIND_PIXELS, 300, 200, 0}, {KIND_DIALOG_UNITS, 120, 80, 1}};
    for (const case_row& row : rows) {
        window_holder dialog(make_dialog(row.units, CENTRE_MARKER, 50, row.width, row.height));
        ASSERT_NE(dialog.hwnd, nullptr);
        EXPECT_TRUE(GetWindowLongW(dialog.hwnd, GWL_STYLE) & DS_CENTER) << "units " << row.units;
        RECT frame = window_rect_of(dialog.hwnd);
        EXPECT_NEAR(frame.left, (work.left + work.right - (frame.right - frame.left)) / 2, row.slack)
            << "units " << row.units;
        EXPECT_NEAR(frame.top, (work.top + work.bottom - (frame.bottom - frame.top)) / 2, row.slack)
            << "y centred too, units " << row.units;
    }
    window_holder wide(make_dialog(KIND_PIXELS, 40, CENTRE_MARKER, work.right + 500, 100));
    ASSERT_NE(wide.hwnd, nullptr);
    EXPECT_EQ(window_rect_of(wide.hwnd).left, 0) << "wider than the work area";
}

// Pixel positions of a popup with a parent count from the parent's client
// area; a child clamps negative positions unless it is a DS_CONTROL child.
TEST(create_dialog, test_pixel_positions_relative_to_the_parent)
{
    window_holder owner(make_owner_window());
    ASSERT_NE(owner.hwnd, nullptr);
    POINT corner = {0, 0};
    ClientToScreen(owner.hwnd, &corner);
    struct position_case {
        const char* what;
        int32_t x, y;
        uint32_t style;
        bool from_corner;  // else screen coordinates
        LONG left, top;
    };
    const position_case cases[] = {
        {"a popup", 10, 20, 0, true, 10, 20},
        {"DS_ABSALIGN: screen coordinates, a negative one 0", 7, -9,
         WS_POPUP | WS_CAPTION | DS_ABSALIGN, false, 7, 0},
        {"a child's negative position becomes 0", -15, -25, WS_CHILD, true, 0, 0},
        {"a DS_CONTROL child keeps its position", -15, -25, WS_CHILD | DS_CONTROL, true, -15, -25},
    };
    for (const position_case& c : cases) {
        window_holder dialog(make_dialog(KIND_PIXELS, c.x, c.y, 100, 50, c.style, 0, owner.hwnd));
        ASSERT_NE(dialog.hwnd, nullptr) << c.what;
        RECT frame = window_rect_of(dialog.hwnd);
        EXPECT_EQ(frame.left, c.left + (c.from_corner ? corner.x : 0)) << c.what;
        EXPECT_EQ(frame.top, c.top + (c.from_corner ? corner.y : 0)) << c.what;
    }
}

// The dialog stays hidden whatever the style says; a child style without a
// parent gives a popup; the record holds the adjusted style and the kind.
TEST(create_dialog, hidden_popup_and_record_fields)
{
    int32_t live = g_live_dialogs;
    window_holder dialog(make_dialog(KIND_PIXELS, 0, 0, 200, 100, WS_CHILD | WS_VISIBLE | WS_CAPTION,
                                     WS_EX_TOOLWINDOW));
    ASSERT_NE(dialog.hwnd, nullptr);
    EXPECT_FALSE(IsWindowVisible(dialog.hwnd)) << "WS_VISIBLE never shows at creation";
    LONG style = GetWindowLongW(dialog.hwnd, GWL_STYLE);
    EXPECT_TRUE(style & WS_POPUP) << "style 0x" << std::hex << style;
    EXPECT_FALSE(style & WS_CHILD) << "style 0x" << std::hex << style;
    EXPECT_EQ(GetParent(dialog.hwnd), nullptr);
    EXPECT_EQ(g_live_dialogs, live + 1) << "the window system's WM_INITDIALOG was counted";

    const window_record* record = find_record(dialog.hwnd);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->kind, 0x40000002u);
    EXPECT_EQ(record->owner, nullptr);
    EXPECT_EQ(record->style, static_cast<uint32_t>(WS_POPUP | WS_CAPTION | 0x54));
    EXPECT_EQ(record->ex_style, static_cast<uint32_t>(WS_EX_TOOLWINDOW));
    EXPECT_EQ(record->show_command, SW_SHOW);
    EXPECT_EQ(record->callback, nullptr);
    EXPECT_EQ(record->result_ref, nullptr);

    DestroyWindow(dialog.hwnd);
    EXPECT_EQ(g_live_dialogs, live) << "WM_DESTROY counted the dialog out";
    EXPECT_EQ(find_record(dialog.hwnd), nullptr) << "WM_NCDESTROY released the record";
}

// The default style: a captioned popup with a modal frame and no system
// menu; the kind records dialog units.  (The show command that follows the
// style is watched in the modal run's introduction.)
TEST(create_dialog, default_style)
{
    window_holder dialog(make_dialog(KIND_DIALOG_UNITS, 0, 0, 100, 60, 0));
    ASSERT_NE(dialog.hwnd, nullptr);
    LONG style = GetWindowLongW(dialog.hwnd, GWL_STYLE);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_FALSE(style & WS_SYSMENU) << "no system menu";
    EXPECT_TRUE(GetWindowLongW(dialog.hwnd, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME)
        << "DS_MODALFRAME gives the modal frame";
    EXPECT_EQ(find_record(dialog.hwnd)->kind, 0x40000001u);
}

// The template's title is a space; the caption replaces it, also when the
// caption is empty, and the caption leaves the temporary-string stack.
TEST(create_dialog, caption_replaces_the_template_title)
{
    for (const wchar_t* caption : {L"Veslinn", L""}) {
        uint32_t depth = temp_depth();
        window_holder dialog(make_dialog(KIND_PIXELS, 0, 0, 100, 60, 0, 0, nullptr, caption));
        ASSERT_NE(dialog.hwnd, nullptr);
        EXPECT_EQ(temp_depth(), depth) << "the caption was consumed";
        EXPECT_EQ(window_text_of(dialog.hwnd), caption);
    }
}

// A window system refusal gives 0, no record, and the caption is still
// taken off the stack.
TEST(create_dialog, refused_creation_consumes_the_caption)
{
    uint32_t depth = temp_depth();
    uint32_t records = registry_length();
    int32_t live = g_live_dialogs;
    HWND bogus_parent = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x7FFFFFF0));
    HWND dialog = make_dialog(KIND_PIXELS, 0, 0, 100, 60, 0, 0, bogus_parent);
    EXPECT_EQ(dialog, nullptr);
    EXPECT_EQ(temp_depth(), depth);
    EXPECT_EQ(registry_length(), records);
    EXPECT_EQ(g_live_dialogs, live);
    EXPECT_EQ(error_number(), 0u) << "no run-time error for a refused dialog";
}

// Sizes beyond 16 bits reach the template truncated; in pixel mode the
// final size is the full value.
TEST(create_dialog, pixel_sizes_beyond_16_bits_are_kept)
{
    // A client height of 65736 pixels.  The window system keeps window
    // coordinates within 16 signed bits (Wine stops the bottom edge at
    // 32767), so the check is that the engine asked for more than the
    // template's truncated 200.
    window_holder dialog(make_dialog(KIND_PIXELS, 0, 0, 300, 0x10000 + 200));
    ASSERT_NE(dialog.hwnd, nullptr);
    EXPECT_GT(client_rect_of(dialog.hwnd).bottom, 30000) << "not the truncated template height";

    // Within the window system's range the full value is kept exactly.
    window_holder tall(make_dialog(KIND_PIXELS, 0, 0, 300, 30000));
    ASSERT_NE(tall.hwnd, nullptr);
    EXPECT_EQ(client_rect_of(tall.hwnd).bottom, 30000);
}
