// Notes changed elsewhere while the slate ran are merged with the box line by
// line: each side's changes land once, nothing is repeated; a lock held by
// another program makes the save fail, never race; a file busy for a moment
// is waited for.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/app/slate_driver.h"

namespace {

const std::string NOTES = "uno\r\ndos\r\ntres\r\n";

struct merge_case {
    const char* name;
    std::string elsewhere;  // the notes file written by another program meanwhile
    std::wstring box;       // the box's text before "Salir"
    std::string after;
};

TEST(SlateMerge, test_changes_elsewhere_are_merged_never_repeated)
{
    const std::vector<merge_case> cases = {
        {"a line added at the end, a line typed at the end", NOTES + "cuatro\r\n",
         L"uno\r\ndos\r\ntres\r\nnuevo", NOTES + "cuatro\r\nnuevo\r\n"},
        {"an editor changed one line, the box another", "UNO\r\ndos\r\ntres\r\n",
         L"uno\r\ndos\r\nTRES\r\n", "UNO\r\ndos\r\nTRES\r\n"},
        {"same length, other bytes; the box deleted another line", "UNO\r\ndos\r\ntres\r\n",
         L"uno\r\ndos\r\n", "UNO\r\ndos\r\n"},
        {"the same line edited on both sides: both kept", "uno\r\ndos!\r\ntres\r\n",
         L"uno\r\ndos?\r\ntres\r\n", "uno\r\ndos!\r\ndos?\r\ntres\r\n"},
    };
    site_list sites = make_sites(cases.size());
    OPEN_SITES_WITH(sites, std::vector<std::string>(cases.size(), NOTES));
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        ASSERT_TRUE(write_file_bytes(sites[i]->notes(), cases[i].elsewhere));
        ASSERT_TRUE(type_text(sites[i]->run.slate, cases[i].box));
        post_command(sites[i]->run.slate, LEAVE_ID, BN_CLICKED);
    }
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        expect_ended_with(sites[i].get(), cases[i].after);
    }
}

// Two slates of one notes folder, beside NOTES.
bool open_two_slates(slate_site* site, slate_guard* second, std::string* why)
{
    return write_file_bytes(site->notes(), NOTES) && open_site(site, why) &&
           start_slate(site->exe(), site->elsewhere.path(), &second->slate, why);
}
#define OPEN_TWO_SLATES(site, second)                                 \
    do {                                                              \
        std::string why_;                                             \
        ASSERT_TRUE(open_two_slates(&(site), &(second), &why_)) << why_; \
    } while (0)

TEST(SlateMerge, test_two_slates_editing_different_lines_keep_both_edits_once)
{
    slate_site site;
    slate_guard second;
    OPEN_TWO_SLATES(site, second);
    ASSERT_TRUE(type_text(site.run.slate, L"UNO\r\ndos\r\ntres\r\n"));
    ASSERT_TRUE(type_text(second.slate, L"uno\r\ndos\r\ntres\r\ncuatro"));
    // Both leave at once: the save lock takes them one after the other.
    post_command(site.run.slate, LEAVE_ID, BN_CLICKED);
    post_command(second.slate, LEAVE_ID, BN_CLICKED);
    EXPECT_EQ(wait_exit(&second.slate), 0);
    expect_ended_with(&site, "UNO\r\ndos\r\ntres\r\ncuatro\r\n");
}

// Types, waits for the recovery copy, and kills the slate.
void type_and_kill(slate_site* site, const std::wstring& text)
{
    ASSERT_TRUE(type_text(site->run.slate, text));
    ASSERT_TRUE(wait_for_copy(site->home.path(), text));
    close_slate(&site->run.slate);
}

TEST(SlateMerge, test_a_restored_copy_is_merged_with_the_file_as_it_is_now)
{
    slate_site site;
    ASSERT_TRUE(write_file_bytes(site.notes(), NOTES));
    OPEN_SITE(site);
    type_and_kill(&site, L"uno\r\ndos\r\ntres\r\nnuevo");
    ASSERT_TRUE(write_file_bytes(site.notes(), "UNO\r\ndos\r\ntres\r\n"));
    std::string why;
    ASSERT_TRUE(start_slate(site.exe(), site.elsewhere.path(), &site.run.slate, &why)) << why;
    EXPECT_EQ(box_text(site.run.slate), "uno\r\ndos\r\ntres\r\nnuevo");
    post_command(site.run.slate, LEAVE_ID, BN_CLICKED);
    expect_ended_with(&site, "UNO\r\ndos\r\ntres\r\nnuevo\r\n");
}

TEST(SlateMerge, test_a_copy_of_text_already_saved_adds_nothing)
{
    // A slate that dies after its save landed and before its copy went: the
    // copy comes back at the next start, and "Salir" must not add it again.
    slate_site site;
    ASSERT_TRUE(write_file_bytes(site.notes(), NOTES));
    OPEN_SITE(site);
    const std::wstring typed = L"uno\r\ndos\r\ntres\r\nnuevo";
    ASSERT_TRUE(type_text(site.run.slate, typed));
    ASSERT_TRUE(wait_for_copy(site.home.path(), typed));
    std::vector<recovery_copy> copies = recovery_copies(site.home.path());
    ASSERT_EQ(copies.size(), 1u);
    post_command(site.run.slate, LEAVE_ID, BN_CLICKED);
    expect_ended_with(&site, NOTES + "nuevo\r\n");
    ASSERT_TRUE(write_file_bytes(site.home.file(copies[0].name), copies[0].bytes));

    close_slate(&site.run.slate);
    std::string why;
    ASSERT_TRUE(start_slate(site.exe(), site.elsewhere.path(), &site.run.slate, &why)) << why;
    EXPECT_TRUE(box_wide(site.run.slate) == typed) << "the copy comes back";
    post_command(site.run.slate, LEAVE_ID, BN_CLICKED);
    expect_ended_with(&site, NOTES + "nuevo\r\n");
}

