// The slate as a process: where it looks for its notes, how it refuses an old
// platform, and what it keeps when the session ends.
#include <gtest/gtest.h>

#include "tests/app/slate_driver.h"

namespace {

// ---------------------------------------------------------------------------
// Executable paths near and beyond the slate's fixed path buffers.

// Creates folders below base until the deepest folder's path with
// "veslinn.exe" is exactly `length` characters long, and copies the slate
// there.  Returns every folder made, outermost first (none on failure).
std::vector<std::wstring> make_deep_slate(const std::wstring& base, size_t exe_length)
{
    std::vector<std::wstring> made;
    std::wstring current = base;
    const size_t length = exe_length - 11;
    int level = 0;
    while (current.size() < length) {
        size_t left = length - current.size();  // room for a name and its backslash
        size_t name_length = left > 61 ? 50 : left - 1;
        std::wstring name = L"d" + std::to_wstring(++level);
        name.resize(name_length, L'p');
        current += name + L"\\";
        if (!CreateDirectoryW(current.substr(0, current.size() - 1).c_str(), nullptr))
            return {};
        made.push_back(current);
    }
    if (made.empty() || !copy_slate_wide(made.back()))
        return {};
    return made;
}

TEST(SlatePaths, test_notes_beside_a_renamed_program_in_a_folder_with_spaces)
{
    // The notes file keeps its fixed name whatever the program is called,
    // and a folder name with spaces and a code-page letter is kept whole.
    scratch_folder scratch;
    scratch_folder elsewhere;
    std::string folder = scratch.path() + "notas de d\xed" "a\\";
    ASSERT_TRUE(CreateDirectoryA(folder.substr(0, folder.size() - 1).c_str(), nullptr));
    ASSERT_TRUE(copy_slate(folder, "Mis notas.exe"));
    ASSERT_TRUE(write_file_bytes(folder + "veslinn.txt", "hola\r\n"));
    slate_guard run;
    std::string why;
    ASSERT_TRUE(start_slate(folder + "Mis notas.exe", elsewhere.path(), &run.slate, &why)) << why;
    EXPECT_EQ(visible_bytes(box_text(run.slate)), "hola\\x0D\\x0A");
    ASSERT_TRUE(set_box_text(run.slate, "adi\xf3s"));
    post_command(run.slate, LEAVE_ID, BN_CLICKED);
    EXPECT_EQ(wait_exit(&run.slate), 0);
    EXPECT_EQ(visible_bytes(notes_bytes(folder + "veslinn.txt")), "adi\\xF3s\\x0D\\x0A");
    EXPECT_EQ(joined_names(folder_names(folder)), joined_names({"Mis notas.exe", "veslinn.txt"}));
}

TEST(SlatePaths, test_longest_path_that_fits_keeps_notes)
{
    // 254 characters and the terminating zero fill the slate's 255-byte buffer
    // exactly: the slate works with its notes as usual.
    scratch_folder scratch;
    std::wstring base = widen(scratch.path());
    wide_tree_removal remove_later{{base}};
    std::vector<std::wstring> folders = make_deep_slate(base, 254);
    ASSERT_FALSE(folders.empty());
    std::wstring home = folders.back();
    std::wstring exe = home + L"veslinn.exe";
    ASSERT_TRUE(write_file_bytes(home + L"veslinn.txt", "kept\r\n"));
    slate_guard run;
    std::string why;
    ASSERT_TRUE(start_slate(exe, widen(scratch.path()), &run.slate, &why)) << why;
    EXPECT_EQ(visible_bytes(box_text(run.slate)), "kept\\x0D\\x0A");
    ASSERT_TRUE(set_box_text(run.slate, "saved at 254"));
    post_command(run.slate, LEAVE_ID, BN_CLICKED);
    EXPECT_EQ(wait_exit(&run.slate), 0);
    EXPECT_EQ(visible_bytes(notes_bytes(home + L"veslinn.txt")), "saved at 254\\x0D\\x0A");
}

TEST(SlatePaths, test_too_long_path_touches_no_notes_file)
{
    // A path of 300 characters does not fit: a cut path would name some
    // folder above the executable's, so every folder on the way holds a decoy
    // notes file that must stay untouched, like the real one.
    //
    // Known Wine difference: Wine's CreateProcessW refuses an application path
    // beyond MAX_PATH with error 123, even in the \\?\ form, while Wine's
    // own loader starts it from its Unix path.  So the folders are made on
    // Wine's drive Z: (the Unix root) and the slate is started through the
    // loader; elsewhere the test skips.
    if (GetFileAttributesW(L"Z:\\tmp") == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no drive Z: mapping the Unix root: cannot start a slate at a long path";
    // A folder left by an earlier run of a process with the same id goes first.
    std::wstring base = L"Z:\\tmp\\veslinn-long-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    remove_wide_tree(base);
    ASSERT_TRUE(CreateDirectoryW(base.substr(0, base.size() - 1).c_str(), nullptr));
    wide_tree_removal remove_later{{base}};
    std::vector<std::wstring> folders = make_deep_slate(base, 300);
    ASSERT_FALSE(folders.empty());
    std::wstring home = folders.back();
    std::wstring exe = home + L"veslinn.exe";
    folders.insert(folders.begin(), base);
    for (const std::wstring& folder : folders)
        ASSERT_TRUE(write_file_bytes(folder + L"veslinn.txt", "decoy\r\n"));

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "\"Salir\" with text" : "\"Borrar\"");
        slate_guard run;
        std::string why;
        ASSERT_TRUE(start_slate_from_unix(exe, &run.slate, &why)) << why;
        expect_no_notes_file_message(run.slate, home + L"veslinn.txt", ERROR_FILENAME_EXCED_RANGE);
        EXPECT_EQ(visible_bytes(box_text(run.slate)), "") << "nothing is read";
        if (round == 0) {
            // There is no notes file the slate may write: "Salir" says so.
            expect_refused_save(&run.slate, home + L"veslinn.txt", ERROR_FILENAME_EXCED_RANGE);
        } else {
            click_button(run.slate, CLEAR_ID);
            EXPECT_TRUE(still_running(run.slate));
            post_close_command(run.slate);
            EXPECT_EQ(wait_exit(&run.slate), 0);
        }
        for (const std::wstring& folder : folders) {
            SCOPED_TRACE(narrow(folder));
            EXPECT_EQ(visible_bytes(notes_bytes(folder + L"veslinn.txt")), "decoy\\x0D\\x0A");
            // The decoy and the next folder down, or the decoy and the slate.
            EXPECT_EQ(wide_names(folder).size(), 2u) << "no new file in the folder";
        }
    }
}

