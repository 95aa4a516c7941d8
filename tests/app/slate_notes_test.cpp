// The notes file seen from outside: what a start shows in the box, what
// "Salir", "Borrar", the close command and ignored commands leave on disk.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/app/slate_driver.h"

namespace {

// Leaves with "Salir" and expects a normal end.
void leave_with_salir(slate_site* site)
{
    post_command(site->run.slate, LEAVE_ID, BN_CLICKED);
    EXPECT_EQ(wait_exit(&site->run.slate), 0) << "exit code after \"Salir\"";
}

// Bytes no text editor would write: random bytes of every value.
std::string junk_bytes(size_t count)
{
    std::string bytes;
    uint32_t state = 12345;
    for (size_t i = 0; i < count; ++i) {
        state = state * 1103515245u + 12345u;
        bytes += static_cast<char>(state >> 24);
    }
    return bytes;
}

const std::string UNCHECKED = "<not checked>";

struct load_case {
    const char* name;
    std::string file;  // notes file before the start
    std::string box;   // text the box shows (bytes), or UNCHECKED
};

TEST(SlateNotes, test_load_then_leave_unedited)
{
    // Whatever the file holds, leaving without an edit leaves it byte for
    // byte as it was.  The code-page cases take a single-byte ANSI code page
    // (1252 in a default Wine prefix), in which every byte stands for one
    // character.
    SCOPED_TRACE("ANSI code page " + std::to_string(GetACP()));
    const std::string line127(127, 'x');
    const std::string line300(300, 'w');
    const std::string l127 = line127 + "\r\n";
    const load_case cases[] = {
        {"CR LF lines", "abc\r\ndef\r\n", "abc\r\ndef\r\n"},
        {"no final line end", "abc\r\ndef", "abc\r\ndef\r\n"},
        {"CR alone ends a line", "a\rb\r", "a\r\nb\r\n"},
        {"empty line between", "a\r\r\nb", "a\r\n\r\nb\r\n"},
        {"LF alone stays in the line", "a\nb\n", "a\nb\n\r\n"},
        {"LF then CR", "a\n\rb", "a\n\r\nb\r\n"},
        {"Ctrl-Z ends the data", "abc\x1a" "def\r\n", "abc\r\n"},
        {"Ctrl-Z bytes only", "\x1a\x1a\x1a", "\r\n"},
        {"empty file", "", "\r\n"},
        {"CR LF split across the read buffer", l127 + "next\r\n", l127 + "next\r\n"},
        {"CR last in the read buffer, no LF", line127 + "\rnext", l127 + "next\r\n"},
        {"CR last byte of the file", line127 + "\r", l127},
        {"line longer than the buffer", line300 + "\r\nend\r\n", line300 + "\r\nend\r\n"},
        {"code-page bytes", "caf\xe9 cr\xe8me \xfc\xdf\r\n", "caf\xe9 cr\xe8me \xfc\xdf\r\n"},
        {"a NUL byte: the box stops there", std::string("abc\r\nd\0ef\r\n", 11), "abc\r\nd"},
        {"UTF-16 with its mark", std::string("\xff\xfeh\0i\0\r\0\n\0", 10), "\xff\xfeh"},
        {"random bytes", junk_bytes(4096), UNCHECKED},
    };
    // The cases run side by side, one slate each.
    const size_t count = sizeof cases / sizeof cases[0];
    site_list sites = make_sites(count);
    std::vector<std::string> files;
    for (const load_case& c : cases)
        files.push_back(c.file);
    OPEN_SITES_WITH(sites, files);
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(cases[i].name);
        if (cases[i].box != UNCHECKED) {
            EXPECT_EQ(visible_bytes(box_text(sites[i]->run.slate)), visible_bytes(cases[i].box))
                << "box text";
        }
        post_command(sites[i]->run.slate, LEAVE_ID, BN_CLICKED);
    }
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(cases[i].name);
        expect_ended_with(sites[i].get(), cases[i].file);
        EXPECT_EQ(joined_names(folder_names(sites[i]->elsewhere.path())), "[]")
            << "the working folder is not the notes folder";
    }
}

