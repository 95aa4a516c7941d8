// Notes another program wrote while the slate was open: a save adds the box's
// text after them instead of replacing them, and so do notes the box could
// show only in part; "Borrar" keeps them; saves clear away what dead saves
// left behind.
#include <gtest/gtest.h>

#include "tests/app/slate_driver.h"

namespace {

const std::string MARK = "\xEF\xBB\xBF";
const std::string UNTOUCHED = "<untouched>";

std::string utf8(const std::wstring& text)
{
    return narrow(text, CP_UTF8);
}

// Writes a file as another program would: new bytes (NO_FILE: deleted); with
// keep_time, the old last-write time is put back, so that only the bytes
// tell the change.
bool write_elsewhere(const std::string& path, const std::string& bytes, bool keep_time = false)
{
    if (bytes == UNTOUCHED)
        return true;
    if (bytes == NO_FILE)
        return DeleteFileA(path.c_str()) != FALSE;
    WIN32_FILE_ATTRIBUTE_DATA old = {};
    if (keep_time && !GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &old))
        return false;
    if (!write_file_bytes(path, bytes))
        return false;
    if (!keep_time)
        return true;
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    bool done = file != INVALID_HANDLE_VALUE &&
                SetFileTime(file, &old.ftCreationTime, &old.ftLastAccessTime, &old.ftLastWriteTime);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return done;
}

struct change_case {
    const char* name;
    std::string before;     // notes file when the slate starts, or NO_FILE
    std::string elsewhere;  // written by another program while it runs (NO_FILE: deleted)
    bool keep_time;         // ... with the file's old last-write time put back
    const wchar_t* typed;   // box text before "Salir"; null: unedited
    std::string after;
};

TEST(SlateChanges, test_notes_changed_or_made_elsewhere_get_the_text_added)
{
    SCOPED_TRACE("ANSI code page " + std::to_string(GetACP()));
    const change_case cases[] = {
        {"changed elsewhere", "old\r\n", "old\r\nother\r\n", false, L"mine",
         "old\r\nother\r\nmine\r\n"},
        {"changed elsewhere, no final line end", "old\r\n", "other", false, L"mine\r\n",
         "other\r\nmine\r\n"},
        {"same length and time, other bytes", "aaaa\r\n", "bbbb\r\n", true, L"mine",
         "bbbb\r\nmine\r\n"},
        {"made elsewhere", NO_FILE, "made\r\n", false, L"mine", "made\r\nmine\r\n"},
        {"made elsewhere in marked UTF-8: added as UTF-8 without the mark", NO_FILE,
         MARK + utf8(L"caf\x00e9\r\n"), false, L"\x2713 ok",
         MARK + utf8(L"caf\x00e9\r\n") + utf8(L"\x2713 ok\r\n")},
        {"changed elsewhere in code-page bytes", "old\r\n", "caf\xe9\r\n", false, L"cr\x00e8me",
         "caf\xe9\r\ncr\xe8me\r\n"},
        {"rewritten with the same bytes: replaced", "old\r\n", "old\r\n", false, L"mine",
         "mine\r\n"},
        {"deleted elsewhere: written anew", "old\r\n", NO_FILE, false, L"mine", "mine\r\n"},
        {"unedited: the other program's file stays", "old\r\n", "other\r\n", false, nullptr,
         "other\r\n"},
        {"empty box: the other program's file stays", "old\r\n", "other\r\n", false, L"",
         "other\r\n"},
    };
    const size_t count = sizeof cases / sizeof cases[0];
    site_list sites = make_sites(count);
    std::vector<std::string> files;
    for (const change_case& c : cases)
        files.push_back(c.before);
    OPEN_SITES_WITH(sites, files);
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(cases[i].name);
        ASSERT_TRUE(write_elsewhere(sites[i]->notes(), cases[i].elsewhere, cases[i].keep_time));
        if (cases[i].typed) {
            ASSERT_TRUE(set_box_wide(sites[i]->run.slate, cases[i].typed));
        }
        post_command(sites[i]->run.slate, LEAVE_ID, BN_CLICKED);
    }
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(cases[i].name);
        expect_ended_with(sites[i].get(), cases[i].after);
    }
}

struct lossy_case {
    const char* name;
    std::string file;     // bytes some of which have no exact wide form
    std::wstring shown;   // what the box starts with
    std::wstring typed;   // the edit before "Salir"
    std::string after;    // the old bytes kept, the text added
};

