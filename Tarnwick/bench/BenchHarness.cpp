// The benchmarks' shared harness: the clock, medians, failure, a whole removal timed and the
// tables of medians.
#include "BenchHarness.h"

#include <stdio.h>

#include <algorithm>

#include "Removal.h"

double Now()
{
    static const double tickSeconds = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return 1.0 / frequency.QuadPart;
    }();
    LARGE_INTEGER ticks;
    QueryPerformanceCounter(&ticks);
    return ticks.QuadPart * tickSeconds;
}

double Median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

void Fail(const char* what, const char* where, long code)
{
    printf("FAILED: %s (%s): %ld\n", what, where, code);
    fflush(stdout);
    ExitProcess(1);
}

void Widen(const char* text, WCHAR (&wide)[MAX_PATH])
{
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide, MAX_PATH);
}

void MakeFolder(const char* path)
{
    if (!CreateDirectoryA(path, NULL))
        Fail("CreateDirectoryA", path, GetLastError());
}

double TimeRemoval()
{
    double start = Now();
    const int exitCode = ExitCodeFor(kRemoveQuietly, RemoveControls(kRemoveQuietly, kAllProfiles,
                                                                    NULL));
    double seconds = Now() - start;
    if (exitCode != 0)
        Fail("RemoveControls", "profiles", exitCode);
    return seconds;
}

void PrintTable(const char* title, const char* unit, const char* ourName, const char* theirName,
                const std::vector<Row>& rows)
{
    printf("\n%s\n\n", title);
    printf("| %7s | %17s | %17s | %5s | %12s | %12s | %7s |\n", unit, ourName, theirName, "ratio",
           "ours/entry", "theirs/entry", "setup");
    printf("|--------:|------------------:|------------------:|------:|-------------:|"
           "-------------:|--------:|\n");
    for (const Row& row : rows) {
        printf("| %7d | %14.1f ms | %14.1f ms | %5.2f | %9.2f us | %9.2f us | %5.1f s |\n",
               row.count, row.ours * 1e3, row.theirs * 1e3, row.ours / row.theirs,
               row.ours / row.count * 1e6, row.theirs / row.count * 1e6, row.setup);
    }
    fflush(stdout);
}
