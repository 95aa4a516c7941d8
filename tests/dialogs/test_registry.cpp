// Window records and the registry: registration, lookups, walks by owner,
// shared brushes and what a release gives back.
#include "tests/dialogs/dialog_fixture.h"

#include <type_traits>

namespace {

// A real window to register by hand, with its record released (if any) and
// the window destroyed at the end.
struct registered_window {
    registered_window(HWND owner_window, uint32_t kind, uint32_t class_index)
    {
        hwnd = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
        record = register_window(hwnd, owner_window, kind, class_index);
    }
    ~registered_window()
    {
        release_window_record(hwnd);
        DestroyWindow(hwnd);
    }
    registered_window(const registered_window&) = delete;
    registered_window& operator=(const registered_window&) = delete;
    HWND hwnd;               // owned
    window_record* record;   // owned by the registry
};

// A field's value as get_record_field gives it: a pointer or a record word
// whole, a 32-bit field zero-extended.
template <typename T>
record_word word_of(T value)
{
    if constexpr (std::is_pointer_v<T>)
        return reinterpret_cast<record_word>(value);
    else if constexpr (sizeof(T) == sizeof(uint32_t))
        return static_cast<uint32_t>(value);
    else
        return static_cast<record_word>(value);
}

}  // namespace

TEST(registry, register_fills_the_record_and_refuses_a_second_one)
{
    uint32_t before = registry_length();
    registered_window dialog(nullptr, KIND_DIALOG | KIND_PIXELS, 0);
    ASSERT_NE(dialog.record, nullptr);
    EXPECT_EQ(find_record(dialog.hwnd), dialog.record);
    EXPECT_EQ(g_registry_head, dialog.record) << "newest first";
    EXPECT_EQ(dialog.record->back_color, COLOR_CODE_NOT_SET);
    EXPECT_EQ(dialog.record->text_color, COLOR_CODE_NOT_SET);
    EXPECT_EQ(dialog.record->kind, KIND_DIALOG | KIND_PIXELS);
    EXPECT_EQ(dialog.record->callback, nullptr);
    EXPECT_EQ(dialog.record->default_brush, nullptr) << "only graphic kinds get a default brush";
    EXPECT_EQ(registry_length(), before + 1);

    dialog.record->show_command = 77;
    EXPECT_EQ(register_window(dialog.hwnd, nullptr, KIND_CONTROL, 5), nullptr);
    EXPECT_EQ(registry_length(), before + 1);
    EXPECT_EQ(find_record(dialog.hwnd)->show_command, 77) << "the existing record is untouched";
    EXPECT_EQ(find_record(dialog.hwnd)->kind, KIND_DIALOG | KIND_PIXELS);

    EXPECT_EQ(register_window(nullptr, nullptr, KIND_DIALOG, 0), nullptr) << "no record for 0";
    EXPECT_EQ(registry_length(), before + 1);
}

// Lookups of a handle that was never registered find nothing and change
// nothing.
TEST(registry, unknown_handles_change_nothing)
{
    registered_window dialog(nullptr, KIND_DIALOG | KIND_PIXELS, 0);
    registered_window control(dialog.hwnd, KIND_CONTROL | KIND_PIXELS, 1);
    HWND unknown = GetDesktopWindow();
    uint32_t before = registry_length();

    EXPECT_EQ(find_record(unknown), nullptr);
    EXPECT_EQ(find_record(nullptr), nullptr);
    EXPECT_EQ(first_owned_control(unknown), nullptr);
    record_word value = 123;
    EXPECT_FALSE(get_record_field(unknown, 3, &value));
    EXPECT_EQ(value, 0u) << "a read without a record yields 0";
    EXPECT_FALSE(set_record_field(unknown, 3, 99));
    release_window_record(unknown);

    EXPECT_EQ(registry_length(), before);
    EXPECT_EQ(find_record(control.hwnd), control.record);
    EXPECT_EQ(first_owned_control(dialog.hwnd), control.hwnd);

    ASSERT_TRUE(set_record_field(control.hwnd, 6, 3)) << "field 6 is show_command";
    EXPECT_EQ(control.record->show_command, 3);
    ASSERT_TRUE(get_record_field(control.hwnd, 3, &value));
    EXPECT_EQ(value, KIND_CONTROL | KIND_PIXELS) << "field 3 is kind";
}

