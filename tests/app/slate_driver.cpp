#include "tests/app/slate_driver.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const unsigned SEND_TIMEOUT_MS = 10000;

struct window_search {
    DWORD process_id;
    std::vector<HWND> found;
};

BOOL CALLBACK collect_window(HWND window, LPARAM data)
{
    window_search* search = reinterpret_cast<window_search*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->process_id && IsWindowVisible(window))
        search->found.push_back(window);
    return TRUE;
}

HWND find_caption(DWORD process_id, const wchar_t* caption)
{
    for (HWND window : process_windows(process_id)) {
        wchar_t text[64] = {};
        GetWindowTextW(window, text, 64);
        if (wcscmp(text, caption) == 0)
            return window;
    }
    return nullptr;
}

std::string last_error_text(const char* what)
{
    return std::string(what) + " failed with error " + std::to_string(GetLastError());
}

// Starts a process; on success the caller owns process->hProcess (the thread
// handle is closed here).
bool create_process(const wchar_t* application, const std::wstring& command,
                    const std::wstring& working_folder, PROCESS_INFORMATION* process)
{
    std::vector<wchar_t> line(command.begin(), command.end());
    line.push_back(0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessW(application, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        working_folder.empty() ? nullptr : working_folder.c_str(), &startup,
                        process))
        return false;
    CloseHandle(process->hThread);
    return true;
}

// The longest path the wide calls take (the \\?\ form), with its zero.
const DWORD LONGEST_PATH_UNITS = 32768;

// The full path of a process's executable, or empty.  Slates at paths beyond
// MAX_PATH are started here too.
std::wstring image_path(HANDLE process)
{
    std::vector<wchar_t> path(LONGEST_PATH_UNITS);
    DWORD units = static_cast<DWORD>(path.size());
    if (!QueryFullProcessImageNameW(process, 0, path.data(), &units))
        return std::wstring();
    return std::wstring(path.data(), units);
}

// UTF-8 bytes as wide text.
std::wstring from_utf8(const std::string& bytes)
{
    std::wstring wide(bytes.size(), L'\0');
    int units = static_cast<int>(wide.size());
    if (units > 0)
        units = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), units, &wide[0], units);
    wide.resize(static_cast<size_t>(units));
    return wide;
}

}  // namespace

