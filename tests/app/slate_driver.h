// Drives the real slate program from outside: copies the built executable into
// a folder, starts it as its own process, finds its window among the windows
// of that process (slates of other tests run beside it) and works it with
// window messages, the way a user's clicks and the window system
// would.  Text crosses as wide text and is compared as bytes in the system
// ANSI code page, the code page the slate keeps its notes in.
#pragma once

#include <windows.h>

#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "tests/support/window_checks.h"

// Control ids of the slate.
enum { BOX_ID = 1001, CLEAR_ID = 1002, LEAVE_ID = 1003 };

// One running slate (or refusing copy of it).
struct slate_process {
    HANDLE process = nullptr;  // owned: closed by close_slate
    DWORD id = 0;
    HWND window = nullptr;     // the slate's window, owned by the slate's process
};

// Ends a slate that is still running and closes the process handle; safe twice.
void close_slate(slate_process* slate);

// Owns a slate_process for a test's scope.
struct slate_guard {
    slate_process slate;
    ~slate_guard() { close_slate(&slate); }
};

// The built slate executable, beside the test programs' build folder.
std::string built_slate_path();

// Copies the built slate into a folder under a name; false on failure.
bool copy_slate(const std::string& folder, const std::string& name = "veslinn.exe");

// Starts an executable (quoted as the only command-line word) with the given
// working folder, and waits up to timeout_ms until its visible window with
// the caption "Veslinn" exists.  False with the reason in *why otherwise.
bool start_slate(const std::wstring& exe_path, const std::wstring& working_folder,
                 slate_process* slate, std::string* why, unsigned timeout_ms = 20000);
bool start_slate(const std::string& exe_path, const std::string& working_folder,
                 slate_process* slate, std::string* why, unsigned timeout_ms = 20000);

// Waits until a started process shows its visible window "Veslinn".
bool wait_for_slate_window(slate_process* slate, std::string* why, unsigned timeout_ms = 20000);

// Starts a slate whose path lies on Wine's drive Z: (the Unix root) through
// Wine's own loader, for paths that CreateProcessW does not take, and adopts
// the process of that executable once it shows its window "Veslinn".
bool start_slate_from_unix(const std::wstring& exe_path, slate_process* slate, std::string* why,
                           unsigned timeout_ms = 20000);

// Starts an executable without waiting for any window.
bool start_program(const std::wstring& exe_path, const std::wstring& working_folder,
                   slate_process* slate, std::string* why);

// The visible top-level windows of a process.
std::vector<HWND> process_windows(DWORD process_id);

// The child control with the given id, or null.
HWND slate_control(const slate_process& slate, int id);

// Text of a window as bytes in the ANSI code page (through WM_GETTEXT).
std::string window_text_bytes(HWND window);
// The same as wide text.
std::wstring window_text_wide(HWND window);
// Sets a window's text from ANSI bytes (through WM_SETTEXT); false on failure.
bool set_window_text_bytes(HWND window, const std::string& bytes);

// The box's text as ANSI bytes, and setting it.
std::string box_text(const slate_process& slate);
bool set_box_text(const slate_process& slate, const std::string& bytes);
// The same as wide text, for text beyond the code page.
std::wstring box_wide(const slate_process& slate);
bool set_box_wide(const slate_process& slate, const std::wstring& text);

// Waits until the slate shows a message box (a dialog of its process owned by
// the slate) and gives its window and the text of its message, or null.
HWND wait_for_message(const slate_process& slate, std::wstring* text,
                      unsigned timeout_ms = 10000);
// The message of a save that failed, as the slate words it.
std::wstring save_failed_message(const std::wstring& notes_file, DWORD error);
// A slate that can keep no notes file says so once at start: checks the
// message and presses OK.
void expect_no_notes_file_message(const slate_process& slate, const std::wstring& notes_file,
                                  DWORD error);
// Sets refused_text() and leaves with "Salir", where the save must fail with
// `error`: checks the message, OK, the slate still open with the text, and
// the close command ending it without saving (the text stays in the
// recovery copy for the next start: see expect_closed_with_copy).
void expect_refused_save(slate_process* slate, const std::wstring& notes_file, DWORD error);
// The same for several slates side by side, each with its notes file.
void expect_refused_saves(const std::vector<slate_process*>& slates,
                          const std::vector<std::wstring>& notes_files, DWORD error);
// The text those saves try to keep: 400 lines, about 20,000 bytes.
const std::string& refused_text();
// Presses the message box's OK button and waits until the box is gone.
bool press_ok(HWND message_box);

// Types into the box as a user would: EM_REPLACESEL over the whole text (or
// at its end), which notifies EN_CHANGE as typing and pasting do (WM_SETTEXT
// does not).  True when the box then holds the text expected.
bool type_text(const slate_process& slate, const std::wstring& text, bool over_all = true);

// Sends WM_COMMAND with a control id and notification code to the slate and
// waits until it is handled (or the slate has gone).
void send_command(const slate_process& slate, int id, int code);
// Posts WM_COMMAND: the slate handles it from its message loop, as it does a
// click's notification.
void post_command(const slate_process& slate, int id, int code);
// Sends BM_CLICK to one of the buttons and waits until it is handled: the
// button itself then notifies the slate.
void click_button(const slate_process& slate, int id);
// Posts BM_CLICK, for a click that ends the slate.
void post_click(const slate_process& slate, int id);
// Posts WM_SYSCOMMAND with SC_CLOSE, as the window system's close command does.
void post_close_command(const slate_process& slate);