// A word index names the same field in both programs: the field's index in
// the 32-bit layout, an array's elements one index each.  A pointer-sized
// field is read and written whole, a 32-bit field through its low 32 bits.
TEST(registry, record_fields_by_word_index)
{
    registered_window dialog(nullptr, KIND_DIALOG | KIND_PIXELS, 0);
    registered_window control(dialog.hwnd, KIND_CONTROL | KIND_PIXELS, ROW_GRAPHIC);
    // Alternate bits over the whole word: a pointer-sized field cut to 32
    // bits in the 64-bit program differs from it.
    const record_word whole = UINTPTR_MAX / 3;
    struct case_row {
        uint32_t field;
        bool pointer_sized;
        record_word (*read)(const window_record&);
    };
    const case_row rows[] = {
        {2, true, [](const window_record& r) { return word_of(r.owner); }},
        {3, false, [](const window_record& r) { return word_of(r.kind); }},
        {6, false, [](const window_record& r) { return word_of(r.show_command); }},
        {7, true, [](const window_record& r) { return word_of(r.font); }},
        {9, true, [](const window_record& r) { return word_of(r.callback); }},
        {13, false, [](const window_record& r) { return word_of(r.back_color); }},
        {15 + GRAPHIC_OBJECT, true,
         [](const window_record& r) { return word_of(r.graphic_block[GRAPHIC_OBJECT]); }},
        {26, true, [](const window_record& r) { return word_of(r.graphic_block[11]); }},
        {27, true, [](const window_record& r) { return word_of(r.default_brush); }},
        {32, false, [](const window_record& r) { return word_of(r.class_index); }},
        {39, true, [](const window_record& r) { return word_of(r.small_icon); }},
        {43, false, [](const window_record& r) { return word_of(r.graphic_more[3]); }},
    };
    for (const case_row& row : rows) {
        SCOPED_TRACE(testing::Message() << "field " << row.field);
        const window_record& record = *control.record;
        record_word before = 0;
        ASSERT_TRUE(get_record_field(control.hwnd, row.field, &before));
        EXPECT_EQ(before, row.read(record));
        ASSERT_TRUE(set_record_field(control.hwnd, row.field, whole));
        record_word expected = row.pointer_sized ? whole : static_cast<uint32_t>(whole);
        EXPECT_EQ(row.read(record), expected);
        record_word value = 0;
        ASSERT_TRUE(get_record_field(control.hwnd, row.field, &value));
        EXPECT_EQ(value, expected);
        ASSERT_TRUE(set_record_field(control.hwnd, row.field, before));
        EXPECT_EQ(row.read(record), before);
    }
    record_word value = 1;
    EXPECT_FALSE(get_record_field(control.hwnd, RECORD_FIELDS, &value)) << "past the last field";
    EXPECT_EQ(value, 0u);
    EXPECT_FALSE(set_record_field(control.hwnd, RECORD_FIELDS, 1));
}

// The walks by owner: newest control first, bars only for the bar walk,
// dialog records owned by a window for the plain walk.
TEST(registry, walks_by_owner)
{
    registered_window dialog(nullptr, KIND_DIALOG | KIND_PIXELS, 0);
    registered_window other(nullptr, KIND_DIALOG | KIND_PIXELS, 0);
    registered_window status(dialog.hwnd, KIND_CONTROL, ROW_STATUSBAR);
    registered_window button(dialog.hwnd, KIND_CONTROL, ROW_PUSH_BUTTON);
    registered_window foreign(other.hwnd, KIND_CONTROL, ROW_TOOLBAR);
    registered_window toolbar(dialog.hwnd, KIND_CONTROL, ROW_TOOLBAR);
    registered_window page(dialog.hwnd, KIND_DIALOG | KIND_PIXELS, 0);

    EXPECT_EQ(first_owned_control(dialog.hwnd), toolbar.hwnd) << "newest control first";
    EXPECT_EQ(first_owned_control(other.hwnd), foreign.hwnd);

    EXPECT_EQ(next_owned_bar(dialog.hwnd, nullptr), toolbar.record);
    EXPECT_EQ(next_owned_bar(dialog.hwnd, toolbar.record), status.record);
    EXPECT_EQ(next_owned_bar(dialog.hwnd, status.record), nullptr);

    std::vector<HWND> owned;
    for (window_record* r = next_owned(dialog.hwnd, nullptr); r; r = next_owned(dialog.hwnd, r))
        owned.push_back(r->hwnd);
    std::vector<HWND> expected = {page.hwnd, toolbar.hwnd, button.hwnd, status.hwnd};
    EXPECT_EQ(owned, expected) << "every record the window owns, newest first";
}

