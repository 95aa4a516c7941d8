// Notes in any language and from any folder: the folder is found by its wide
// path, and text beyond the code page reaches the file whole.
#include <gtest/gtest.h>

#include "tests/app/slate_driver.h"

namespace {

std::string utf8(const std::wstring& text)
{
    return narrow(text, CP_UTF8);
}

const std::string MARK = "\xEF\xBB\xBF";

struct folder_case {
    const char* name;
    std::wstring folder;   // the slate's folder, made in a fresh scratch folder
    std::wstring sibling;  // a folder beside it whose notes must stay untouched, or empty
    bool borrar;           // leave with "Borrar" and the close command, else edit and "Salir"
};

TEST(SlateText, test_notes_beside_the_program_in_any_folder)
{
    // Names the code page lacks, and a name whose best-fit letters name the
    // sibling folder ("Ł" -> "L" in 1252).
    const folder_case cases[] = {
        {"Cyrillic and CJK", L"\x0417\x0430\x043c\x0435\x0442\x043a\x0438 \x65e5\x672c", L"", false},
        {"best-fit sibling, Salir", L"\x0141ukasz", L"Lukasz", false},
        {"best-fit sibling, Borrar", L"\x0141ukasz", L"Lukasz", true},
    };
    const size_t count = sizeof cases / sizeof cases[0];
    scratch_folder scratches[count];
    scratch_folder elsewhere;
    wide_tree_removal removals;
    std::vector<slate_guard> runs(count);
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(cases[i].name);
        std::wstring base = widen(scratches[i].path());
        for (const std::wstring& name : {cases[i].folder, cases[i].sibling}) {
            if (name.empty())
                continue;
            ASSERT_TRUE(CreateDirectoryW((base + name).c_str(), nullptr));
            removals.folders.push_back(base + name + L"\\");
            ASSERT_TRUE(write_file_bytes(base + name + L"\\veslinn.txt",
                                        name == cases[i].folder ? "own notes\r\n" : "sibling\r\n"));
        }
        ASSERT_TRUE(copy_slate_wide(base + cases[i].folder + L"\\"));
        std::string why;
        ASSERT_TRUE(start_program(base + cases[i].folder + L"\\veslinn.exe", widen(elsewhere.path()),
                                  &runs[i].slate, &why))
            << why;
    }
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(cases[i].name);
        std::string why;
        ASSERT_TRUE(wait_for_slate_window(&runs[i].slate, &why)) << why;
        EXPECT_EQ(box_wide(runs[i].slate), L"own notes\r\n") << "the notes of the slate's own folder";
        if (cases[i].borrar) {
            click_button(runs[i].slate, CLEAR_ID);
            post_close_command(runs[i].slate);
        } else {
            ASSERT_TRUE(set_box_wide(runs[i].slate, L"adi\x00f3s"));
            post_command(runs[i].slate, LEAVE_ID, BN_CLICKED);
        }
    }
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(cases[i].name);
        std::wstring base = widen(scratches[i].path());
        EXPECT_EQ(wait_exit(&runs[i].slate), 0);
        EXPECT_EQ(visible_bytes(notes_bytes(base + cases[i].folder + L"\\veslinn.txt")),
                  cases[i].borrar ? "<no file>" : "adi\\xF3s\\x0D\\x0A");
        if (!cases[i].sibling.empty()) {
            EXPECT_EQ(notes_bytes(base + cases[i].sibling + L"\\veslinn.txt"), "sibling\r\n")
                << "the sibling folder's notes are not touched";
        }
    }
}

struct text_case {
    const char* name;
    std::string before;  // notes file at the start, or NO_FILE
    std::wstring shown;  // text the box shows
    std::wstring typed;  // text set before "Salir"
    std::string after;   // notes file afterwards
};

