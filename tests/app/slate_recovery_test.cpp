// A slate that dies comes back: while the box holds typed text that is not in
// the notes file, a recovery copy "veslinnXXXX.rcv" waits beside the notes,
// and the next start shows it.  The slates here are killed as a task manager
// would (TerminateProcess): no message, no save.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

#include <random>

#include "tests/app/slate_driver.h"

namespace {

const std::string UNTOUCHED = "<untouched>";

// Types the text and waits until its copy is on disk.
void type_and_wait_for_copy(slate_site* site, const std::wstring& text)
{
    ASSERT_TRUE(type_text(site->run.slate, text));
    ASSERT_TRUE(wait_for_copy(site->home.path(), text))
        << "no copy of the typed text; the folder holds "
        << joined_names(folder_names(site->home.path()));
}

// Little-endian bytes of a number.
template <typename T>
std::string le(T value)
{
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

// One piece of a copy: its record (kind, length, hash), then its bytes.
std::string copy_piece(uint32_t kind, const std::string& bytes)
{
    return le<uint32_t>(kind) + le<uint32_t>(bytes.size()) + le<uint64_t>(fnv1a64(bytes)) + bytes;
}

// A copy's bytes: the 40-byte header (what the slate knew of the notes, two
// pieces), the text as UTF-8 (kind 1), and the base of the merge (kind 2):
// what the box showed of the notes, which in these cases are UTF-8 or ASCII
// and shown up to a NUL byte, if any.
std::string copy_bytes(uint32_t flags, uint32_t form, const std::string& notes,
                       const std::string& utf8)
{
    const bool seen = notes != NO_FILE;  // without notes, their length and hash are 0
    const std::string base = seen ? notes.substr(0, notes.find('\0')) : "";
    return "VSLNRCV2" + le<uint32_t>(flags) + le<uint32_t>(form) +
           le<uint64_t>(seen ? notes.size() : 0) + le<uint64_t>(seen ? fnv1a64(notes) : 0) +
           le<uint32_t>(2) + le<uint32_t>(0) + copy_piece(1, utf8) + copy_piece(2, base);
}

// The one copy in a folder, byte for byte.
void expect_copy_of(const std::string& folder, const std::wstring& text, const std::string& notes,
                    uint32_t flags, uint32_t form)
{
    std::vector<recovery_copy> copies = recovery_copies(folder);
    ASSERT_EQ(copies.size(), 1u) << joined_names(folder_names(folder));
    EXPECT_EQ(visible_bytes(copies[0].bytes),
              visible_bytes(copy_bytes(flags, form, notes, narrow(text, CP_UTF8))));
}

void kill_slates(const site_list& sites)
{
    for (const std::unique_ptr<slate_site>& site : sites)
        close_slate(&site->run.slate);
}

struct comeback_case {
    const char* name;
    std::string before;     // notes file at the first start, or NO_FILE
    uint32_t flags, form;   // in the copy: 1 notes file, 2 read, 4 shown in part; its form
    std::wstring typed;     // typed before the first kill
    std::wstring retyped;   // typed in the restored slate before a second kill; empty: none
    std::string meanwhile;  // written by another program while no slate runs (NO_FILE: deleted)
    std::string after;      // notes after "Salir" in the last restored slate
};

TEST(SlateRecovery, test_killed_slate_comes_back_with_the_typed_text)
{
    const std::string nul("abc\r\nd\0ef\r\n", 11), mark = "\xEF\xBB\xBF";
    const std::wstring beyond = L"first\r\nwords \x2713";  // beyond the code page
    const comeback_case cases[] = {
        {"notes unchanged: replaced", "old\r\n", 3, 0, L"typed over the old notes", L"", UNTOUCHED,
         "typed over the old notes\r\n"},
        {"no notes file: written", NO_FILE, 0, 0, beyond, L"", UNTOUCHED,
         mark + narrow(beyond, CP_UTF8) + "\r\n"},
        {"UTF-8 notes stay UTF-8", "caf\xC3\xA9\r\n", 3, 1, L"caf\x00e9 2", L"", UNTOUCHED,
         "caf\xC3\xA9 2\r\n"},
        {"notes shown in part: added", nul, 7, 0, L"typed", L"", UNTOUCHED, nul + "typed\r\n"},
        {"killed twice: the latest text", "old\r\n", 3, 0, L"first try", L"second try\r\nand more",
         UNTOUCHED, "second try\r\nand more\r\n"},
        {"notes changed elsewhere meanwhile: added", "old\r\n", 3, 0, L"typed", L"", "other\r\n",
         "other\r\ntyped\r\n"},
        {"notes made elsewhere meanwhile: added", NO_FILE, 0, 0, L"typed", L"", "made",
         "made\r\ntyped\r\n"},
        {"notes deleted meanwhile: written anew", "old\r\n", 3, 0, L"typed", L"", NO_FILE,
         "typed\r\n"},
    };
    const size_t count = sizeof cases / sizeof cases[0];
    site_list sites = make_sites(count);
    std::vector<std::string> files;
    for (const comeback_case& c : cases)
        files.push_back(c.before);
    OPEN_SITES_WITH(sites, files);
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(cases[i].name);
        type_and_wait_for_copy(sites[i].get(), cases[i].typed);
        expect_copy_of(sites[i]->home.path(), cases[i].typed, cases[i].before, cases[i].flags,
                       cases[i].form);
    }
    kill_slates(sites);
    OPEN_SITES(sites);
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_TRUE(box_wide(sites[i]->run.slate) == cases[i].typed) << "the typed text is back";
        EXPECT_EQ(visible_bytes(notes_bytes(sites[i]->notes())), visible_bytes(cases[i].before))
            << "the notes file is untouched until \"Salir\"";
        if (!cases[i].retyped.empty())
            type_and_wait_for_copy(sites[i].get(), cases[i].retyped);
    }
    kill_slates(sites);
    for (size_t i = 0; i < count; ++i) {
        if (cases[i].meanwhile == NO_FILE) {
            ASSERT_TRUE(DeleteFileA(sites[i]->notes().c_str()));
        } else if (cases[i].meanwhile != UNTOUCHED) {
            ASSERT_TRUE(write_file_bytes(sites[i]->notes(), cases[i].meanwhile));
        }
    }
    OPEN_SITES(sites);
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(cases[i].name);
        const std::wstring& last = cases[i].retyped.empty() ? cases[i].typed : cases[i].retyped;
        EXPECT_TRUE(box_wide(sites[i]->run.slate) == last) << narrow(box_wide(sites[i]->run.slate));
        post_command(sites[i]->run.slate, LEAVE_ID, BN_CLICKED);
    }
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(cases[i].name);
        expect_ended_with(sites[i].get(), cases[i].after);
    }
}