// Another Windows program that adds a line to the notes every 10 ms, opening
// the file without sharing it (as a plain logger does) and trying again
// while it is busy.
struct appender {
    std::string path;
    std::atomic<bool> stop{false};
    int lines = 0;  // written so far; read once the thread has ended
    std::thread thread;
    explicit appender(const std::string& notes) : path(notes), thread([this] { run(); }) {}
    ~appender() { finish(); }
    void run()
    {
        while (!stop) {
            HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file == INVALID_HANDLE_VALUE) {
                Sleep(1);
                continue;
            }
            std::string line = "linea " + std::to_string(lines) + "\r\n";
            DWORD written = 0;
            WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
            CloseHandle(file);
            ++lines;
            Sleep(10);
        }
    }
    int finish()
    {
        stop = true;
        if (thread.joinable())
            thread.join();
        return lines;
    }
};

// Each line once in the notes.
void expect_once(const std::string& notes, const std::string& line)
{
    size_t at = notes.find(line);
    EXPECT_NE(at, std::string::npos) << visible_bytes(line) << " lost";
    EXPECT_EQ(notes.find(line, at + 1), std::string::npos) << visible_bytes(line) << " repeated";
}

TEST(SlateMerge, test_saves_beside_a_program_appending_every_10_ms_lose_nothing)
{
    slate_site site;
    ASSERT_TRUE(write_file_bytes(site.notes(), NOTES));
    ASSERT_TRUE(copy_slate(site.home.path()));
    appender other(site.notes());
    for (int save = 0; save < 20; ++save) {
        SCOPED_TRACE("save " + std::to_string(save));
        std::string why;
        ASSERT_TRUE(start_slate(site.exe(), site.elsewhere.path(), &site.run.slate, &why)) << why;
        // The box soon holds more lines than it shows, and then takes no
        // typing (it has no scroll bar): the line is set with the rest.
        ASSERT_TRUE(set_box_wide(site.run.slate,
                                 box_wide(site.run.slate) + L"mia " + std::to_wstring(save)));
        post_command(site.run.slate, LEAVE_ID, BN_CLICKED);
        ASSERT_EQ(wait_exit(&site.run.slate), 0) << "a save failed";
        close_slate(&site.run.slate);
    }
    int appended = other.finish();
    std::string notes = notes_bytes(site.notes());
    for (int i = 0; i < appended; ++i)
        expect_once(notes, "linea " + std::to_string(i) + "\r\n");
    for (int save = 0; save < 20; ++save)
        expect_once(notes, "mia " + std::to_string(save) + "\r\n");
    EXPECT_EQ(notes.rfind(NOTES, 0), 0u) << "the notes stay first";
    EXPECT_EQ(notes.find(NOTES, 1), std::string::npos) << "the notes are repeated";
    EXPECT_EQ(joined_names(folder_names(site.home.path())), exe_and_notes());
}

TEST(SlateMerge, test_a_lock_held_elsewhere_fails_the_save_and_loses_nothing)
{
    // Another program holds the save lock for 20 s while two slates of one
    // folder leave: each save waits 10 s, answering its messages meanwhile,
    // then fails and says so, keeping the text; "Salir" once the lock is free
    // saves both texts, each once.
    slate_site site;
    slate_guard second;
    OPEN_TWO_SLATES(site, second);
    slate_process* slates[] = {&site.run.slate, &second.slate};
    ASSERT_TRUE(type_text(*slates[0], L"uno\r\ndos\r\ntres\r\nuna"));
    ASSERT_TRUE(type_text(*slates[1], L"uno\r\ndos\r\ntres\r\notra"));

    HANDLE lock = CreateFileA(site.home.file("veslinn.lck").c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                              nullptr, CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    DWORD held_since = GetTickCount();
    for (slate_process* slate : slates)
        post_command(*slate, LEAVE_ID, BN_CLICKED);
    // While the saves wait, the slates answer; the slowest answer is printed.
    DWORD slowest = 0;
    for (int probe = 0; probe < 20; ++probe) {
        for (slate_process* slate : slates) {
            DWORD start = GetTickCount();
            DWORD_PTR result = 0;
            EXPECT_TRUE(SendMessageTimeoutW(slate->window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000,
                                            &result))
                << "the slate does not answer while its save waits";
            slowest = std::max(slowest, GetTickCount() - start);
        }
        Sleep(200);
    }
    printf("slowest answer while the save waited for the lock: %lu ms\n",
           static_cast<unsigned long>(slowest));
    for (slate_process* slate : slates) {
        std::wstring message;
        HWND box = wait_for_message(*slate, &message, 15000);
        ASSERT_TRUE(box) << "no message after the lock stayed held";
        EXPECT_NE(message.find(L"veslinn.lck"), std::wstring::npos) << narrow(message);
        EXPECT_TRUE(press_ok(box));
    }
    EXPECT_EQ(notes_bytes(site.notes()), NOTES) << "nothing is saved without the lock";
    while (GetTickCount() - held_since < 20000)
        Sleep(100);
    CloseHandle(lock);
    for (slate_process* slate : slates)
        post_command(*slate, LEAVE_ID, BN_CLICKED);
    EXPECT_EQ(wait_exit(&second.slate), 0);
    EXPECT_EQ(wait_exit(&site.run.slate), 0);
    std::string notes = notes_bytes(site.notes());
    EXPECT_EQ(notes.size(), NOTES.size() + 11) << visible_bytes(notes);
    expect_once(notes, "una\r\n");
    expect_once(notes, "otra\r\n");
    expect_once(notes, NOTES);
}

}  // namespace
