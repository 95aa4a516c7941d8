// The slate's window and controls as another process sees them.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "tests/app/slate_driver.h"

namespace {

std::string hex(DWORD value)
{
    char text[16];
    snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(value));
    return text;
}

TEST(SlateLayout, test_window_frame)
{
    slate_site site;
    OPEN_SITE(site);
    HWND window = site.run.slate.window;

    EXPECT_EQ(window_text_bytes(window), "Veslinn");
    RECT client = {};
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.right - client.left, 1000) << "client width";
    EXPECT_EQ(client.bottom - client.top, 700) << "client height";
    // The slate is placed by its outer corner at 105,114 on the screen; its
    // client area is 1000 x 700 and the window is larger by its frame.
    RECT outer = {};
    ASSERT_TRUE(GetWindowRect(window, &outer));
    EXPECT_EQ(outer.left, 105) << "window left on the screen";
    EXPECT_EQ(outer.top, 114) << "window top on the screen";
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    EXPECT_GT(origin.y, outer.top) << "the caption lies above the client area";

    DWORD style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
    EXPECT_EQ(style & WS_SYSMENU, 0u) << "no system menu, style " << hex(style);
    EXPECT_EQ(style & WS_CAPTION, static_cast<DWORD>(WS_CAPTION)) << "caption, style " << hex(style);
    EXPECT_EQ(style & (WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_MINIMIZEBOX),
              static_cast<DWORD>(WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_MINIMIZEBOX))
        << "style " << hex(style);
    EXPECT_EQ(style & (WS_CHILD | WS_THICKFRAME | WS_MAXIMIZEBOX | WS_VSCROLL | WS_HSCROLL), 0u)
        << "style " << hex(style);
    DWORD ex_style = static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE));
    EXPECT_NE(ex_style & WS_EX_TOPMOST, 0u) << "topmost, extended style " << hex(ex_style);
    EXPECT_EQ(GetParent(window), nullptr) << "no owner";
    EXPECT_EQ(process_windows(site.run.slate.id).size(), 1u) << "the slate is the only window";
}

// On a screen too small for the slate at its usual place (run by
// small_screen.sh on a 1280x720 display), the slate moves up just enough:
// taller than the screen, its top is the screen's top, so the caption (to
// drag it) and both buttons are on the screen; it still fits across, so it
// stays at its usual left; its client area keeps its size.
TEST(SlateScreenSize, test_whole_slate_on_a_small_screen)
{
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    ASSERT_EQ(work.right - work.left, 1280) << "a 1280x720 display";
    ASSERT_EQ(work.bottom - work.top, 720) << "a 1280x720 display";
    slate_site site;
    OPEN_SITE(site);
    HWND window = site.run.slate.window;
    RECT outer = {}, client = {};
    ASSERT_TRUE(GetWindowRect(window, &outer));
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.right, 1000);
    EXPECT_EQ(client.bottom, 700);
    EXPECT_GT(outer.bottom - outer.top, 720) << "taller than the screen";
    EXPECT_EQ(outer.left, 105);
    EXPECT_EQ(outer.top, 0) << "the caption at the top of the screen";
    for (int id : {CLEAR_ID, LEAVE_ID}) {
        RECT button = {};
        GetWindowRect(slate_control(site.run.slate, id), &button);
        EXPECT_GE(button.top, work.top) << id;
        EXPECT_LE(button.bottom, work.bottom) << id << " on the screen";
    }
}

struct control_case {
    int id;
    const char* class_name;
    const char* text;
    int x, y, width, height;
    DWORD style;
    DWORD ex_style;
};