// The box shows a substitute for what it cannot show exactly; an edit is
// then added after the old bytes, never put in their place.
void expect_lossy_notes_get_the_text_added(const std::vector<lossy_case>& cases)
{
    site_list sites = make_sites(cases.size());
    std::vector<std::string> files;
    for (const lossy_case& c : cases)
        files.push_back(c.file);
    OPEN_SITES_WITH(sites, files);
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        std::wstring shown = box_wide(sites[i]->run.slate);
        EXPECT_EQ(shown.substr(0, cases[i].shown.size()), cases[i].shown) << narrow(shown, CP_UTF8);
        ASSERT_TRUE(set_box_wide(sites[i]->run.slate, cases[i].typed));
        post_command(sites[i]->run.slate, LEAVE_ID, BN_CLICKED);
    }
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        expect_ended_with(sites[i].get(), cases[i].after);
    }
}

TEST(SlateChanges, test_invalid_utf8_behind_the_mark_gets_the_text_added)
{
    const std::string file = MARK + "caf\xe9 ok";  // E9 alone is no UTF-8
    expect_lossy_notes_get_the_text_added({
        {"edited", file, L"caf\xfffd ok\r\n", L"caf\x00e9 ok",
         file + "\r\n" + utf8(L"caf\x00e9 ok") + "\r\n"},
        {"edited, text beyond the code page", file, L"caf\xfffd ok", L"\x2713",
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
    expect_lossy_notes_get_the_text_added({
        {"invalid second byte", file, nihon, nihon + L"\x8a9e",
         file + narrow(nihon + L"\x8a9e") + "\r\n"},
        {"lead byte at the end", dangling, nihon, L"ok", dangling + "\r\nok\r\n"},
    });
}

struct borrar_case {
    const char* name;
    std::string before;     // notes file when the slate starts
    std::string elsewhere;  // written by another program before "Borrar", or UNTOUCHED
    std::string kept;       // the notes file after "Borrar"
};

TEST(SlateChanges, test_borrar_keeps_notes_it_did_not_show_whole)
{
    const std::string nul("abc\r\nd\0ef\r\n", 11);
    const borrar_case cases[] = {
        {"a NUL byte: the box showed only the part before it", nul, UNTOUCHED, nul},
        {"written elsewhere after the load", "old\r\n", "old\r\nother\r\n", "old\r\nother\r\n"},
    };
    const size_t count = sizeof cases / sizeof cases[0];
    site_list sites = make_sites(count);
    std::vector<std::string> files;
    for (const borrar_case& c : cases)
        files.push_back(c.before);
    OPEN_SITES_WITH(sites, files);
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(cases[i].name);
        const slate_process& slate = sites[i]->run.slate;
        ASSERT_TRUE(write_elsewhere(sites[i]->notes(), cases[i].elsewhere));
        click_button(slate, CLEAR_ID);
        EXPECT_EQ(box_wide(slate), L"") << "the box is emptied";
        EXPECT_EQ(visible_bytes(notes_bytes(sites[i]->notes())), visible_bytes(cases[i].kept));
        // What is typed next goes after the file as it is now.
        ASSERT_TRUE(set_box_text(slate, "next"));
        post_command(slate, LEAVE_ID, BN_CLICKED);
    }
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(cases[i].name);
        expect_ended_with(sites[i].get(), cases[i].kept + "next\r\n");
    }
}

TEST(SlateChanges, test_salir_removes_temporary_files_of_dead_saves)
{
    // A save killed before its rename leaves "veslinnXXXX.new" behind: the
    // next save removes it, whether it was there before the slate started or
    // came while it ran.  A file named otherwise stays.
    slate_site site;
    ASSERT_TRUE(write_file_bytes(site.notes(), "old\r\n"));
    ASSERT_TRUE(write_file_bytes(site.home.file("veslinn0000.new"), "dead save"));
    ASSERT_TRUE(write_file_bytes(site.home.file("veslinn.new"), "not a save's file"));
    OPEN_SITE(site);
    ASSERT_TRUE(write_file_bytes(site.home.file("veslinnbeef.new"), "another dead save"));
    ASSERT_TRUE(set_box_text(site.run.slate, "mine"));
    post_command(site.run.slate, LEAVE_ID, BN_CLICKED);
    EXPECT_EQ(wait_exit(&site.run.slate), 0);
    EXPECT_EQ(visible_bytes(notes_bytes(site.notes())), "mine\\x0D\\x0A");
    EXPECT_EQ(joined_names(folder_names(site.home.path())),
              joined_names({"veslinn.exe", "veslinn.new", "veslinn.txt"}));
    EXPECT_EQ(notes_bytes(site.home.file("veslinn.new")), "not a save's file");
}

}  // namespace