TEST(SlatePaths, test_no_notes_file_possible_says_so_at_start)
{
    // Folder and "veslinn.txt" together longer than 255 units: at start the
    // slate says that nothing will be kept, then stays open as usual and
    // writes nothing.  Started through Wine's loader from drive Z:, as above.
    if (GetFileAttributesW(L"Z:\\tmp") == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no drive Z: mapping the Unix root: cannot start a slate at a long path";
    std::wstring base = L"Z:\\tmp\\veslinn-nofile-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    remove_wide_tree(base);
    ASSERT_TRUE(CreateDirectoryW(base.substr(0, base.size() - 1).c_str(), nullptr));
    wide_tree_removal remove_later{{base}};
    std::vector<std::wstring> folders = make_deep_slate(base, 300);
    ASSERT_FALSE(folders.empty());
    const std::wstring home = folders.back();
    slate_guard run;
    std::string why;
    ASSERT_TRUE(start_slate_from_unix(home + L"veslinn.exe", &run.slate, &why)) << why;
    std::wstring message;
    HWND box = wait_for_message(run.slate, &message);
    ASSERT_TRUE(box) << "no message at start";
    EXPECT_EQ(window_text_wide(box), L"Veslinn") << "the message's caption";
    expect_no_notes_file_message(run.slate, home + L"veslinn.txt", ERROR_FILENAME_EXCED_RANGE);
    EXPECT_TRUE(still_running(run.slate)) << "the slate is open after OK";
    ASSERT_TRUE(type_text(run.slate, L"typed anyway"));
    click_button(run.slate, CLEAR_ID);
    ASSERT_TRUE(type_text(run.slate, L"typed again"));
    post_close_command(run.slate);
    EXPECT_EQ(wait_exit(&run.slate), 0);
    EXPECT_EQ(wide_names(home), std::vector<std::wstring>{L"veslinn.exe"}) << "nothing written";
}

// ---------------------------------------------------------------------------
// The refusal on a platform outside the NT family.

TEST(SlateRefusal, test_win98_shows_only_the_message)
{
    // The build's Wine prefix reports Windows 98 to programs of this name only.
    scratch_folder home;
    scratch_folder elsewhere;
    ASSERT_TRUE(copy_slate(home.path(), "veslinn_win98.exe"));
    ASSERT_TRUE(write_file_bytes(home.file("veslinn.txt"), "kept\r\n"));
    slate_guard run;
    std::string why;
    ASSERT_TRUE(start_program(widen(home.file("veslinn_win98.exe")), widen(elsewhere.path()),
                              &run.slate, &why))
        << why;
    std::vector<HWND> windows;
    for (int waited = 0; waited < 20000 && windows.empty(); waited += 50) {
        if (WaitForSingleObject(run.slate.process, 50) == WAIT_OBJECT_0)
            break;
        windows = process_windows(run.slate.id);
    }
    ASSERT_EQ(windows.size(), 1u) << "exactly one window, the message box";
    HWND box = windows[0];
    EXPECT_EQ(class_of(box), "#32770") << "a message box";
    EXPECT_NE(window_text_bytes(box), "Veslinn") << "no slate";
    bool message_found = false;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (window_text_bytes(child) == "Win98 No Support")
            message_found = true;
    }
    EXPECT_TRUE(message_found) << "the box shows \"Win98 No Support\"";
    // Dismiss it as the OK button would.
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_EQ(wait_exit(&run.slate), 255);
    EXPECT_EQ(visible_bytes(notes_bytes(home.file("veslinn.txt"))), "kept\\x0D\\x0A");
    EXPECT_EQ(joined_names(folder_names(home.path())),
              joined_names({"veslinn.txt", "veslinn_win98.exe"}));
}

