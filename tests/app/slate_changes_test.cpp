// Notes the slate did not see whole (written by another program while it
// ran, or shown only in part): a save adds the box's text after them instead
// of replacing them, and "Borrar" keeps them.
#include <gtest/gtest.h>

#include "tests/app/slate_driver.h"

namespace {

const std::string MARK = "\xEF\xBB\xBF";
const std::string UNTOUCHED = "<untouched>";

std::string utf8(const std::wstring& text)
{
    return narrow(text, CP_UTF8);
}

// Writes the notes as another program would: new bytes (NO_FILE: deleted);
// with keep_time, the old last-write time is put back, so that only the
// bytes tell the change.
bool write_elsewhere(const std::string& path, const std::string& bytes, bool keep_time)
{
    if (bytes == UNTOUCHED)
        return true;
    if (bytes == NO_FILE)
        return DeleteFileA(path.c_str()) != FALSE;
    FILETIME times[3] = {};
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | FILE_WRITE_ATTRIBUTES, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    bool timed = file != INVALID_HANDLE_VALUE && GetFileTime(file, &times[0], &times[1], &times[2]);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    if (!write_file_bytes(path, bytes))
        return false;
    if (!keep_time)
        return true;
    file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    bool done = timed && file != INVALID_HANDLE_VALUE && SetFileTime(file, &times[0], &times[1], &times[2]);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return done;
}

enum { PLAIN, KEEP_TIME, BORRAR };

struct change_case {
    const char* name;
    std::string before;     // notes file when the slate starts, or NO_FILE
    std::wstring shown;     // what the box starts with (its first units)
    std::string elsewhere;  // written by another program while it runs, or UNTOUCHED
    int step;               // KEEP_TIME: the other program keeps the file's time;
                            // BORRAR: "Borrar" next, which must keep the file as it is
    const wchar_t* typed;   // box text before "Salir"; null: unedited
    std::string after;
};

// The cases side by side: start, the other program's write, the edit, "Salir".
void run_changes(const std::vector<change_case>& cases)
{
    site_list sites = make_sites(cases.size());
    std::vector<std::string> files;
    for (const change_case& c : cases)
        files.push_back(c.before);
    OPEN_SITES_WITH(sites, files);
    for (size_t i = 0; i < cases.size(); ++i) {
        const change_case& c = cases[i];
        SCOPED_TRACE(c.name);
        const slate_process& slate = sites[i]->run.slate;
        std::wstring shown = box_wide(slate);
        EXPECT_EQ(shown.substr(0, c.shown.size()), c.shown) << narrow(shown, CP_UTF8);
        ASSERT_TRUE(write_elsewhere(sites[i]->notes(), c.elsewhere, c.step == KEEP_TIME));
        if (c.step == BORRAR) {
            std::string now = notes_bytes(sites[i]->notes());
            click_button(slate, CLEAR_ID);
            EXPECT_EQ(box_wide(slate), L"") << "the box is emptied";
            EXPECT_EQ(visible_bytes(notes_bytes(sites[i]->notes())), visible_bytes(now))
                << "\"Borrar\" keeps notes it did not show whole";
        }
        if (c.typed) {
            ASSERT_TRUE(set_box_wide(slate, c.typed));
        }
        post_command(slate, LEAVE_ID, BN_CLICKED);
    }
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        expect_ended_with(sites[i].get(), cases[i].after);
    }
}

TEST(SlateChanges, test_notes_changed_or_made_elsewhere_get_the_text_added)
{
    SCOPED_TRACE("ANSI code page " + std::to_string(GetACP()));
    run_changes({
        {"changed elsewhere", "old\r\n", L"old", "old\r\nother\r\n", PLAIN, L"mine",
         "old\r\nother\r\nmine\r\n"},
        {"changed elsewhere, no final line end", "old\r\n", L"old", "oth", PLAIN, L"mine\r\n",
         "oth\r\nmine\r\n"},
        {"same length and time, other bytes", "aaaa\r\n", L"aaaa", "bbbb\r\n", KEEP_TIME, L"mine",
         "bbbb\r\nmine\r\n"},
        {"made elsewhere", NO_FILE, L"", "made\r\n", PLAIN, L"mine", "made\r\nmine\r\n"},
        {"made elsewhere in marked UTF-8: added as UTF-8 without the mark", NO_FILE, L"",
         MARK + utf8(L"caf\x00e9\r\n"), PLAIN, L"\x2713 ok",
         MARK + utf8(L"caf\x00e9\r\n") + utf8(L"\x2713 ok\r\n")},
        {"changed elsewhere in code-page bytes", "old\r\n", L"old", "caf\xe9\r\n", PLAIN,
         L"cr\x00e8me", "caf\xe9\r\ncr\xe8me\r\n"},
        {"rewritten with the same bytes: replaced", "old\r\n", L"old", "old\r\n", PLAIN, L"mine",
         "mine\r\n"},
        {"deleted elsewhere: written anew", "old\r\n", L"old", NO_FILE, PLAIN, L"mine", "mine\r\n"},
        {"unedited: the other program's file stays", "old\r\n", L"old", "other\r\n", PLAIN,
         nullptr, "other\r\n"},
        {"empty box: the other program's file stays", "old\r\n", L"old", "other\r\n", PLAIN, L"",
         "other\r\n"},
    });
}

TEST(SlateChanges, test_invalid_utf8_behind_the_mark_gets_the_text_added)
{
    // The box shows a substitute for E9, which is no UTF-8: an edit is added
    // after the old bytes, never put in their place.
    const std::string file = MARK + "caf\xe9 ok";
    run_changes({
        {"edited", file, L"caf\xfffd ok\r\n", UNTOUCHED, PLAIN, L"caf\x00e9 ok",
         file + "\r\n" + utf8(L"caf\x00e9 ok") + "\r\n"},
        {"edited, text beyond the code page", file, L"caf\xfffd ok", UNTOUCHED, PLAIN, L"\x2713",
         file + "\r\n\xE2\x9C\x93\r\n"},
    });
}

TEST(SlateCodePage932, test_invalid_double_byte_notes_get_the_text_added)
{
    // Runs under LC_ALL=ja_JP.UTF-8 (its own CTest entry): code page 932.
    if (GetACP() != 932)
        GTEST_SKIP() << "needs ANSI code page 932, this is " << GetACP();
    const std::wstring nihon = L"\x65e5\x672c";
    // 0x81 leads a double-byte character; 0x20 cannot follow it.
    const std::string file = narrow(nihon) + "\x81\x20ok\r\n";
    const std::string dangling = narrow(nihon) + "\x82";  // a lead byte last in the file
    const std::wstring typed = nihon + L"\x8a9e";
    run_changes({
        {"invalid second byte", file, nihon, UNTOUCHED, PLAIN, typed.c_str(),
         file + narrow(typed) + "\r\n"},
        {"lead byte at the end", dangling, nihon, UNTOUCHED, PLAIN, L"ok", dangling + "\r\nok\r\n"},
    });
}

TEST(SlateChanges, test_borrar_keeps_notes_it_did_not_show_whole)
{
    // "Borrar" empties the box and keeps the file; what is typed next goes
    // after the file as it is now.
    const std::string nul("abc\r\nd\0ef\r\n", 11);
    run_changes({
        {"a NUL byte: the box showed only the part before it", nul, L"abc\r\nd", UNTOUCHED, BORRAR,
         L"next", nul + "next\r\n"},
        {"written elsewhere after the load", "old\r\n", L"old", "old\r\nother\r\n", BORRAR, L"next",
         "old\r\nother\r\nnext\r\n"},
    });
}

}  // namespace