TEST(SlateLayout, test_controls)
{
    slate_site site;
    OPEN_SITE(site);
    HWND window = site.run.slate.window;
    const control_case cases[] = {
        {BOX_ID, "EDIT", "", 6, 6, 990, 650, 0x50011005, WS_EX_CLIENTEDGE},
        {CLEAR_ID, "BUTTON", "Borrar", 8, 660, 56, 24, 0x50010000, 0},
        {LEAVE_ID, "BUTTON", "Salir", 206, 660, 56, 24, 0x50010000, 0},
    };
    for (const control_case& c : cases) {
        SCOPED_TRACE("control " + std::to_string(c.id));
        HWND control = GetDlgItem(window, c.id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(lstrcmpiA(class_of(control).c_str(), c.class_name), 0) << class_of(control);
        EXPECT_EQ(window_text_bytes(control), c.text);
        RECT place = {};
        GetWindowRect(control, &place);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&place), 2);
        EXPECT_EQ(place.left, c.x);
        EXPECT_EQ(place.top, c.y);
        EXPECT_EQ(place.right - place.left, c.width);
        EXPECT_EQ(place.bottom - place.top, c.height);
        DWORD style = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE));
        DWORD ex_style = static_cast<DWORD>(GetWindowLongW(control, GWL_EXSTYLE));
        if (c.id == BOX_ID) {
            EXPECT_EQ(hex(style), hex(c.style));
        } else {
            // The dialog manager makes a push button the default push button
            // while it has the focus (BS_DEFPUSHBUTTON, 1): every other bit is
            // the button's own.
            EXPECT_EQ(hex(style & ~static_cast<DWORD>(BS_DEFPUSHBUTTON)), hex(c.style));
        }
        // Controls of a dialog template carry WS_EX_NOPARENTNOTIFY from the
        // dialog manager; it is not part of the control's own look.
        EXPECT_EQ(hex(ex_style & ~static_cast<DWORD>(WS_EX_NOPARENTNOTIFY)), hex(c.ex_style));
    }
    // Nothing else in the slate.
    int children = 0;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        ++children;
    EXPECT_EQ(children, 3);
}

TEST(SlateLayout, test_version_record_is_the_configured_version)
{
    // RELEASE_VERSION is project(VERSION), "1.2.3" or "1.2.3.4"; parts left
    // out are 0.  The record is read back as Windows reads it.
    unsigned want[4] = {};
    sscanf(RELEASE_VERSION, "%u.%u.%u.%u", &want[0], &want[1], &want[2], &want[3]);
    wchar_t want_text[64];
    swprintf(want_text, 64, L"%u.%u.%u.%u", want[0], want[1], want[2], want[3]);
    std::wstring exe = widen(built_slate_path());
    DWORD unused = 0;
    std::vector<BYTE> record(GetFileVersionInfoSizeW(exe.c_str(), &unused));
    ASSERT_FALSE(record.empty()) << "no version record, error " << GetLastError();
    ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, static_cast<DWORD>(record.size()), record.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    WORD* language = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_TRUE(VerQueryValueW(record.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&language), &length));
    for (DWORD most : {fixed->dwFileVersionMS, fixed->dwProductVersionMS})
        EXPECT_EQ(hex(most), hex(MAKELONG(want[1], want[0])));
    for (DWORD least : {fixed->dwFileVersionLS, fixed->dwProductVersionLS})
        EXPECT_EQ(hex(least), hex(MAKELONG(want[3], want[2])));
    for (const wchar_t* name : {L"FileVersion", L"ProductVersion"}) {
        wchar_t block[64];
        swprintf(block, 64, L"\\StringFileInfo\\%04x%04x\\%ls", language[0], language[1], name);
        wchar_t* text = nullptr;
        ASSERT_TRUE(VerQueryValueW(record.data(), block, reinterpret_cast<void**>(&text), &length))
            << narrow(name);
        EXPECT_EQ(std::wstring(text), want_text) << narrow(name);
    }
}