std::string narrow(const std::wstring& text, UINT code_page)
{
    if (text.empty())
        return std::string();
    int n = WideCharToMultiByte(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(code_page, 0, text.data(), static_cast<int>(text.size()), &bytes[0], n,
                        nullptr, nullptr);
    return bytes;
}

void close_slate(slate_process* slate)
{
    if (slate->process) {
        if (WaitForSingleObject(slate->process, 0) == WAIT_TIMEOUT) {
            TerminateProcess(slate->process, 99);
            WaitForSingleObject(slate->process, 5000);
        }
        CloseHandle(slate->process);
    }
    slate->process = nullptr;
    slate->id = 0;
    slate->window = nullptr;
}

std::string built_slate_path()
{
    char path[MAX_PATH * 2];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string self(path, n);
    // <build>\tests\app\<test>.exe  ->  <build>\app\veslinn.exe
    std::string folder = self.substr(0, self.find_last_of('\\'));
    folder = folder.substr(0, folder.find_last_of('\\'));
    folder = folder.substr(0, folder.find_last_of('\\'));
    return folder + "\\app\\veslinn.exe";
}

bool copy_slate(const std::string& folder, const std::string& name)
{
    return CopyFileA(built_slate_path().c_str(), (folder + name).c_str(), FALSE) != FALSE;
}

std::vector<HWND> process_windows(DWORD process_id)
{
    window_search search = {process_id, {}};
    EnumWindows(collect_window, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool start_program(const std::wstring& exe_path, const std::wstring& working_folder,
                   slate_process* slate, std::string* why)
{
    PROCESS_INFORMATION process = {};
    if (!create_process(exe_path.c_str(), L"\"" + exe_path + L"\"", working_folder, &process)) {
        *why = last_error_text("CreateProcessW");
        return false;
    }
    slate->process = process.hProcess;
    slate->id = process.dwProcessId;
    slate->window = nullptr;
    return true;
}

bool start_slate(const std::wstring& exe_path, const std::wstring& working_folder,
                 slate_process* slate, std::string* why, unsigned timeout_ms)
{
    return start_program(exe_path, working_folder, slate, why) &&
           wait_for_slate_window(slate, why, timeout_ms);
}

bool wait_for_slate_window(slate_process* slate, std::string* why, unsigned timeout_ms)
{
    DWORD start = GetTickCount();
    for (;;) {
        HWND window = find_caption(slate->id, L"Veslinn");
        if (window) {
            slate->window = window;
            return true;
        }
        if (WaitForSingleObject(slate->process, 20) == WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeProcess(slate->process, &code);
            *why = "the program ended with exit code " + std::to_string(code) +
                   " before its window \"Veslinn\" was visible";
            return false;
        }
        if (GetTickCount() - start > timeout_ms) {
            *why = "no visible window \"Veslinn\" after " + std::to_string(timeout_ms) + " ms";
            return false;
        }
    }
}

bool start_slate(const std::string& exe_path, const std::string& working_folder,
                 slate_process* slate, std::string* why, unsigned timeout_ms)
{
    return start_slate(widen(exe_path), widen(working_folder), slate, why, timeout_ms);
}

bool start_slate_from_unix(const std::wstring& exe_path, slate_process* slate, std::string* why,
                           unsigned timeout_ms)
{
    if (exe_path.compare(0, 3, L"Z:\\") != 0) {
        *why = "not a path on drive Z:";
        return false;
    }
    std::wstring unix_path = exe_path.substr(2);
    for (wchar_t& c : unix_path) {
        if (c == L'\\')
            c = L'/';
    }
    // The loader is a Unix program: the build's own (WINELOADER, the loader of
    // this test's architecture), else whatever the shell finds on the PATH.
    // Wine does not hand WINELOADER on to the Unix programs it starts, so it
    // is read here and written into the command.  Without it a 64-bit slate
    // would go through the 32-bit loader, whose hand-over to the 64-bit one
    // refuses a path beyond MAX_PATH.
    std::wstring loader_path = L"wine";
    wchar_t from_environment[MAX_PATH] = {};
    DWORD loader_units = GetEnvironmentVariableW(L"WINELOADER", from_environment, MAX_PATH);
    if (loader_units > 0 && loader_units < MAX_PATH)
        loader_path = from_environment;
    std::wstring command =
        L"/bin/sh -c \"cd / && exec '" + loader_path + L"' '" + unix_path + L"'\"";
    PROCESS_INFORMATION loader = {};
    if (!create_process(nullptr, command, std::wstring(), &loader)) {
        *why = last_error_text("CreateProcessW of the Unix shell");
        return false;
    }
    CloseHandle(loader.hProcess);
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeout_ms) {
        // Slates of other tests show the same caption at the same time: this
        // test's slate is the one running this executable, and its window is
        // the one without an owner (not a message box under the same caption).
        for (HWND window = FindWindowExW(nullptr, nullptr, nullptr, L"Veslinn"); window;
             window = FindWindowExW(nullptr, window, nullptr, L"Veslinn")) {
            if (GetWindow(window, GW_OWNER) || !IsWindowVisible(window))
                continue;
            DWORD id = 0;
            GetWindowThreadProcessId(window, &id);
            HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE,
                                         FALSE, id);
            if (!process)
                continue;
            if (lstrcmpiW(image_path(process).c_str(), exe_path.c_str()) == 0) {
                slate->process = process;
                slate->id = id;
                slate->window = window;
                return true;
            }
            CloseHandle(process);
        }
        Sleep(20);
    }
    *why = "no visible window \"Veslinn\" of " + narrow(exe_path) + " after " +
           std::to_string(timeout_ms) + " ms";
    return false;
}

HWND slate_control(const slate_process& slate, int id)
{
    return slate.window ? GetDlgItem(slate.window, id) : nullptr;
}

std::wstring window_text_wide(HWND window)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, SEND_TIMEOUT_MS,
                             &length))
        return L"<no answer to WM_GETTEXTLENGTH>";
    std::vector<wchar_t> text(length + 1, L'\0');
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, SEND_TIMEOUT_MS, &got))
        return L"<no answer to WM_GETTEXT>";
    return std::wstring(text.data(), std::min<size_t>(got, length));
}

std::string window_text_bytes(HWND window)
{
    return narrow(window_text_wide(window));
}

bool set_window_text_bytes(HWND window, const std::string& bytes)
{
    std::wstring text = widen(bytes);
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                               SMTO_ABORTIFHUNG, SEND_TIMEOUT_MS, &result) &&
           result != 0;
}