TEST(SlateNotes, test_many_lines_load_whole)
{
    std::string file;
    for (int i = 0; i < 2000; ++i)
        file += "line " + std::to_string(i) + " of the notes\r\n";
    slate_site site;
    ASSERT_TRUE(write_file_bytes(site.notes(), file));
    OPEN_SITE(site);
    std::string shown = box_text(site.run.slate);
    EXPECT_EQ(shown.size(), file.size()) << "box text length";
    EXPECT_TRUE(shown == file) << "box text differs from the file";
    leave_with_salir(&site);
    EXPECT_TRUE(notes_bytes(site.notes()) == file) << "unedited notes file changed";
}

struct save_case {
    const char* name;
    std::string before;  // notes file before the start, or NO_FILE
    std::string text;    // box text set before "Salir"
    std::string after;   // notes file after, or NO_FILE
};

TEST(SlateNotes, test_salir_writes_the_box)
{
    std::string long_text;
    for (int i = 0; i < 600; ++i)
        long_text += "a note of some length, number " + std::to_string(i) + "\r\n";
    const save_case cases[] = {
        {"new file", NO_FILE, "abc", "abc\r\n"},
        {"replaces old notes", "old notes\r\nmore\r\n", "new", "new\r\n"},
        {"text ending in CR LF gets no second", "old\r\n", "x\r\ny\r\n", "x\r\ny\r\n"},
        {"line break only", "old\r\n", "\r\n", "\r\n"},
        {"code-page bytes", NO_FILE, "\xe9t\xe9 \xe0 l'\xeele", "\xe9t\xe9 \xe0 l'\xeele\r\n"},
        {"empty box keeps the old file", "old notes\r\n", "", "old notes\r\n"},
        {"empty box writes no file", NO_FILE, "", NO_FILE},
        {"text beyond the typing limit", "old\r\n", long_text, long_text},
    };
    const size_t count = sizeof cases / sizeof cases[0];
    site_list sites = make_sites(count);
    std::vector<std::string> files;
    for (const save_case& c : cases)
        files.push_back(c.before);
    OPEN_SITES_WITH(sites, files);
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(cases[i].name);
        ASSERT_TRUE(set_box_text(sites[i]->run.slate, cases[i].text));
        ASSERT_EQ(box_text(sites[i]->run.slate).size(), cases[i].text.size())
            << "box did not take the text";
        post_command(sites[i]->run.slate, LEAVE_ID, BN_CLICKED);
    }
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(cases[i].name);
        expect_ended_with(sites[i].get(), cases[i].after);
    }
}

TEST(SlateNotes, test_salir_by_button_click_and_accelerator)
{
    // Side by side: a click on the button, and command code 1 (an accelerator).
    site_list sites = make_sites(2);
    OPEN_SITES_WITH(sites, std::vector<std::string>(2, "old\r\n"));
    for (const std::unique_ptr<slate_site>& site : sites)
        ASSERT_TRUE(set_box_text(site->run.slate, "clicked"));
    post_click(sites[0]->run.slate, LEAVE_ID);
    post_command(sites[1]->run.slate, LEAVE_ID, 1);
    for (const std::unique_ptr<slate_site>& site : sites)
        expect_ended_with(site.get(), "clicked\r\n");
}

// Watches a folder for file-name and write changes while a slate saves.
struct folder_watch {
    HANDLE folder = INVALID_HANDLE_VALUE;  // owned: closed by the destructor
    HANDLE done = nullptr;                 // owned: event of the pending read
    OVERLAPPED pending = {};
    alignas(DWORD) char buffer[16384];

    ~folder_watch()
    {
        if (folder != INVALID_HANDLE_VALUE) {
            CancelIo(folder);
            CloseHandle(folder);
        }
        if (done)
            CloseHandle(done);
    }
};