struct ending_case {
    const char* name;
    int ending;             // how the slate with typed text ends
    std::string notes;      // notes file afterwards
    std::wstring next_box;  // what the next start shows
};
enum { BY_SALIR, BY_BORRAR_THEN_KILL };

TEST(SlateRecovery, test_salir_and_borrar_leave_no_copy)
{
    // (The close command keeps the typed text in the copy: SlateKeys.)
    const ending_case cases[] = {
        {"\"Salir\": the saved text", BY_SALIR, "typed\r\n", L"typed\r\n"},
        {"\"Borrar\", then killed: nothing", BY_BORRAR_THEN_KILL, NO_FILE, L""},
    };
    const size_t count = sizeof cases / sizeof cases[0];
    site_list sites = make_sites(count);
    OPEN_SITES_WITH(sites, std::vector<std::string>(count, "old\r\n"));
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(cases[i].name);
        type_and_wait_for_copy(sites[i].get(), L"typed");
        const slate_process& slate = sites[i]->run.slate;
        if (cases[i].ending == BY_SALIR) {
            post_command(slate, LEAVE_ID, BN_CLICKED);
        } else {
            click_button(slate, CLEAR_ID);
            close_slate(&sites[i]->run.slate);
        }
    }
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(cases[i].name);
        if (cases[i].ending == BY_BORRAR_THEN_KILL) {
            EXPECT_EQ(joined_names(folder_names(sites[i]->home.path())), exe_only());
        } else {
            expect_ended_with(sites[i].get(), cases[i].notes);
        }
    }
    OPEN_SITES(sites);
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_TRUE(box_wide(sites[i]->run.slate) == cases[i].next_box)
            << narrow(box_wide(sites[i]->run.slate));
        post_close_command(sites[i]->run.slate);
    }
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(cases[i].name);
        expect_ended_with(sites[i].get(), cases[i].notes);
    }
}