std::string box_text(const slate_process& slate)
{
    HWND box = slate_control(slate, BOX_ID);
    return box ? window_text_bytes(box) : std::string("<no control 1001>");
}

bool set_box_text(const slate_process& slate, const std::string& bytes)
{
    HWND box = slate_control(slate, BOX_ID);
    return box && set_window_text_bytes(box, bytes);
}

std::wstring box_wide(const slate_process& slate)
{
    HWND box = slate_control(slate, BOX_ID);
    return box ? window_text_wide(box) : std::wstring(L"<no control 1001>");
}

bool set_box_wide(const slate_process& slate, const std::wstring& text)
{
    HWND box = slate_control(slate, BOX_ID);
    DWORD_PTR result = 0;
    return box &&
           SendMessageTimeoutW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                               SMTO_ABORTIFHUNG, SEND_TIMEOUT_MS, &result) &&
           result != 0;
}

HWND wait_for_message(const slate_process& slate, std::wstring* text, unsigned timeout_ms)
{
    DWORD start = GetTickCount();
    do {
        for (HWND window : process_windows(slate.id)) {
            if (window == slate.window || GetWindow(window, GW_OWNER) != slate.window)
                continue;
            // The message is the box's static text (control id 0xFFFF).
            text->clear();
            for (HWND child = GetWindow(window, GW_CHILD); child;
                 child = GetWindow(child, GW_HWNDNEXT)) {
                wchar_t name[16] = {};
                GetClassNameW(child, name, 16);
                if (lstrcmpiW(name, L"Static") == 0)
                    *text += window_text_wide(child);
            }
            if (!text->empty())
                return window;
        }
        Sleep(20);
    } while (GetTickCount() - start < timeout_ms);
    return nullptr;
}

namespace {

// The system's words for an error, as the slate's messages give them.
std::wstring system_reason(DWORD error)
{
    wchar_t reason[512] = {};
    DWORD units = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, error, 0, reason, 512, nullptr);
    std::wstring why(reason, units);
    while (!why.empty() && (why.back() == L'\r' || why.back() == L'\n' || why.back() == L' '))
        why.pop_back();
    return why;
}

}  // namespace

std::wstring save_failed_message(const std::wstring& notes_file, DWORD error)
{
    return L"No se pudieron guardar las notas en el archivo\r\n" + notes_file + L"\r\n\r\n" +
           system_reason(error) +
           L"\r\n\r\nEl texto sigue en la pizarra. Pulse \"Salir\" para intentarlo de nuevo.";
}

void expect_no_notes_file_message(const slate_process& slate, const std::wstring& notes_file,
                                  DWORD error)
{
    std::wstring text;
    HWND box = wait_for_message(slate, &text);
    ASSERT_NE(box, nullptr) << "no message at start";
    EXPECT_EQ(text, L"No se podr\u00E1n guardar las notas en el archivo\r\n" + notes_file +
                        L"\r\n\r\n" + system_reason(error) +
                        L"\r\n\r\nLo que escriba en la pizarra no se guardar\u00E1.");
    EXPECT_TRUE(press_ok(box));
}

bool press_ok(HWND message_box)
{
    PostMessageW(message_box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    for (int waited = 0; waited < 10000; waited += 20) {
        if (!IsWindow(message_box))
            return true;
        Sleep(20);
    }
    return false;
}

bool type_text(const slate_process& slate, const std::wstring& text, bool over_all)
{
    HWND box = slate_control(slate, BOX_ID);
    if (!box)
        return false;
    std::wstring before = window_text_wide(box);
    WPARAM from = over_all ? 0 : before.size();
    LPARAM to = over_all ? -1 : static_cast<LPARAM>(before.size());
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(box, EM_SETSEL, from, to, SMTO_ABORTIFHUNG, SEND_TIMEOUT_MS, &result) ||
        !SendMessageTimeoutW(box, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()),
                             SMTO_ABORTIFHUNG, SEND_TIMEOUT_MS, &result))
        return false;
    return window_text_wide(box) == (over_all ? text : before + text);
}

void send_command(const slate_process& slate, int id, int code)
{
    DWORD_PTR result = 0;
    HWND control = slate_control(slate, id);
    SendMessageTimeoutW(slate.window, WM_COMMAND, MAKEWPARAM(id, code),
                        reinterpret_cast<LPARAM>(control), SMTO_ABORTIFHUNG, SEND_TIMEOUT_MS,
                        &result);
}