// The executable as Windows loads it: the manifest names the program's own
// architecture for itself and for common controls 6.0 (a 64-bit program that
// names x86 does not start on Windows, though Wine runs it), and it imports
// system DLLs only, with libgcc and libstdc++ linked in.
TEST(SlateLayout, test_manifest_architecture_and_system_imports)
{
    const std::string want_arch = sizeof(void*) == 8 ? "amd64" : "x86";
    std::wstring exe = widen(built_slate_path());
    HMODULE image = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(image, nullptr) << "error " << GetLastError();
    HRSRC found = FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
    ASSERT_NE(found, nullptr) << "no manifest";
    std::string manifest(static_cast<const char*>(LockResource(LoadResource(image, found))),
                         SizeofResource(image, found));
    FreeLibrary(image);
    const std::string key = "processorArchitecture=\"";
    int named = 0;
    for (size_t at = manifest.find(key); at != std::string::npos; at = manifest.find(key, at + 1)) {
        size_t begin = at + key.size();
        EXPECT_EQ(manifest.substr(begin, manifest.find('"', begin) - begin), want_arch);
        ++named;
    }
    EXPECT_EQ(named, 2) << manifest;

    // The import directory, read from the file through its section table.
    std::string bytes;
    ASSERT_TRUE(read_file_bytes(exe, &bytes));
    auto at = [&](size_t offset) { return bytes.data() + offset; };
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(at(0));
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(at(dos->e_lfanew));
    EXPECT_EQ(nt->FileHeader.Machine,
              sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386);
    auto sections = IMAGE_FIRST_SECTION(nt);
    auto file_offset = [&](DWORD rva) -> size_t {
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
            const IMAGE_SECTION_HEADER& s = sections[i];
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.SizeOfRawData)
                return rva - s.VirtualAddress + s.PointerToRawData;
        }
        return 0;
    };
    const char* system_dlls[] = {"COMCTL32.DLL", "GDI32.DLL", "KERNEL32.DLL", "MSVCRT.DLL",
                                 "OLE32.DLL", "OLEAUT32.DLL", "USER32.DLL", "WS2_32.DLL"};
    DWORD imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    int dlls = 0;
    for (auto entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(at(file_offset(imports)));
         entry->Name; ++entry, ++dlls) {
        std::string name = at(file_offset(entry->Name));
        for (char& c : name)
            c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
        EXPECT_NE(std::find(std::begin(system_dlls), std::end(system_dlls), name), std::end(system_dlls))
            << "imports " << name;
    }
    EXPECT_GE(dlls, 5);
}

// Clicks into the box with posted mouse messages, as the mouse would, and
// waits until the slate has handled them.
void click_into_box(const slate_process& slate)
{
    HWND box = slate_control(slate, BOX_ID);
    PostMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
    PostMessageW(box, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
    for (int waited = 0; waited < 2000 && focus_of(slate) != box; waited += 10)
        Sleep(10);
}

void send_nc_activate(const slate_process& slate, BOOL active)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutW(slate.window, WM_NCACTIVATE, active, 0, SMTO_ABORTIFHUNG, 10000, &result);
}

TEST(SlateFocus, test_focus_returns_to_the_control_that_had_it)
{
    slate_site site;
    OPEN_SITE(site);
    const slate_process& slate = site.run.slate;
    HWND box = slate_control(slate, BOX_ID);
    // The box is the first tab stop, so the slate opens with the focus in it;
    // the user then tabs to a button.
    ASSERT_TRUE(wait_for_focus(slate, BOX_ID)) << "the focus when the slate opens";
    HWND first = slate_control(slate, LEAVE_ID);
    DWORD_PTR result = 0;
    SendMessageTimeoutW(slate.window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(first), TRUE,
                        SMTO_ABORTIFHUNG, 10000, &result);
    ASSERT_EQ(focus_of(slate), first);

    // Losing activation keeps the focused control; the user then clicks into
    // the box; regaining activation puts the focus back where it was.
    send_nc_activate(slate, FALSE);
    click_into_box(slate);
    ASSERT_EQ(focus_of(slate), box) << "the click gives the box the focus";
    send_nc_activate(slate, TRUE);
    EXPECT_EQ(focus_of(slate), first) << "focus after regaining activation";

    // The kept control is given back once only.
    click_into_box(slate);
    send_nc_activate(slate, TRUE);
    EXPECT_EQ(focus_of(slate), box) << "a second activation moves nothing";
}

}  // namespace
