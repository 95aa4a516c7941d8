// The line-by-line merge of notes changed in two places: 1 MB of notes with
// three lines changed by the notes file and three by the box, and the same
// with every 50th line changed on each side.  Prints the best and the median
// of 15 runs.
#include <windows.h>

#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/notes/notes_merge.h"
#include "bench/clock.h"
#include "runtime/core/core.h"

namespace {

const int LINES = 25000;  // 42 units a line: about 1 MB as text
const int RUNS = 15;

void measure(const char* what, int file_every, int box_every)
{
    std::wstring base, theirs, mine;
    for (int i = 0; i < LINES; ++i) {
        wchar_t line[64];
        swprintf(line, 64, L"line %06d of the notes, written long ago\r\n", i);
        base += line;
        theirs += (i % file_every == 7 ? L"file " : L"") + std::wstring(line);
        mine += (i % box_every == 31 ? L"box " : L"") + std::wstring(line);
    }
    std::vector<double> times;
    for (int run = 0; run < RUNS; ++run) {
        string_handle merged = 0;
        double start = now_ms();
        merge_notes({base.data(), static_cast<uint32_t>(base.size())},
                    {theirs.data(), static_cast<uint32_t>(theirs.size())},
                    {mine.data(), static_cast<uint32_t>(mine.size())}, &merged);
        times.push_back(now_ms() - start);
        release_string(merged);
    }
    std::sort(times.begin(), times.end());
    printf("%-44s best %7.1f ms   median %7.1f ms\n", what, times[0], times[RUNS / 2]);
}

}  // namespace

int main()
{
    printf("merging %d lines (%u KB of text)\n", LINES, LINES * 42 / 1024);
    measure("three changes on each side", LINES / 3, LINES / 3);
    measure("every 50th line changed on each side", 50, 50);
    return 0;
}