void post_command(const slate_process& slate, int id, int code)
{
    PostMessageW(slate.window, WM_COMMAND, MAKEWPARAM(id, code),
                 reinterpret_cast<LPARAM>(slate_control(slate, id)));
}

void click_button(const slate_process& slate, int id)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutW(slate_control(slate, id), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG,
                        SEND_TIMEOUT_MS, &result);
}

void post_click(const slate_process& slate, int id)
{
    PostMessageW(slate_control(slate, id), BM_CLICK, 0, 0);
}

void post_close_command(const slate_process& slate)
{
    PostMessageW(slate.window, WM_SYSCOMMAND, SC_CLOSE, 0);
}

int wait_exit(slate_process* slate, unsigned timeout_ms)
{
    if (!slate->process)
        return -1;
    if (WaitForSingleObject(slate->process, timeout_ms) != WAIT_OBJECT_0)
        return -2;
    DWORD code = 0;
    GetExitCodeProcess(slate->process, &code);
    return static_cast<int>(code);
}

bool still_running(const slate_process& slate, unsigned wait_ms)
{
    if (WaitForSingleObject(slate.process, wait_ms) != WAIT_TIMEOUT)
        return false;
    return IsWindow(slate.window) && IsWindowVisible(slate.window);
}

std::vector<std::string> folder_names(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name != "." && name != "..")
                names.push_back(name);
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string joined_names(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return "[" + text + "]";
}

bool open_site(slate_site* site, std::string* why)
{
    if (!copy_slate(site->home.path())) {
        *why = "could not copy " + built_slate_path() + " to " + site->home.path();
        return false;
    }
    return start_slate(site->exe(), site->elsewhere.path(), &site->run.slate, why);
}

bool open_sites(const site_list& sites, std::string* why)
{
    for (const std::unique_ptr<slate_site>& site : sites) {
        if (!copy_slate(site->home.path())) {
            *why = "could not copy " + built_slate_path() + " to " + site->home.path();
            return false;
        }
        if (!start_program(widen(site->exe()), widen(site->elsewhere.path()), &site->run.slate,
                           why))
            return false;
    }
    for (const std::unique_ptr<slate_site>& site : sites) {
        if (!wait_for_slate_window(&site->run.slate, why))
            return false;
    }
    return true;
}

bool open_sites_with(const site_list& sites, const std::vector<std::string>& notes,
                     std::string* why)
{
    for (size_t i = 0; i < sites.size(); ++i) {
        if (notes[i] != NO_FILE && !write_file_bytes(sites[i]->notes(), notes[i])) {
            *why = "cannot write " + sites[i]->notes();
            return false;
        }
    }
    return open_sites(sites, why);
}

void expect_ended_with(slate_site* site, const std::string& notes)
{
    EXPECT_EQ(wait_exit(&site->run.slate), 0) << "exit code";
    EXPECT_EQ(visible_bytes(notes_bytes(site->notes())), visible_bytes(notes)) << "notes file";
    EXPECT_EQ(joined_names(folder_names(site->home.path())),
              notes == NO_FILE ? exe_only() : exe_and_notes())
        << "nothing else may stay beside the slate";
}

void expect_closed_with_copy(slate_site* site, const std::string& notes, const std::wstring& text)
{
    EXPECT_EQ(wait_exit(&site->run.slate), 0) << "exit code";
    EXPECT_EQ(visible_bytes(notes_bytes(site->notes())), visible_bytes(notes)) << "notes file";
    std::vector<recovery_copy> copies = recovery_copies(site->home.path());
    ASSERT_EQ(copies.size(), 1u) << joined_names(folder_names(site->home.path()));
    EXPECT_TRUE(copies[0].text == text) << "the copy keeps the box's text";
    std::vector<std::string> names = {"veslinn.exe", copies[0].name};
    if (notes != NO_FILE)
        names.push_back("veslinn.txt");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(joined_names(folder_names(site->home.path())), joined_names(names))
        << "nothing else stays beside the slate";
}

std::string notes_bytes(const std::string& path)
{
    return notes_bytes(widen(path));
}

std::string notes_bytes(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return "<no file>";
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return "<folder>";
    std::string bytes;
    return read_file_bytes(path, &bytes) ? bytes : "<unreadable>";
}