// ---------------------------------------------------------------------------
// The end of the session.  Under Wine, wineboot --end-session in the slate's
// prefix sends every windowed process WM_QUERYENDSESSION and WM_ENDSESSION
// (wparam 1) and then ends it, as Windows does at log-off.

int end_session()
{
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    return run_program(narrow(std::wstring(L"\"") + system + L"\\wineboot.exe\" --end-session"),
                       20000);
}

struct session_case {
    const char* name;
    const char* before;  // notes file at the start, or null
    const char* text;    // box text set before the session ends, or null: unedited
    const char* after;   // notes file afterwards, or null: none
    bool cleared;        // "Borrar" before the text is set
};

TEST(SlateSession, test_end_of_session_saves_like_salir)
{
    const session_case cases[] = {
        {"edited notes are saved", "old\r\n", "typed before the log-off", "typed before the log-off\r\n",
         false},
        {"new notes are saved", nullptr, "first notes \xe9", "first notes \xe9\r\n", false},
        {"unedited notes stay byte for byte", "abc\r\n\r\nd", nullptr, "abc\r\n\r\nd", false},
        {"unedited CR LF notes stay", "abc\r\n", nullptr, "abc\r\n", false},
        {"empty box keeps the old file", "old\r\n", "", "old\r\n", false},
        {"empty box writes nothing", nullptr, "", nullptr, false},
        {"\"Borrar\", then the old text again", "old\r\n", "old\r\n", "old\r\n", true},
    };
    // One end of the session ends every slate of the table at once.
    const size_t count = sizeof cases / sizeof cases[0];
    site_list sites = make_sites(count);
    std::vector<std::string> files;
    for (const session_case& c : cases)
        files.push_back(c.before ? c.before : NO_FILE);
    OPEN_SITES_WITH(sites, files);
    for (size_t i = 0; i < count; ++i) {
        if (cases[i].cleared)
            click_button(sites[i]->run.slate, CLEAR_ID);
        if (cases[i].text) {
            ASSERT_TRUE(set_box_text(sites[i]->run.slate, cases[i].text)) << cases[i].name;
        }
    }
    EXPECT_EQ(end_session(), 0) << "wineboot --end-session";
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(cases[i].name);
        expect_ended_with(sites[i].get(), cases[i].after ? cases[i].after : NO_FILE);
    }
}

TEST(SlateSession, test_failed_save_at_the_end_of_the_session_keeps_the_copy)
{
    // Side by side: a save that fails (a folder named like the notes file)
    // and one that works.  The failed one leaves its text in the recovery
    // copy, which the next start shows; the other leaves no copy.
    site_list sites = make_sites(2);
    ASSERT_TRUE(CreateDirectoryA(sites[0]->notes().c_str(), nullptr));
    ASSERT_TRUE(write_file_bytes(sites[1]->notes(), "old\r\n"));
    OPEN_SITES(sites);
    const std::wstring typed[] = {L"typed before a save that fails", L"typed before the log-off"};
    for (size_t i = 0; i < 2; ++i)
        ASSERT_TRUE(type_text(sites[i]->run.slate, typed[i]));
    EXPECT_EQ(end_session(), 0) << "wineboot --end-session";
    expect_ended_with(sites[1].get(), narrow(typed[1]) + "\r\n");
    slate_site& failed = *sites[0];
    EXPECT_EQ(wait_exit(&failed.run.slate), 0);
    std::vector<recovery_copy> copies = recovery_copies(failed.home.path());
    ASSERT_EQ(copies.size(), 1u) << joined_names(folder_names(failed.home.path()));
    EXPECT_TRUE(copies[0].text == typed[0]) << narrow(copies[0].text);
    // With the folder gone, the next start shows the text and "Salir" keeps it.
    ASSERT_TRUE(RemoveDirectoryA(failed.notes().c_str()));
    close_slate(&failed.run.slate);
    OPEN_SITE(failed);
    EXPECT_TRUE(box_wide(failed.run.slate) == typed[0]) << narrow(box_wide(failed.run.slate));
    post_command(failed.run.slate, LEAVE_ID, BN_CLICKED);
    expect_ended_with(&failed, narrow(typed[0]) + "\r\n");
}

}  // namespace
