// The font list: built-in fonts, deduplication by description, lazily made
// handles sized for the screen, use counts and the previous font.
#include <math.h>

#include <cstdio>

#include <gtest/gtest.h>

#include "tests/support/window_support.h"

namespace {

uint32_t font_of(const std::wstring& face, float size, uint32_t style = FONT_BOLD,
                 uint32_t charset = 0, uint32_t pitch = 0, int32_t escapement = 0)
{
    push_wide(face);
    return create_font(size, style, charset, pitch, escapement);
}

int screen_pixels_per_inch()
{
    HDC dc = GetDC(nullptr);
    int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return dpi;
}

LONG handle_height(HFONT font)
{
    LOGFONTW info = {};
    GetObjectW(font, sizeof info, &info);
    return info.lfHeight;
}

TEST(controls_fonts, test_built_in_fonts)
{
    struct built_in {
        uint32_t number;
        const wchar_t* face;
        float size;
        BYTE pitch;
    } const cases[] = {
        {1, L"MS Sans Serif", 8.0f, DEFAULT_PITCH},
        {2, L"Lucida Console", 0.0f, FIXED_PITCH},
        {3, L"Lucida Console", 11.0f, FIXED_PITCH},
    };
    for (const built_in& c : cases) {
        const font_record* font = find_font(c.number);
        ASSERT_NE(font, nullptr) << "font " << c.number;
        EXPECT_EQ(std::wstring(font->description.log_font.lfFaceName), std::wstring(c.face));
        EXPECT_EQ(font->description.point_size, c.size);
        EXPECT_EQ(font->description.format_word, 0x2000u);
        EXPECT_EQ(font->description.log_font.lfWeight, FW_NORMAL);
        EXPECT_EQ(font->description.log_font.lfPitchAndFamily, c.pitch);
        EXPECT_EQ(font->use_count, 1);
    }
    EXPECT_EQ(find_font(4), nullptr);
    build_default_fonts();
    EXPECT_EQ(find_font(4), nullptr) << "building twice added fonts";

    uint32_t depth = temp_depth();
    EXPECT_EQ(font_of(L"Segoe Print", 10), 4u) << "numbers follow the built-in fonts";
    EXPECT_EQ(font_of(L"Segoe Print", 15), 5u);
    EXPECT_EQ(temp_depth(), depth) << "the face was not taken off the stack";
    EXPECT_EQ(find_font(5)->use_count, 0);
    EXPECT_EQ(find_font(5)->handle, nullptr) << "the handle is made on first use";
}

struct dedup_case {
    const char* what;
    const wchar_t* face_a;
    float size_a;
    uint32_t style_a;
    const wchar_t* face_b;
    float size_b;
    uint32_t style_b;
    bool same;
};

TEST(controls_fonts, test_deduplication_cases)
{
    const std::wstring long_face = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmn";  // 40 characters
    const std::wstring other_tail = long_face.substr(0, 31) + L"-something else";
    const dedup_case cases[] = {
        {"same description", L"Segoe Print", 15, 1, L"Segoe Print", 15, 1, true},
        {"face differs in case", L"Segoe Print", 15, 1, L"Segoe print", 15, 1, false},
        {"size differs", L"Segoe Print", 15, 1, L"Segoe Print", 10, 1, false},
        {"style differs", L"Segoe Print", 15, 1, L"Segoe Print", 15, 2, false},
        {"size 0 is 8 points", L"Arial", 0, 0, L"Arial", 8, 0, true},
        {"cell height differs", L"Arial", 9, 0, L"Arial", 9, FONT_CELL_HEIGHT, false},
        {"unknown style bits ignored", L"Arial", 9, 1, L"Arial", 9, 1 | 32 | 0x100, true},
        {"faces equal in 31 characters", long_face.c_str(), 9, 0, other_tail.c_str(), 9, 0, true},
    };
    for (const dedup_case& c : cases) {
        uint32_t a = font_of(c.face_a, c.size_a, c.style_a);
        uint32_t b = font_of(c.face_b, c.size_b, c.style_b);
        EXPECT_NE(a, 0u);
        EXPECT_EQ(a == b, c.same) << c.what << ": fonts " << a << " and " << b;
    }
}

TEST(controls_fonts, test_description_fields)
{
    const std::wstring long_face(40, L'q');
    uint32_t number = font_of(long_face, 0, FONT_BOLD | FONT_ITALIC | FONT_UNDERLINE |
                                                FONT_STRIKEOUT | FONT_CELL_HEIGHT,
                              0x1EE, 0x331, 450);
    const font_record* font = find_font(number);
    ASSERT_NE(font, nullptr);
    const LOGFONTW& lf = font->description.log_font;
    EXPECT_EQ(std::wstring(lf.lfFaceName), long_face.substr(0, 31));
    EXPECT_EQ(font->description.point_size, -8.0f);
    EXPECT_EQ(font->description.format_word, 0x2000u);
    EXPECT_EQ(font->description.reserved, 0u);
    EXPECT_EQ(lf.lfHeight, 0);
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    EXPECT_EQ(lf.lfItalic, 1);
    EXPECT_EQ(lf.lfUnderline, 1);
    EXPECT_EQ(lf.lfStrikeOut, 1);
    EXPECT_EQ(lf.lfCharSet, 0xEE);
    EXPECT_EQ(lf.lfPitchAndFamily, 0x31);
    EXPECT_EQ(lf.lfEscapement, 450);
    EXPECT_EQ(lf.lfOrientation, 450);
    EXPECT_EQ(match_font(font->description), font);
}

struct height_case {
    float points;
    uint32_t style;
    double pixels_at_96;  // before rounding
};

TEST(controls_fonts, test_height_from_points_at_screen_resolution)
{
    const int dpi = screen_pixels_per_inch();
    // Sizes whose pixel heights fall on halves check rounding to even.
    const height_case cases[] = {
        {15, 0, 20.0},       {10, 0, 13.333},     {8, 0, 10.667},
        {1.125f, 0, 1.5},    {1.875f, 0, 2.5},    {2.625f, 0, 3.5},
        {15, FONT_CELL_HEIGHT, -20.0},
    };
    test_dialog dialog;
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const height_case& c = cases[i];
        uint32_t id = 300 + static_cast<uint32_t>(i);
        add_test_control(dialog.hwnd, 5, id, L"Aa");
        uint32_t number = font_of(L"Tahoma", c.points, c.style);
        set_control_font(dialog.hwnd, id, number);
        const font_record* font = find_font(number);
        ASSERT_NE(font->handle, nullptr);
        double exact = static_cast<double>(dpi) * (c.style & FONT_CELL_HEIGHT ? -c.points : c.points) / 72.0;
        LONG want = -static_cast<LONG>(nearbyint(exact));
        EXPECT_EQ(font->description.log_font.lfHeight, want) << c.points << " points at " << dpi;
        EXPECT_EQ(handle_height(font->handle), want);
        if (dpi == 96) {
            LONG at_96 = -static_cast<LONG>(nearbyint(c.pixels_at_96));
            EXPECT_EQ(font->description.log_font.lfHeight, at_96) << c.points << " points";
        }
    }
    if (dpi != 96)
        std::printf("screen at %d pixels per inch: the 96-dpi heights were not checked\n", dpi);
}