// The brush of the newest record that holds one for a colour; records that
// carry the colour without a brush are passed over.
TEST(registry, find_shared_brush_rules)
{
    registered_window older(nullptr, KIND_CONTROL, ROW_EDIT);
    registered_window without_brush(nullptr, KIND_CONTROL, ROW_EDIT);
    registered_window newer(nullptr, KIND_CONTROL, ROW_EDIT);
    HBRUSH red_old = CreateSolidBrush(RGB(255, 0, 0));
    HBRUSH red_new = CreateSolidBrush(RGB(255, 0, 0));
    older.record->back_color = RGB(255, 0, 0);
    older.record->back_brush = red_old;
    without_brush.record->back_color = RGB(0, 0, 255);
    newer.record->back_color = RGB(255, 0, 0);
    newer.record->back_brush = red_new;

    EXPECT_EQ(find_shared_brush(RGB(255, 0, 0)), red_new) << "newest first";
    EXPECT_EQ(find_shared_brush(RGB(0, 0, 255)), nullptr) << "a colour without a brush";
    EXPECT_EQ(find_shared_brush(RGB(1, 2, 3)), nullptr);

    // A graphic kind's default brush is found for its default colour,
    // shared by the next graphic records and deleted with the last of them.
    registered_window graphic(nullptr, KIND_CONTROL, ROW_GRAPHIC);
    ASSERT_NE(graphic.record->default_brush, nullptr);
    EXPECT_EQ(graphic.record->default_back_color, static_cast<int32_t>(GetSysColor(COLOR_BTNFACE)));
    EXPECT_EQ(graphic.record->default_text_color, static_cast<int32_t>(GetSysColor(COLOR_WINDOWTEXT)));
    EXPECT_EQ(find_shared_brush(graphic.record->default_back_color), graphic.record->default_brush);
    registered_window second(nullptr, KIND_CONTROL, ROW_OWNER_DRAWN);
    registered_window third(nullptr, KIND_CONTROL, GRAPHIC_WINDOW_CLASS);
    HBRUSH face = graphic.record->default_brush;
    EXPECT_EQ(second.record->default_brush, face);
    EXPECT_EQ(third.record->default_brush, face);
    release_window_record(graphic.hwnd);
    release_window_record(second.hwnd);
    EXPECT_TRUE(gdi_alive(face)) << "still the third graphic record's";
    release_window_record(third.hwnd);
    EXPECT_FALSE(gdi_alive(face)) << "deleted with the last graphic record";

    older.record->back_brush = nullptr;  // the test deletes these itself
    newer.record->back_brush = nullptr;
    older.record->back_color = COLOR_CODE_NOT_SET;
    newer.record->back_color = COLOR_CODE_NOT_SET;
    DeleteObject(red_old);
    DeleteObject(red_new);
}

// Colour codes -1, -2 and -3 own no brush: a release never deletes one.
TEST(registry, negative_colour_codes_never_delete_a_brush)
{
    const int32_t codes[] = {COLOR_CODE_SYSTEM, COLOR_CODE_TRANSPARENT, COLOR_CODE_NOT_SET};
    for (int32_t code : codes) {
        registered_window control(nullptr, KIND_CONTROL, 5);
        HBRUSH brush = CreateSolidBrush(RGB(9, 9, 9));
        control.record->back_color = code;
        control.record->back_brush = brush;
        release_window_record(control.hwnd);
        EXPECT_TRUE(gdi_alive(brush)) << "code " << code;
        DeleteObject(brush);
    }
}

// A graphic record's drawing objects: the picture is taken out of the
// memory context and deleted, the context deleted, companions destroyed.
TEST(registry, release_gives_back_graphic_objects)
{
    registered_window graphic(nullptr, KIND_CONTROL, ROW_GRAPHIC);
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP picture = CreateBitmap(8, 8, 1, 32, nullptr);
    HGDIOBJ first = SelectObject(dc, picture);
    HBRUSH object = CreateSolidBrush(RGB(1, 1, 1));
    HWND companion = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr,
                                     GetModuleHandleW(nullptr), nullptr);
    record_word* block = graphic.record->graphic_block;
    block[GRAPHIC_MEMORY_DC] = reinterpret_cast<uintptr_t>(dc);
    block[GRAPHIC_FIRST_BITMAP] = reinterpret_cast<uintptr_t>(first);
    block[GRAPHIC_OBJECT] = reinterpret_cast<uintptr_t>(object);
    block[GRAPHIC_COMPANION_FIRST + 1] = reinterpret_cast<uintptr_t>(companion);

    release_window_record(graphic.hwnd);
    EXPECT_FALSE(gdi_alive(picture));
    EXPECT_FALSE(gdi_alive(object));
    EXPECT_FALSE(gdi_alive(dc));
    EXPECT_TRUE(gdi_alive(first)) << "the context's first bitmap is the stock one";
    EXPECT_FALSE(IsWindow(companion));
}

// Releasing a dialog releases its controls first, and only its own.
TEST(registry, releasing_a_dialog_releases_its_controls)
{
    registered_window dialog(nullptr, KIND_DIALOG | KIND_PIXELS, 0);
    registered_window other(nullptr, KIND_DIALOG | KIND_PIXELS, 0);
    registered_window own[] = {{dialog.hwnd, KIND_CONTROL, ROW_PUSH_BUTTON},
                               {dialog.hwnd, KIND_CONTROL, ROW_EDIT}};
    registered_window c(other.hwnd, KIND_CONTROL, ROW_PUSH_BUTTON);
    uint32_t before = registry_length();

    release_window_record(dialog.hwnd);
    EXPECT_EQ(find_record(dialog.hwnd), nullptr);
    for (const registered_window& control : own)
        EXPECT_EQ(find_record(control.hwnd), nullptr);
    EXPECT_EQ(find_record(c.hwnd), c.record);
    EXPECT_EQ(find_record(other.hwnd), other.record);
    EXPECT_EQ(registry_length(), before - 3);
    release_window_record(dialog.hwnd);  // safe twice
    EXPECT_EQ(registry_length(), before - 3);

    // A control recorded as its own owner is released once, without looping.
    registered_window odd(nullptr, KIND_CONTROL, ROW_PUSH_BUTTON);
    odd.record->owner = odd.hwnd;
    release_window_record(odd.hwnd);
    EXPECT_EQ(find_record(odd.hwnd), nullptr);
}