bool start_watch(folder_watch* watch, const std::string& folder)
{
    HANDLE handle = CreateFileA(folder.c_str(), FILE_LIST_DIRECTORY,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED,
                                nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    watch->folder = handle;
    watch->done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return watch->done != nullptr;
}

bool read_changes(folder_watch* watch)
{
    ResetEvent(watch->done);
    watch->pending = OVERLAPPED();
    watch->pending.hEvent = watch->done;
    return ReadDirectoryChangesW(watch->folder, watch->buffer, sizeof watch->buffer, FALSE,
                                 FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE |
                                     FILE_NOTIFY_CHANGE_SIZE,
                                 nullptr, &watch->pending, nullptr) != FALSE;
}

// Collects the changes reported until the folder has been quiet for quiet_ms,
// as "action:name" entries in order.
std::vector<std::string> collect_changes(folder_watch* watch, unsigned quiet_ms)
{
    static const char* const ACTIONS[] = {"?", "added", "removed", "modified", "renamed-from",
                                          "renamed-to"};
    std::vector<std::string> changes;
    while (WaitForSingleObject(watch->done, quiet_ms) == WAIT_OBJECT_0) {
        DWORD got = 0;
        if (!GetOverlappedResult(watch->folder, &watch->pending, &got, FALSE))
            break;
        for (DWORD offset = 0; got > 0;) {
            const FILE_NOTIFY_INFORMATION* entry =
                reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(watch->buffer + offset);
            std::wstring name(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
            DWORD action = entry->Action <= 5 ? entry->Action : 0;
            changes.push_back(std::string(ACTIONS[action]) + ":" + narrow(name));
            if (entry->NextEntryOffset == 0)
                break;
            offset += entry->NextEntryOffset;
        }
        if (!read_changes(watch))
            break;
    }
    return changes;
}

TEST(SlateNotes, test_salir_replaces_the_notes_in_one_rename)
{
    // The new notes are written to a temporary file of the same folder and
    // take the old file's place by one rename: the old notes are never
    // truncated, rewritten or deleted on the way.
    slate_site site;
    ASSERT_TRUE(write_file_bytes(site.notes(), "old notes\r\n"));
    OPEN_SITE(site);
    folder_watch watch;
    ASSERT_TRUE(start_watch(&watch, site.home.path())) << "error " << GetLastError();
    ASSERT_TRUE(read_changes(&watch)) << "error " << GetLastError();
    ASSERT_TRUE(set_box_text(site.run.slate, "new notes"));
    leave_with_salir(&site);
    std::vector<std::string> changes = collect_changes(&watch, 1000);
    std::string all;
    for (const std::string& change : changes)
        all += change + " ";
    SCOPED_TRACE("changes: " + all);

    std::string temporary;
    for (const std::string& change : changes) {
        if (change.compare(0, 6, "added:") == 0)
            temporary = change.substr(6);
    }
    ASSERT_FALSE(temporary.empty()) << "no file was created in the notes folder";
    EXPECT_NE(temporary, "veslinn.txt") << "the notes file itself is not created anew";
    EXPECT_NE(temporary[0], '.') << "the temporary name does not start with a dot";
    // Nothing touches the old notes file until the rename that replaces it.
    for (const std::string& change : changes) {
        if (change == "renamed-to:veslinn.txt")
            break;
        EXPECT_EQ(change.find(":veslinn.txt"), std::string::npos)
            << change << " came before the notes file was replaced";
    }
    size_t from = all.find("renamed-from:" + temporary + " ");
    size_t to = all.find("renamed-to:veslinn.txt ");
    EXPECT_NE(from, std::string::npos) << "the temporary file is renamed";
    EXPECT_NE(to, std::string::npos) << "onto veslinn.txt";
    EXPECT_EQ(visible_bytes(notes_bytes(site.notes())), "new notes\\x0D\\x0A");
    EXPECT_EQ(joined_names(folder_names(site.home.path())), exe_and_notes());
}

TEST(SlateNotes, test_two_slates_leaving_together_both_land)
{
    // One executable started twice over one notes file, both edited and left
    // one after the other or at the same moment: the first save replaces the
    // old notes, the second finds them changed and adds its text after, so
    // both texts are kept whole.  The rounds run ten folders at a time, with
    // one folder more each time whose slates leave one after the other.
    const int ROUNDS = 20, SIDE_BY_SIDE = 10, FOLDERS = SIDE_BY_SIDE + 1;
    for (int first = 0; first < ROUNDS; first += SIDE_BY_SIDE) {
        site_list sites = make_sites(FOLDERS);
        std::vector<slate_guard> seconds(FOLDERS);
        std::string texts[FOLDERS][2];
        for (int i = 0; i < FOLDERS; ++i) {
            ASSERT_TRUE(write_file_bytes(sites[i]->notes(), "old\r\n"));
            for (int k = 0; k < 2; ++k) {
                for (int line = 0; line < 300; ++line)
                    texts[i][k] += "round " + std::to_string(first + i) + " slate " +
                                   std::to_string(k) + " line " + std::to_string(line) + "\r\n";
            }
        }
        OPEN_SITES(sites);
        for (int i = 0; i < FOLDERS; ++i) {
            std::string why;
            ASSERT_TRUE(start_slate(sites[i]->exe(), sites[i]->elsewhere.path(), &seconds[i].slate,
                                    &why))
                << why;
            ASSERT_TRUE(set_box_text(sites[i]->run.slate, texts[i][0]));
            ASSERT_TRUE(set_box_text(seconds[i].slate, texts[i][1]));
        }
        const int in_turn = SIDE_BY_SIDE;
        post_command(sites[in_turn]->run.slate, LEAVE_ID, BN_CLICKED);
        EXPECT_EQ(wait_exit(&sites[in_turn]->run.slate), 0);
        for (int i = 0; i < FOLDERS; ++i) {
            if (i != in_turn)
                post_command(sites[i]->run.slate, LEAVE_ID, BN_CLICKED);
            post_command(seconds[i].slate, LEAVE_ID, BN_CLICKED);
        }
        for (int i = 0; i < FOLDERS; ++i) {
            SCOPED_TRACE(i == in_turn ? "one after the other" : "round " + std::to_string(first + i));
            for (slate_process* slate : {&sites[i]->run.slate, &seconds[i].slate}) {
                int code = wait_exit(slate);
                std::wstring message;
                if (code != 0 && wait_for_message(*slate, &message, 100))
                    ADD_FAILURE() << "message: " << narrow(message);
                EXPECT_EQ(code, 0);
            }
            std::string notes = notes_bytes(sites[i]->notes());
            std::string in_order = texts[i][0] + texts[i][1];
            EXPECT_TRUE(notes == in_order ||
                        (i != in_turn && notes == texts[i][1] + texts[i][0]))
                << "not both texts whole: " << notes.size() << " bytes, starting "
                << visible_bytes(notes.substr(0, 60));
            EXPECT_EQ(joined_names(folder_names(sites[i]->home.path())), exe_and_notes());
        }
    }
}

TEST(SlateNotes, test_stray_files_never_block_a_save)
{
    // Left behind by a slate of old (a fixed temporary name) or by a save
    // that was killed: files and folders named like a save's own file.  A
    // save removes the files a dead save left, but not one still held open,
    // nor folders or names of another form.
    slate_site site;
    ASSERT_TRUE(write_file_bytes(site.notes(), "old\r\n"));
    OPEN_SITE(site);
    std::vector<std::string> strays = {"veslinn.new"};
    for (DWORD k = 0; k < 3; ++k) {
        char name[32];
        wsprintfA(name, "veslinn%04x.new", (site.run.slate.id * 16 + k) & 0xFFFF);
        strays.push_back(name);
    }
    ASSERT_TRUE(CreateDirectoryA(site.home.file(strays[0]).c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(site.home.file(strays[1]).c_str(), nullptr));
    ASSERT_TRUE(write_file_bytes(site.home.file(strays[2]), "stray"));
    ASSERT_TRUE(write_file_bytes(site.home.file(strays[3]), "held stray"));
    HANDLE held = CreateFileA(site.home.file(strays[3]).c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(set_box_text(site.run.slate, "saved past the strays"));
    leave_with_salir(&site);
    CloseHandle(held);
    EXPECT_EQ(visible_bytes(notes_bytes(site.notes())), "saved past the strays\\x0D\\x0A");
    std::vector<std::string> expected = {strays[0], strays[1], strays[3]};
    expected.push_back("veslinn.exe");
    expected.push_back("veslinn.txt");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(joined_names(folder_names(site.home.path())), joined_names(expected));
    EXPECT_EQ(notes_bytes(site.home.file(strays[3])), "held stray") << "a held file is left alone";
}

struct partial_case {
    const char* name;
    std::string file;  // notes file, of which the box shows only a part
    std::string box;   // what the box shows
    std::wstring typed;
    std::string after;
};

TEST(SlateNotes, test_edits_to_notes_shown_in_part_are_added)
{
    // Text the box could not take whole is never replaced: an edit is added
    // at the end of the file, after a line end when the file has none.
    const std::string nul("abc\r\nd\0ef\r\n", 11);
    const std::string utf16("\xff\xfeh\0i\0", 6);
    const std::string marked("\xEF\xBB\xBF" "caf\xC3\xA9\r\nd\0ef\r\n", 16);
    const partial_case cases[] = {
        {"a NUL byte", nul, "abc\r\nd", L"abc\r\nd more", nul + "abc\r\nd more\r\n"},
        {"UTF-16 with its mark", utf16, "\xff\xfeh", L"nuevo", utf16 + "\r\nnuevo\r\n"},
        {"text beyond the code page: UTF-8 without a mark", utf16, "\xff\xfeh", L"\x2713",
         utf16 + "\r\n\xE2\x9C\x93\r\n"},
        {"UTF-8 with its mark and a NUL byte: no second mark", marked, "caf\xe9\r\nd",
         L"m\xE1s \x2713", marked + "m\xC3\xA1s \xE2\x9C\x93\r\n"},
    };
    const size_t count = sizeof cases / sizeof cases[0];
    site_list sites = make_sites(count);
    std::vector<std::string> files;
    for (const partial_case& c : cases)
        files.push_back(c.file);
    OPEN_SITES_WITH(sites, files);
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(visible_bytes(box_text(sites[i]->run.slate)), visible_bytes(cases[i].box));
        ASSERT_TRUE(set_box_wide(sites[i]->run.slate, cases[i].typed));
        post_command(sites[i]->run.slate, LEAVE_ID, BN_CLICKED);
    }
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(cases[i].name);
        expect_ended_with(sites[i].get(), cases[i].after);
    }
}

TEST(SlateNotes, test_salir_sent_by_another_program_ends_the_slate)
{
    // Another program (or the window system) sends the command and waits for
    // the answer: the slate's window goes while the message is being sent,
    // not from its own message queue, and the slate must still end.
    slate_site site;
    OPEN_SITE(site);
    ASSERT_TRUE(set_box_text(site.run.slate, "sent"));
    send_command(site.run.slate, LEAVE_ID, BN_CLICKED);
    EXPECT_EQ(visible_bytes(notes_bytes(site.notes())), "sent\\x0D\\x0A");
    EXPECT_FALSE(IsWindow(site.run.slate.window)) << "the window is destroyed";
    EXPECT_EQ(wait_exit(&site.run.slate, 5000), 0)
        << "the process must end once its window is gone (-2: still running after 5 s)";
}

TEST(SlateBorrar, test_borrar_empties_box_and_deletes_file)
{
    // Side by side: a click on the button, and command code 1 (an accelerator).
    site_list sites = make_sites(2);
    OPEN_SITES_WITH(sites, std::vector<std::string>(2, "to be cleared\r\n"));
    click_button(sites[0]->run.slate, CLEAR_ID);
    send_command(sites[1]->run.slate, CLEAR_ID, 1);
    for (const std::unique_ptr<slate_site>& site : sites) {
        EXPECT_EQ(visible_bytes(box_text(site->run.slate)), "") << "box after \"Borrar\"";
        EXPECT_EQ(notes_bytes(site->notes()), NO_FILE) << "notes file after \"Borrar\"";
        EXPECT_TRUE(still_running(site->run.slate)) << "the slate stays open after \"Borrar\"";
        post_close_command(site->run.slate);
    }
    for (const std::unique_ptr<slate_site>& site : sites)
        expect_ended_with(site.get(), NO_FILE);
}

TEST(SlateBorrar, test_borrar_without_file_and_then_salir)
{
    slate_site site;
    OPEN_SITE(site);
    EXPECT_EQ(visible_bytes(box_text(site.run.slate)), "") << "no notes file: empty box";
    ASSERT_TRUE(set_box_text(site.run.slate, "typed"));
    click_button(site.run.slate, CLEAR_ID);
    EXPECT_EQ(visible_bytes(box_text(site.run.slate)), "");
    EXPECT_TRUE(still_running(site.run.slate));
    // An empty box writes nothing.
    leave_with_salir(&site);
    EXPECT_EQ(joined_names(folder_names(site.home.path())), exe_only());
}

TEST(SlateBorrar, test_borrar_then_new_text_then_salir)
{
    slate_site site;
    ASSERT_TRUE(write_file_bytes(site.notes(), "old\r\n"));
    OPEN_SITE(site);
    click_button(site.run.slate, CLEAR_ID);
    ASSERT_EQ(notes_bytes(site.notes()), NO_FILE);
    ASSERT_TRUE(set_box_text(site.run.slate, "fresh start"));
    leave_with_salir(&site);
    EXPECT_EQ(visible_bytes(notes_bytes(site.notes())), "fresh start\\x0D\\x0A");
}

TEST(SlateBorrar, test_borrar_then_the_old_text_again_then_salir)
{
    // After "Borrar" the file is gone: the loaded text set back into the box
    // is new notes and is saved.  Notes shown only in part (a NUL byte) are
    // not deleted: the text set back is added after them.
    const std::string in_part("abc\r\nd\0ef\r\n", 11);
    const std::vector<std::string> befores = {"old notes\r\n", in_part};
    const std::string after_borrar[] = {NO_FILE, in_part};
    const std::string afters[] = {"old notes\r\n", in_part + "abc\r\nd\r\n"};
    site_list sites = make_sites(befores.size());
    OPEN_SITES_WITH(sites, befores);
    for (size_t i = 0; i < sites.size(); ++i) {
        std::string loaded = box_text(sites[i]->run.slate);
        click_button(sites[i]->run.slate, CLEAR_ID);
        ASSERT_EQ(notes_bytes(sites[i]->notes()), after_borrar[i]);
        ASSERT_TRUE(set_box_text(sites[i]->run.slate, loaded));
        post_command(sites[i]->run.slate, LEAVE_ID, BN_CLICKED);
    }
    for (size_t i = 0; i < sites.size(); ++i)
        expect_ended_with(sites[i].get(), afters[i]);
}

TEST(SlateIgnored, test_close_command_saves_nothing)
{
    // Existing notes, and no notes file, side by side.
    const std::vector<std::string> befores = {"old notes\r\n", NO_FILE};
    site_list sites = make_sites(befores.size());
    OPEN_SITES_WITH(sites, befores);
    for (const std::unique_ptr<slate_site>& site : sites) {
        ASSERT_TRUE(set_box_text(site->run.slate, "edits kept only in the copy"));
        post_close_command(site->run.slate);
    }
    for (size_t i = 0; i < sites.size(); ++i)
        expect_closed_with_copy(sites[i].get(), befores[i], L"edits kept only in the copy");
}

struct ignored_case {
    const char* name;
    int id;
    int code;
};

TEST(SlateIgnored, test_commands_that_do_nothing)
{
    const ignored_case cases[] = {
        {"IDCANCEL (Esc)", IDCANCEL, 0},
        {"IDOK (Enter outside the box)", IDOK, 0},
        {"\"Salir\" with notification code 2", LEAVE_ID, 2},
        {"\"Borrar\" with notification code 2", CLEAR_ID, 2},
        {"\"Salir\" with BN_SETFOCUS", LEAVE_ID, BN_SETFOCUS},
        {"box notification EN_CHANGE", BOX_ID, EN_CHANGE},
    };
    const size_t count = sizeof cases / sizeof cases[0];
    site_list sites = make_sites(count);
    for (size_t i = 0; i < count; ++i)
        ASSERT_TRUE(write_file_bytes(sites[i]->notes(), "old\r\n"));
    OPEN_SITES(sites);
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(cases[i].name);
        ASSERT_TRUE(set_box_text(sites[i]->run.slate, "edited"));
        send_command(sites[i]->run.slate, cases[i].id, cases[i].code);
    }
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(cases[i].name);
        const slate_process& slate = sites[i]->run.slate;
        EXPECT_TRUE(still_running(slate, i == 0 ? 300 : 0)) << "the slate ended";
        EXPECT_EQ(visible_bytes(box_text(slate)), "edited");
        EXPECT_EQ(visible_bytes(notes_bytes(sites[i]->notes())), "old\\x0D\\x0A");
        // It still leaves normally afterwards.
        post_command(slate, LEAVE_ID, BN_CLICKED);
    }
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(wait_exit(&sites[i]->run.slate), 0) << "exit code after \"Salir\"";
        EXPECT_EQ(visible_bytes(notes_bytes(sites[i]->notes())), "edited\\x0D\\x0A");
    }
}

TEST(SlateIgnored, test_end_session_not_ending_saves_nothing)
{
    slate_site site;
    ASSERT_TRUE(write_file_bytes(site.notes(), "old\r\n"));
    OPEN_SITE(site);
    ASSERT_TRUE(set_box_text(site.run.slate, "edited"));
    DWORD_PTR result = 0;
    SendMessageTimeoutW(site.run.slate.window, WM_ENDSESSION, FALSE, 0, SMTO_ABORTIFHUNG, 10000,
                        &result);
    EXPECT_TRUE(still_running(site.run.slate));
    EXPECT_EQ(visible_bytes(notes_bytes(site.notes())), "old\\x0D\\x0A")
        << "WM_ENDSESSION with wparam 0: the session goes on, nothing is saved";
    post_close_command(site.run.slate);
    EXPECT_EQ(wait_exit(&site.run.slate), 0);
}

}  // namespace