TEST(SlateRecovery, test_several_dead_copies_come_back_newest_first)
{
    // Three slates of one folder, each with its own copy, typed one after
    // the other and killed.  Each start takes the newest copy left and leaves
    // the others; each "Salir" adds its text after what the one before kept.
    slate_site site;
    ASSERT_TRUE(write_file_bytes(site.notes(), "old\r\n"));
    OPEN_SITE(site);
    slate_guard others[2];
    for (slate_guard& other : others) {
        std::string why;
        ASSERT_TRUE(start_slate(site.exe(), site.elsewhere.path(), &other.slate, &why)) << why;
    }
    const slate_process* slates[] = {&site.run.slate, &others[0].slate, &others[1].slate};
    const std::wstring texts[] = {L"oldest", L"middle", L"newest"};
    for (int k = 0; k < 3; ++k) {
        ASSERT_TRUE(type_text(*slates[k], texts[k]));
        ASSERT_TRUE(wait_for_copy(site.home.path(), texts[k]));
    }
    {
        // A copy whose slate still runs is not taken.
        slate_guard fourth;
        std::string why;
        ASSERT_TRUE(start_slate(site.exe(), site.elsewhere.path(), &fourth.slate, &why)) << why;
        EXPECT_EQ(box_wide(fourth.slate), L"old\r\n");
    }
    close_slate(&site.run.slate);
    for (slate_guard& other : others)
        close_slate(&other.slate);
    ASSERT_EQ(recovery_copies(site.home.path()).size(), 3u);
    std::string saved;
    for (int k = 2; k >= 0; --k) {
        SCOPED_TRACE(narrow(texts[k]));
        OPEN_SITE(site);
        EXPECT_TRUE(box_wide(site.run.slate) == texts[k]) << narrow(box_wide(site.run.slate));
        EXPECT_EQ(recovery_copies(site.home.path()).size(), static_cast<size_t>(k + 1))
            << "no copy goes before its text is saved";
        post_command(site.run.slate, LEAVE_ID, BN_CLICKED);
        saved += narrow(texts[k]) + "\r\n";
        EXPECT_EQ(wait_exit(&site.run.slate), 0);
        EXPECT_EQ(visible_bytes(notes_bytes(site.notes())), visible_bytes(saved));
        close_slate(&site.run.slate);
    }
    EXPECT_EQ(joined_names(folder_names(site.home.path())), exe_and_notes());
}

TEST(SlateRecovery, test_copies_of_one_number_in_two_folders_both_come_back)
{
    // Numbers are the folder's own: a slate running in one folder with a
    // number does not hide the dead copy of that number in another.
    site_list sites = make_sites(2);
    OPEN_SITES_WITH(sites, std::vector<std::string>(2, "old\r\n"));
    const std::wstring texts[] = {L"first folder", L"second folder"};
    for (size_t i = 0; i < 2; ++i)
        type_and_wait_for_copy(sites[i].get(), texts[i]);
    kill_slates(sites);
    std::string name = recovery_copies(sites[0]->home.path()).at(0).name;
    std::string other = recovery_copies(sites[1]->home.path()).at(0).name;
    ASSERT_TRUE(MoveFileA(sites[1]->home.file(other).c_str(), sites[1]->home.file(name).c_str()));
    for (size_t i = 0; i < 2; ++i) {
        OPEN_SITE(*sites[i]);  // the first slate runs on, holding the number
        std::wstring shown = box_wide(sites[i]->run.slate);
        EXPECT_TRUE(shown == texts[i]) << narrow(shown);
    }
}

