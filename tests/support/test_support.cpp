#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <stdio.h>

void push_text(const std::string& text)
{
    push_owned(copy_string(text.data(), static_cast<uint32_t>(text.size())));
}

void push_wide(const std::wstring& text)
{
    push_owned(copy_wide_string(text.data(), static_cast<uint32_t>(text.size())));
}

std::wstring wide_of(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

std::string text_of(string_handle h)
{
    return std::string(string_text(h), string_bytes(h));
}

std::string pop_text()
{
    string_handle h = pop_string();
    std::string text = text_of(h);
    release_string(h);
    return text;
}

std::wstring pop_wide()
{
    string_handle h = pop_string();
    std::wstring text(wide_text(h), wide_units(h));
    release_string(h);
    return text;
}

static void remove_tree(const std::string& folder)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string full = folder + name;
            SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                remove_tree(full + "\\");
            else
                DeleteFileA(full.c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    std::string bare = folder.substr(0, folder.size() - 1);
    RemoveDirectoryA(bare.c_str());
}

scratch_folder::scratch_folder()
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    static unsigned counter = 0;
    for (;;) {
        char name[64];
        snprintf(name, sizeof name, "vt%lu_%u\\", GetCurrentProcessId(), ++counter);
        path_ = std::string(temp) + name;
        if (CreateDirectoryA(path_.substr(0, path_.size() - 1).c_str(), nullptr))
            break;
    }
}

scratch_folder::~scratch_folder()
{
    remove_tree(path_);
}

std::string scratch_folder::write_file(const std::string& name, const std::string& bytes) const
{
    EXPECT_TRUE(write_file_bytes(file(name), bytes)) << file(name);
    return file(name);
}

std::wstring widen(const std::string& bytes)
{
    std::wstring wide(bytes.size(), L'\0');
    if (!bytes.empty())
        wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, bytes.data(),
                                                            static_cast<int>(bytes.size()), &wide[0],
                                                            static_cast<int>(wide.size()))));
    return wide;
}

bool write_file_bytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = bytes.empty() ||
              WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
    return ok && written == bytes.size();
}

bool write_file_bytes(const std::string& path, const std::string& bytes)
{
    return write_file_bytes(widen(path), bytes);
}

bool read_file_bytes(const std::wstring& path, std::string* bytes)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    bytes->clear();
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(h, chunk, sizeof chunk, &got, nullptr) && got > 0)
        bytes->append(chunk, got);
    CloseHandle(h);
    return true;
}

bool read_file_bytes(const std::string& path, std::string* bytes)
{
    return read_file_bytes(widen(path), bytes);
}

std::string file_bytes(const std::string& path)
{
    std::string bytes;
    return read_file_bytes(path, &bytes) ? bytes : "<unreadable>";
}

bool file_exists(const std::string& path)
{
    return attributes_of(path) != INVALID_FILE_ATTRIBUTES;
}

DWORD attributes_of(const std::string& path)
{
    return GetFileAttributesA(path.c_str());
}

bool set_attributes(const std::string& path, DWORD attributes)
{
    return SetFileAttributesA(path.c_str(), attributes) != 0;
}

std::string executable_folder()
{
    char path[MAX_PATH * 2];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string full(path, n);
    return full.substr(0, full.find_last_of('\\') + 1);
}

int run_program(const std::string& command_line, unsigned timeout_ms,
                const std::string& working_folder)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::vector<char> line(command_line.begin(), command_line.end());
    line.push_back(0);
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        working_folder.empty() ? nullptr : working_folder.c_str(), &startup,
                        &process))
        return -1;
    int result;
    if (WaitForSingleObject(process.hProcess, timeout_ms) == WAIT_TIMEOUT) {
        TerminateProcess(process.hProcess, 1);
        result = -2;
    } else {
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        result = static_cast<int>(code);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return result;
}

std::string visible_bytes(const std::string& bytes)
{
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 32 && c < 127 && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

bool running_under_wine()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}