bool copy_slate_wide(const std::wstring& folder, const std::wstring& name)
{
    return CopyFileW(widen(built_slate_path()).c_str(), (folder + name).c_str(), FALSE) != FALSE;
}

std::vector<std::wstring> wide_names(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name != L"." && name != L"..")
                names.push_back(name);
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void remove_wide_tree(const std::wstring& folder)
{
    for (const std::wstring& name : wide_names(folder)) {
        std::wstring full = folder + name;
        DWORD attributes = GetFileAttributesW(full.c_str());
        SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            remove_wide_tree(full + L"\\");
        else
            DeleteFileW(full.c_str());
    }
    RemoveDirectoryW(folder.substr(0, folder.size() - 1).c_str());
}

std::vector<std::string> slate_leftovers(const std::string& folder)
{
    std::vector<std::string> found;
    for (const std::string& name : folder_names(folder)) {
        std::string type = name.size() > 4 ? name.substr(name.size() - 4) : "";
        if (name.compare(0, 7, "veslinn") == 0 &&
            (type == ".rcv" || type == ".tmp" || type == ".new" || type == ".lck"))
            found.push_back(name);
    }
    return found;
}

std::vector<recovery_copy> recovery_copies(const std::string& folder)
{
    std::vector<recovery_copy> copies;
    for (const std::string& name : slate_leftovers(folder)) {
        if (name.size() != 15 || name.compare(11, 4, ".rcv") != 0)
            continue;
        recovery_copy copy = {};
        copy.name = name;
        // Shared every way, so that the slate's rename onto the copy goes on.
        HANDLE file = CreateFileA((folder + name).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            continue;
        char block[65536];
        DWORD got = 0;
        while (ReadFile(file, block, sizeof block, &got, nullptr) && got > 0)
            copy.bytes.append(block, got);
        CloseHandle(file);
        // The header's 40 bytes, the text's piece record (kind, length,
        // hash), then the text in UTF-8.
        uint32_t length = 0;
        if (copy.bytes.size() >= 56) {
            memcpy(&length, copy.bytes.data() + 44, sizeof length);
            copy.text = from_utf8(copy.bytes.substr(56, length));
        }
        copies.push_back(copy);
    }
    return copies;
}

bool wait_for_copy(const std::string& folder, const std::wstring& text, unsigned timeout_ms)
{
    DWORD start = GetTickCount();
    do {
        for (const recovery_copy& copy : recovery_copies(folder)) {
            if (copy.text == text)
                return true;
        }
        Sleep(50);
    } while (GetTickCount() - start < timeout_ms);
    return false;
}

uint64_t fnv1a64(const std::string& bytes)
{
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char byte : bytes)
        hash = (hash ^ byte) * 1099511628211ull;
    return hash;
}

std::string exe_only()
{
    return joined_names({"veslinn.exe"});
}

std::string exe_and_notes()
{
    return joined_names({"veslinn.exe", "veslinn.txt"});
}

site_list make_sites(size_t count)
{
    site_list sites;
    for (size_t i = 0; i < count; ++i)
        sites.push_back(std::unique_ptr<slate_site>(new slate_site));
    return sites;
}

const std::string& refused_text()
{
    static const std::string text = [] {
        std::string lines;
        for (int i = 0; i < 400; ++i)
            lines += "new text that must not replace the old notes " + std::to_string(i) + "\r\n";
        return lines;
    }();
    return text;
}

void expect_refused_save(slate_process* slate, const std::wstring& notes_file, DWORD error)
{
    expect_refused_saves({slate}, {notes_file}, error);
}