TEST(SlateText, test_text_beyond_the_code_page_is_kept)
{
    SCOPED_TRACE("ANSI code page " + std::to_string(GetACP()));
    const std::wstring world = L"\x041f\x0440\x0438\x0432\x0435\x0442 \x2713 \x65e5\x672c \xd83d\xde00 "
                               L"\x0101 caf\x00e9";
    const std::wstring check = L"caf\x00e9 \x2713";
    const text_case cases[] = {
        {"typed text beyond the code page: UTF-8 with the mark", NO_FILE, L"", world,
         MARK + utf8(world) + "\r\n"},
        {"code-page text stays in code-page bytes", NO_FILE, L"", L"caf\x00e9 \x20ac",
         "caf\xe9 \x80\r\n"},
        {"marked UTF-8 keeps its mark", MARK + utf8(check) + "\r\n", check + L"\r\n",
         check + L" m\x00e1s", MARK + utf8(check + L" m\x00e1s") + "\r\n"},
        {"unmarked UTF-8 stays unmarked", utf8(check) + "\r\n", check + L"\r\n", world,
         utf8(world) + "\r\n"},
        {"unmarked UTF-8 of code-page letters stays UTF-8", utf8(L"caf\x00e9") + "\r\n",
         L"caf\x00e9\r\n", L"cr\x00e8me", utf8(L"cr\x00e8me") + "\r\n"},
        {"code-page bytes that would read as UTF-8", NO_FILE, L"", L"\x00c3\x00a9",
         MARK + utf8(L"\x00c3\x00a9") + "\r\n"},
    };
    const size_t count = sizeof cases / sizeof cases[0];
    site_list sites = make_sites(count);
    std::vector<std::string> files;
    for (const text_case& c : cases)
        files.push_back(c.before);
    OPEN_SITES_WITH(sites, files);
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(box_wide(sites[i]->run.slate), cases[i].shown) << "box after the start";
        ASSERT_TRUE(set_box_wide(sites[i]->run.slate, cases[i].typed));
        post_command(sites[i]->run.slate, LEAVE_ID, BN_CLICKED);
    }
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(cases[i].name);
        expect_ended_with(sites[i].get(), cases[i].after);
        close_slate(&sites[i]->run.slate);
    }
    // The next start shows exactly what was typed.
    OPEN_SITES(sites);
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(box_wide(sites[i]->run.slate), cases[i].typed + L"\r\n") << "box after a restart";
        post_close_command(sites[i]->run.slate);
    }
    for (size_t i = 0; i < count; ++i)
        EXPECT_EQ(wait_exit(&sites[i]->run.slate), 0);
}

TEST(SlateCodePage932, test_double_byte_program_name)
{
    // Runs under LC_ALL=ja_JP.UTF-8 (its own CTest entry): code page 932,
    // where the second byte of U+8868 is 0x5C, the backslash.
    if (GetACP() != 932)
        GTEST_SKIP() << "needs ANSI code page 932, this is " << GetACP();
    slate_site site;
    const std::wstring exe = widen(site.home.path()) + L"\x8868.exe";
    ASSERT_TRUE(copy_slate_wide(widen(site.home.path()), L"\x8868.exe"));
    const std::wstring notes = L"\x65e5\x672c\x8a9e\r\n";
    std::string bytes = narrow(notes);
    ASSERT_EQ(bytes.size(), 8u) << "six bytes of Shift-JIS and CR LF";
    ASSERT_TRUE(write_file_bytes(site.notes(), bytes));
    std::string why;
    ASSERT_TRUE(start_slate(exe, widen(site.elsewhere.path()), &site.run.slate, &why)) << why;
    EXPECT_EQ(box_wide(site.run.slate), notes) << "the notes beside the program";
    ASSERT_TRUE(set_box_wide(site.run.slate, L"\x8868 \x00e9"));
    post_command(site.run.slate, LEAVE_ID, BN_CLICKED);
    EXPECT_EQ(wait_exit(&site.run.slate), 0);
    // U+00E9 is not in code page 932: the file becomes UTF-8 with the mark.
    EXPECT_EQ(visible_bytes(notes_bytes(site.notes())), visible_bytes(MARK + utf8(L"\x8868 \x00e9") + "\r\n"));
    EXPECT_EQ(wide_names(widen(site.home.path())),
              (std::vector<std::wstring>{L"veslinn.txt", L"\x8868.exe"}))
        << "no notes file named after part of the program's name";
}

}  // namespace