TEST(SlateRecovery, test_a_copy_that_cannot_be_shown_stays_for_a_later_start)
{
    // A whole copy whose text is no UTF-8: the slate cannot show it, lets
    // its number go, shows the notes, and keeps its own copy under another
    // number.
    slate_site site;
    ASSERT_TRUE(write_file_bytes(site.notes(), "old\r\n"));
    const std::string dead = copy_bytes(0, 0, NO_FILE, "no UTF-8 \xFF\xFE");
    ASSERT_TRUE(write_file_bytes(site.home.file("veslinn0001.rcv"), dead));
    OPEN_SITE(site);
    EXPECT_EQ(box_wide(site.run.slate), L"old\r\n");
    ASSERT_TRUE(type_text(site.run.slate, L"typed"));
    ASSERT_TRUE(wait_for_copy(site.home.path(), L"typed"));
    EXPECT_EQ(visible_bytes(file_bytes(site.home.file("veslinn0001.rcv"))), visible_bytes(dead));
}

TEST(SlateNonRoot, test_typing_in_a_read_only_folder_shows_nothing)
{
    // Prepared by the non-root run: no copy can be written beside the notes.
    // That is not reported while typing; "Salir" still says the save failed.
    const char* prepared = getenv("VESLINN_READONLY_FOLDER");
    if (!prepared || !*prepared)
        GTEST_SKIP() << "runs only from the non-root script, which prepares a read-only folder";
    std::string folder = prepared;
    std::string before = notes_bytes(folder + "veslinn.txt");
    std::vector<std::string> names = folder_names(folder);
    scratch_folder elsewhere;
    slate_guard run;
    std::string why;
    ASSERT_TRUE(start_slate(folder + "veslinn.exe", elsewhere.path(), &run.slate, &why)) << why;
    ASSERT_TRUE(type_text(run.slate, L"typed where no copy can be kept"));
    // A copy is due within two seconds of the change.
    std::wstring message;
    EXPECT_EQ(wait_for_message(run.slate, &message, 3000), nullptr) << narrow(message);
    EXPECT_EQ(joined_names(folder_names(folder)), joined_names(names));
    expect_refused_save(&run.slate, widen(folder + "veslinn.txt"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(visible_bytes(notes_bytes(folder + "veslinn.txt")), visible_bytes(before));
    EXPECT_EQ(joined_names(folder_names(folder)), joined_names(names));
}

// Texts typed in the campaign: a header line naming the round and step, then
// a few lines, fewer than the box shows (it takes no typing beyond them).
std::wstring campaign_text(int round, int step, int lines)
{
    std::wstring text = L"round " + std::to_wstring(round) + L" step " + std::to_wstring(step);
    for (int line = 0; line < lines; ++line)
        text += L"\r\nline " + std::to_wstring(line) + L" of a note typed in a hurry";
    return text;
}

// Waits a number of microseconds, finer than Sleep.
void spin_microseconds(int microseconds)
{
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    do
        QueryPerformanceCounter(&now);
    while ((now.QuadPart - start.QuadPart) * 1000000 / frequency.QuadPart < microseconds);
}

TEST(SlateRecovery, test_kills_at_random_moments_lose_nothing_kept)
{
    // One folder, one slate at a time, killed at a random moment while the
    // user types or while "Salir" saves.  Every start must show all that was
    // typed up to the last copy or save on disk, or more (what the box or the
    // file held at the start counts as kept), and the slate's own files must
    // not pile up.  Now and then another program adds to the notes.
    //
    // A slate that finishes its save before the kill ends by itself, and
    // how often that happens depends on the machine's speed: so the rounds
    // go on past ROUNDS until KILLS slates have been killed (at most twice
    // as many rounds).
    const unsigned SEED = 14014;
    const int ROUNDS = 36;
    const int KILLS = 30;
    printf("kill campaign: seed %u, at least %d rounds and %d kills\n", SEED, ROUNDS, KILLS);
    std::mt19937 random(SEED);
    auto between = [&random](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    slate_site site;
    std::string notes;
    for (int line = 0; line < 800; ++line)
        notes += "notes of some size, line " + std::to_string(line) + "\r\n";
    ASSERT_TRUE(write_file_bytes(site.notes(), notes));

    std::vector<std::wstring> typed;  // typed[0]: the box at the round's start
    size_t kept = 0;                  // typed[kept] and later may be what comes back
    int kills_typing = 0, kills_saving = 0, saves_done = 0;
    int round = 0;  // the last round is the one that only checks the start
    for (;; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        if (round % 6 == 5) {
            std::string now = notes_bytes(site.notes());
            if (now == NO_FILE)
                now.clear();
            ASSERT_TRUE(write_file_bytes(site.notes(), now + "added elsewhere in round " +
                                                           std::to_string(round) + "\r\n"));
        }
        OPEN_SITE(site);
        std::wstring shown = box_wide(site.run.slate);
        bool whole = false;
        for (size_t j = kept; j < typed.size() && !whole; ++j)
            whole = shown.find(typed[j]) != std::wstring::npos;
        EXPECT_TRUE(typed.empty() || whole)
            << "lost: the box shows\n" << narrow(shown.substr(0, 400)) << "\nbut kept was\n"
            << narrow(typed[kept].substr(0, 400));
        std::vector<std::string> leftovers = slate_leftovers(site.home.path());
        EXPECT_LE(leftovers.size(), 2u) << joined_names(leftovers);
        if ((round >= ROUNDS && kills_typing + kills_saving >= KILLS) || round == 2 * ROUNDS)
            break;

        typed.assign(1, shown);
        kept = 0;
        const int steps = between(1, 4);
        for (int step = 0; step < steps; ++step) {
            Sleep(between(0, 600));
            typed.push_back(campaign_text(round, step, between(0, 6)));
            ASSERT_TRUE(type_text(site.run.slate, typed.back())) << "the box took the text";
        }
        Sleep(between(0, 1500));
        // The newest copy on disk now is kept whatever happens next.
        for (const recovery_copy& copy : recovery_copies(site.home.path())) {
            for (size_t j = kept; j < typed.size(); ++j) {
                if (copy.text == typed[j])
                    kept = j;
            }
        }
        const bool saving = between(0, 1) == 1;
        if (saving) {
            // A save takes a few milliseconds: half the kills aim at them.
            post_command(site.run.slate, LEAVE_ID, BN_CLICKED);
            spin_microseconds(between(0, 1) ? between(0, 8000) : between(0, 40000));
        }
        if (WaitForSingleObject(site.run.slate.process, 0) == WAIT_TIMEOUT) {
            ++(saving ? kills_saving : kills_typing);
        } else if (wait_exit(&site.run.slate) == 0) {
            kept = typed.size() - 1;  // the save was done and the slate ended by itself
        }
        close_slate(&site.run.slate);
        saves_done += saving && notes_bytes(site.notes()).find(narrow(typed.back())) != std::string::npos;
    }
    printf("kill campaign: %d rounds, %d kills while typing, %d while saving; %d saves done\n",
           round, kills_typing, kills_saving, saves_done);
    EXPECT_GE(kills_typing + kills_saving, KILLS);
    // A last round ends normally: the text saved, nothing else left.
    const std::wstring last = campaign_text(round, 0, 2);
    ASSERT_TRUE(type_text(site.run.slate, last));
    post_command(site.run.slate, LEAVE_ID, BN_CLICKED);
    EXPECT_EQ(wait_exit(&site.run.slate), 0);
    // The file may have changed since this slate's text was shown (a save
    // that landed before its slate was killed, another program's line): the
    // text is merged with it, so it is in the notes whole, not always last.
    std::string saved = notes_bytes(site.notes());
    EXPECT_NE(saved.find(narrow(last) + "\r\n"), std::string::npos)
        << "the last text is in the notes: " << visible_bytes(saved.substr(0, 400));
    EXPECT_EQ(joined_names(folder_names(site.home.path())), exe_and_notes());
}

}  // namespace