// Waits for the process to end: its exit code, or -2 on time-out.
int wait_exit(slate_process* slate, unsigned timeout_ms = 10000);

// True when the slate still runs with its window after a short wait.
bool still_running(const slate_process& slate, unsigned wait_ms = 300);

// Names in a folder (without "." and ".."), sorted.
std::vector<std::string> folder_names(const std::string& folder);
std::string joined_names(const std::vector<std::string>& names);

// Wide text as bytes, in the ANSI code page unless said (widen, the other
// way, is in the shared support).
std::string narrow(const std::wstring& text, UINT code_page = CP_ACP);

// One slate run in a fresh folder: the folder holding the copied executable and
// its notes file, and a separate working folder the slate is started in, so
// that the notes file is shown to be found beside the executable.
struct slate_site {
    scratch_folder home;
    scratch_folder elsewhere;
    slate_guard run;
    std::string notes() const { return home.file("veslinn.txt"); }
    std::string exe() const { return home.file("veslinn.exe"); }
};

// Copies the slate into the site's folder and starts it there.
bool open_site(slate_site* site, std::string* why);

// The same for several sites at once: all slates are started before the
// first window is waited for, so that table cases run side by side (each
// slate is told apart by its process, not only by its caption).
typedef std::vector<std::unique_ptr<slate_site>> site_list;
site_list make_sites(size_t count);
bool open_sites(const site_list& sites, std::string* why);

// The notes file's bytes, or "<no file>" or "<folder>".
std::string notes_bytes(const std::string& path);
std::string notes_bytes(const std::wstring& path);

// Files and folders by wide name, whatever the code page holds.
bool copy_slate_wide(const std::wstring& folder, const std::wstring& name = L"veslinn.exe");
std::vector<std::wstring> wide_names(const std::wstring& folder);
void remove_wide_tree(const std::wstring& folder);  // folder with its trailing backslash

// Removes folder trees with wide names when it goes out of scope.
struct wide_tree_removal {
    std::vector<std::wstring> folders;  // each with its trailing backslash
    ~wide_tree_removal()
    {
        for (const std::wstring& folder : folders)
            remove_wide_tree(folder);
    }
};

#define OPEN_SITE(site)                                  \
    do {                                                 \
        std::string why_;                                \
        ASSERT_TRUE(open_site(&(site), &why_)) << why_;  \
    } while (0)

#define OPEN_SITES(sites)                                \
    do {                                                 \
        std::string why_;                                \
        ASSERT_TRUE(open_sites((sites), &why_)) << why_; \
    } while (0)

// What notes_bytes gives for a missing file.
const std::string NO_FILE = "<no file>";

// Writes each site's notes file (none for NO_FILE), then starts the slates
// side by side.
bool open_sites_with(const site_list& sites, const std::vector<std::string>& notes,
                     std::string* why);
#define OPEN_SITES_WITH(sites, notes)                                \
    do {                                                             \
        std::string why_;                                            \
        ASSERT_TRUE(open_sites_with((sites), (notes), &why_)) << why_; \
    } while (0)

// Once the slate has ended: exit code 0, the notes file's bytes (NO_FILE:
// none), and nothing left in the folder but the slate and its notes.
void expect_ended_with(slate_site* site, const std::string& notes);

// Once a slate closed by the close command has ended: exit code 0, the notes
// file's bytes, and beside them only the recovery copy that keeps the box's
// text for the next start.
void expect_closed_with_copy(slate_site* site, const std::string& notes, const std::wstring& text);

// The slate's files beside the notes other than the notes file: recovery
// copies "veslinnXXXX.rcv" and their ".tmp", saves' ".new", the lock ".lck".
struct recovery_copy {
    std::string name;
    std::string bytes;  // the whole file
    std::wstring text;  // the text of its first piece (the box's), after the header
};
std::vector<recovery_copy> recovery_copies(const std::string& folder);
// Waits until one of the folder's recovery copies holds exactly this text.
bool wait_for_copy(const std::string& folder, const std::wstring& text, unsigned timeout_ms = 5000);
// Names of the slate's own files in a folder (.rcv, .tmp, .new, .lck), sorted.
std::vector<std::string> slate_leftovers(const std::string& folder);
// 64-bit FNV-1a of bytes, the hash in a recovery copy.
uint64_t fnv1a64(const std::string& bytes);

// Names expected in a site's folder.
std::string exe_only();
std::string exe_and_notes();

// The control that has the slate's keyboard focus, or null.
HWND focus_of(const slate_process& slate);
// Waits until the control `id` has the slate's keyboard focus.
bool wait_for_focus(const slate_process& slate, int id, unsigned timeout_ms = 5000);
// Waits until the box holds exactly these bytes (ANSI code page).
bool wait_for_box(const slate_process& slate, const std::string& bytes, unsigned timeout_ms = 5000);

// Real keys through the X keyboard, as a user types them (XTEST, by
// xdotool, through tests/app/x_keys.sh): the slate's X window gets the X
// focus first, since no window manager gives it, then xdotool runs with these
// words ({"type", "abc"}, {"key", "Tab"}).  True when xdotool was started;
// the caller waits for what the keys do.  Tests that use it need the X focus
// to themselves.
bool press_x_keys(const slate_process& slate, const std::vector<std::string>& arguments);

// The Recycle Bin of the test run: Wine's is the XDG trash, which the build
// puts under XDG_DATA_HOME.  The bytes of the notes file recycled from
// `folder`, or NO_FILE.
std::string recycled_notes(const std::string& folder);