// Sets a long text and leaves with "Salir" on each slate.  Each save fails:
// the slate says so in a message box that names the notes file and the
// system's reason for `error`, and stays open with the text; the close
// command then ends it without saving.  The slates' message boxes and windows
// go side by side, since each of them waits for the window manager.
void expect_refused_saves(const std::vector<slate_process*>& slates,
                          const std::vector<std::wstring>& notes_files, DWORD error)
{
    for (slate_process* slate : slates) {
        ASSERT_TRUE(set_box_text(*slate, refused_text()));
        post_command(*slate, LEAVE_ID, BN_CLICKED);
    }
    std::vector<HWND> boxes;
    for (size_t i = 0; i < slates.size(); ++i) {
        std::wstring message;
        boxes.push_back(wait_for_message(*slates[i], &message));
        ASSERT_TRUE(boxes[i]) << "no message after a failed save";
        EXPECT_EQ(message, save_failed_message(notes_files[i], error)) << narrow(message);
        EXPECT_EQ(window_text_wide(boxes[i]), L"Veslinn") << "the message's caption";
        PostMessageW(boxes[i], WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }
    for (size_t i = 0; i < slates.size(); ++i) {
        EXPECT_TRUE(press_ok(boxes[i]));
        EXPECT_TRUE(still_running(*slates[i])) << "the slate stays open after OK";
        EXPECT_TRUE(box_text(*slates[i]) == refused_text()) << "the box still holds the text";
        post_close_command(*slates[i]);
    }
    for (slate_process* slate : slates)
        EXPECT_EQ(wait_exit(slate), 0) << "the close command ends the slate";
}

HWND focus_of(const slate_process& slate)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(slate.window, nullptr), &info);
    return info.hwndFocus;
}

bool wait_for_focus(const slate_process& slate, int id, unsigned timeout_ms)
{
    HWND control = slate_control(slate, id);
    for (DWORD start = GetTickCount(); GetTickCount() - start < timeout_ms; Sleep(10)) {
        if (control && focus_of(slate) == control)
            return true;
    }
    return false;
}

bool wait_for_box(const slate_process& slate, const std::string& bytes, unsigned timeout_ms)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < timeout_ms; Sleep(10)) {
        if (box_text(slate) == bytes)
            return true;
    }
    return false;
}

namespace {

// The Unix path in a Windows environment variable, as a path on drive Z:.
std::string unix_folder_of(const wchar_t* variable)
{
    wchar_t value[MAX_PATH] = {};
    DWORD units = GetEnvironmentVariableW(variable, value, MAX_PATH);
    if (units == 0 || units >= MAX_PATH)
        return std::string();
    std::string path = "Z:" + narrow(value);
    std::replace(path.begin(), path.end(), '/', '\\');
    return path + "\\";
}

}  // namespace

bool press_x_keys(const slate_process& slate, const std::vector<std::string>& arguments)
{
    // Wine keeps the X window of a top-level window in this property.
    HANDLE x_window = GetPropW(slate.window, L"__wine_x11_whole_window");
    if (!x_window)
        return false;
    // Wine starts Unix programs as it starts Windows ones, by Windows rules:
    // each word is quoted, and the shell's own syntax stays in the script.
    // It gives back no process to wait for (a null process handle), so the
    // caller waits for what the keys do.
    std::wstring command = L"/bin/sh \"" + widen(X_KEYS_SCRIPT) + L"\" " +
                           std::to_wstring(reinterpret_cast<uintptr_t>(x_window));
    for (const std::string& word : arguments)
        command += L" \"" + widen(word) + L"\"";
    PROCESS_INFORMATION shell = {};
    if (!create_process(nullptr, command, std::wstring(), &shell))
        return false;
    if (shell.hProcess)
        CloseHandle(shell.hProcess);
    return true;
}

std::string recycled_notes(const std::string& folder)
{
    std::string trash = unix_folder_of(L"XDG_DATA_HOME");
    if (trash.empty())
        return "<no XDG_DATA_HOME>";
    trash += "Trash\\";
    // The trash names each file's origin in info\NAME.trashinfo, "Path=" and
    // the Unix path.  Process ids come round again from run to run, so the
    // newest entry from the site's folder is the one.
    std::string leaf = folder.substr(0, folder.size() - 1);
    leaf = leaf.substr(leaf.find_last_of('\\') + 1);
    const std::string origin = "/" + leaf + "/veslinn.txt\n";
    const std::string suffix = ".trashinfo";
    std::string newest_name;
    FILETIME newest = {};
    for (const std::string& info : folder_names(trash + "info\\")) {
        std::string bytes;
        WIN32_FILE_ATTRIBUTE_DATA data;
        std::string path = trash + "info\\" + info;
        if (read_file_bytes(path, &bytes) && bytes.find(origin) != std::string::npos &&
            GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) &&
            (newest_name.empty() || CompareFileTime(&data.ftLastWriteTime, &newest) > 0)) {
            newest = data.ftLastWriteTime;
            newest_name = info.substr(0, info.size() - suffix.size());
        }
    }
    return newest_name.empty() ? NO_FILE : notes_bytes(trash + "files\\" + newest_name);
}
