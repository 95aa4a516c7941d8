// The version record of the built slate, read back as Windows reads it, must
// carry the version CMake was configured with (RELEASE_VERSION, "1.2.3" or
// "1.2.3.4"; parts left out are 0).  The executable's path is the first
// argument.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

static std::wstring program_path;  // argv[1], as wide text

static std::vector<unsigned> expected_words()
{
    std::vector<unsigned> words(4, 0);
    std::sscanf(RELEASE_VERSION, "%u.%u.%u.%u", &words[0], &words[1], &words[2], &words[3]);
    return words;
}

static std::wstring expected_text()
{
    std::vector<unsigned> w = expected_words();
    return std::to_wstring(w[0]) + L"." + std::to_wstring(w[1]) + L"." + std::to_wstring(w[2]) +
           L"." + std::to_wstring(w[3]);
}

class VersionRecord : public testing::Test {
protected:
    void SetUp() override
    {
        DWORD unused = 0;
        DWORD size = GetFileVersionInfoSizeW(program_path.c_str(), &unused);
        ASSERT_NE(size, 0u) << "no version record, error " << GetLastError();
        record_.resize(size);
        ASSERT_TRUE(GetFileVersionInfoW(program_path.c_str(), 0, size, record_.data()));
    }

    // The value under a sub-block path, or nullptr.
    void* value(const std::wstring& sub_block, UINT* length = nullptr)
    {
        void* found = nullptr;
        UINT n = 0;
        if (!VerQueryValueW(record_.data(), sub_block.c_str(), &found, &n)) return nullptr;
        if (length) *length = n;
        return found;
    }

private:
    std::vector<BYTE> record_;
};

TEST_F(VersionRecord, fixed_numbers_are_the_configured_version)
{
    auto* fixed = static_cast<VS_FIXEDFILEINFO*>(value(L"\\"));
    ASSERT_NE(fixed, nullptr);
    ASSERT_EQ(fixed->dwSignature, static_cast<DWORD>(VS_FFI_SIGNATURE));
    std::vector<unsigned> want = expected_words();
    struct row { const char* name; DWORD most, least; };
    const row rows[] = {
        {"FILEVERSION", fixed->dwFileVersionMS, fixed->dwFileVersionLS},
        {"PRODUCTVERSION", fixed->dwProductVersionMS, fixed->dwProductVersionLS},
    };
    for (const row& r : rows) {
        std::vector<unsigned> got = {HIWORD(r.most), LOWORD(r.most), HIWORD(r.least), LOWORD(r.least)};
        EXPECT_EQ(got, want) << r.name;
    }
}

TEST_F(VersionRecord, version_strings_are_the_configured_version)
{
    UINT length = 0;
    auto* translation = static_cast<WORD*>(value(L"\\VarFileInfo\\Translation", &length));
    ASSERT_NE(translation, nullptr);
    ASSERT_GE(length, 2 * sizeof(WORD));
    wchar_t block[64];
    swprintf(block, 64, L"\\StringFileInfo\\%04x%04x\\", translation[0], translation[1]);
    for (const wchar_t* name : {L"FileVersion", L"ProductVersion"}) {
        auto* text = static_cast<const wchar_t*>(value(std::wstring(block) + name));
        ASSERT_NE(text, nullptr) << name;
        EXPECT_EQ(std::wstring(text), expected_text()) << name;
    }
}

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <program.exe>\n", argv[0]);
        return 2;
    }
    int n = MultiByteToWideChar(CP_ACP, 0, argv[1], -1, nullptr, 0);
    program_path.resize(n);
    MultiByteToWideChar(CP_ACP, 0, argv[1], -1, &program_path[0], n);
    program_path.resize(n - 1);
    return RUN_ALL_TESTS();
}