TEST(controls_fonts, test_use_counts_move_between_fonts)
{
    test_dialog dialog;
    HWND a = add_test_control(dialog.hwnd, 1, 1002, L"Borrar");
    add_test_control(dialog.hwnd, 1, 1003, L"Salir");
    uint32_t small = font_of(L"Segoe Print", 10);
    uint32_t large = font_of(L"Segoe Print", 15);

    set_control_font(dialog.hwnd, 1002, small);
    set_control_font(dialog.hwnd, 1003, small);
    EXPECT_EQ(find_font(small)->use_count, 2);
    EXPECT_EQ(find_record(a)->font, small);
    EXPECT_EQ(SendMessageW(a, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(find_font(small)->handle));

    set_control_font(dialog.hwnd, 1002, large);
    EXPECT_EQ(find_font(small)->use_count, 1);
    EXPECT_EQ(find_font(large)->use_count, 1);
    set_control_font(dialog.hwnd, 1002, large);
    EXPECT_EQ(find_font(large)->use_count, 1) << "the same font again changes no count";

    int32_t first_before = find_font(1)->use_count;
    set_control_font(dialog.hwnd, 1003, 0);
    EXPECT_EQ(find_font(1)->use_count, first_before + 1) << "number 0 means font 1";
    EXPECT_EQ(find_font(small)->use_count, 0);

    DestroyWindow(dialog.hwnd);
    EXPECT_EQ(find_font(large)->use_count, 0) << "release gives the count back";
    EXPECT_EQ(find_font(1)->use_count, first_before);
}

TEST(controls_fonts, test_previous_font_restored_on_release)
{
    test_dialog dialog;
    HWND had_font = add_test_control(dialog.hwnd, 5, 1, L"dialog font");
    HWND had_none = add_test_control(dialog.hwnd, 5, 2, L"no font");
    SendMessageW(had_none, WM_SETFONT, 0, FALSE);
    LRESULT dialog_font = SendMessageW(had_font, WM_GETFONT, 0, 0);
    ASSERT_NE(dialog_font, 0);

    uint32_t first = font_of(L"Courier New", 12, 0);
    uint32_t second = font_of(L"Courier New", 14, 0);
    set_control_font(dialog.hwnd, 1, first);
    set_control_font(dialog.hwnd, 1, second);  // the font before the first call stays saved
    set_control_font(dialog.hwnd, 2, first);
    EXPECT_EQ(find_record(had_font)->previous_font, static_cast<uintptr_t>(dialog_font));

    window_record* record = find_record(had_font);
    release_control_font(record);
    EXPECT_EQ(record->font, 0u);
    EXPECT_EQ(record->previous_font, 0u);
    EXPECT_EQ(SendMessageW(had_font, WM_GETFONT, 0, 0), dialog_font);
    EXPECT_EQ(find_font(second)->use_count, 0);
    release_control_font(record);  // safe twice
    EXPECT_EQ(find_font(second)->use_count, 0);
    release_window_record(had_none);  // gives the font back the same way
    EXPECT_EQ(SendMessageW(had_none, WM_GETFONT, 0, 0), 0) << "back to the system font";
    EXPECT_EQ(find_font(first)->use_count, 0);

    // A dialog's record holds a window-system handle, never a font number.
    window_record* dialog_record = find_record(dialog.hwnd);
    uintptr_t handle = dialog_record->font;
    release_control_font(dialog_record);
    EXPECT_EQ(dialog_record->font, handle);
}

TEST(controls_fonts, test_delete_font_rules)
{
    test_dialog dialog;
    add_test_control(dialog.hwnd, 5, 1, L"x");
    uint32_t number = font_of(L"Segoe Print", 15);
    set_control_font(dialog.hwnd, 1, number);
    HFONT handle = find_font(number)->handle;

    delete_font(number);
    EXPECT_TRUE(gdi_alive(handle)) << "deleted while a control shows it";

    set_control_font(dialog.hwnd, 1, 0);
    delete_font(number);
    EXPECT_FALSE(gdi_alive(handle));
    EXPECT_EQ(find_font(number)->handle, nullptr);
    EXPECT_NE(find_font(number), nullptr) << "the number stays valid";

    set_control_font(dialog.hwnd, 1, number);
    EXPECT_TRUE(gdi_alive(find_font(number)->handle)) << "made anew on next use";

    HFONT built_in = find_font(1)->handle;
    ASSERT_NE(built_in, nullptr);
    find_font(2)->use_count = 0;  // a built-in number is kept whatever its count
    delete_font(1);
    delete_font(2);
    delete_font(0);
    delete_font(999);
    EXPECT_TRUE(gdi_alive(built_in));
    find_font(2)->use_count = 1;
}

TEST(controls_fonts, test_no_record_or_no_font_changes_nothing)
{
    test_dialog dialog;
    HWND plain = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 10, 10, dialog.hwnd,
                                 reinterpret_cast<HMENU>(60), nullptr, nullptr);
    uint32_t number = font_of(L"Arial", 13, 0);
    LRESULT before = SendMessageW(plain, WM_GETFONT, 0, 0);
    set_control_font(dialog.hwnd, 60, number);
    EXPECT_EQ(SendMessageW(plain, WM_GETFONT, 0, 0), before);
    EXPECT_EQ(find_font(number)->use_count, 0);
    EXPECT_EQ(find_font(number)->handle, nullptr);

    HWND label = add_test_control(dialog.hwnd, 5, 61, L"x");
    before = SendMessageW(label, WM_GETFONT, 0, 0);
    set_control_font(dialog.hwnd, 61, 4242);
    EXPECT_EQ(SendMessageW(label, WM_GETFONT, 0, 0), before);
    EXPECT_EQ(find_record(label)->font, 0u);
}

DWORD WINAPI append_many(void*)
{
    for (int i = 0; i < 2000; ++i)
        append_font();
    return 0;
}

TEST(controls_fonts, test_appends_from_two_threads_number_every_record_once)
{
    HANDLE threads[2];
    for (HANDLE& thread : threads)
        thread = CreateThread(nullptr, 0, append_many, nullptr, 0, nullptr);
    WaitForMultipleObjects(2, threads, TRUE, INFINITE);
    for (HANDLE thread : threads)
        CloseHandle(thread);
    uint32_t count = 0;
    for (const font_record* font = g_font_list; font; font = font->next) {
        ++count;
        ASSERT_EQ(font->number, count) << "record " << count << " of the list";
    }
    EXPECT_EQ(count, 3u + 4000u);
}

}  // namespace
