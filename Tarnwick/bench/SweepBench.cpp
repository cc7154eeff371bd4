// Folder sweep: SweepFolder against a plain FindFirstFileA/FindNextFileA listing of an identical
// folder followed by the same deletions through SHFileOperationA, fresh folders for every run.
#include <windows.h>
#include <shellapi.h>
#include <stdio.h>
#include <string.h>

#include <vector>

#include "BenchHarness.h"
#include "FolderSweep.h"

namespace {

// Folders: count entries, of which these 10 match DownloadedControlsRules; the others are empty
// files named entryNNNNN.dat. Each conflict folder holds one file.
const char* const kMatchingFiles[] = {
    "Fennoxel.ocx", "MERROWIND.OCX", "quillodeck.ocx", "QuilloDeck.Inf", "fennoxel.INF",
};
const char* const kConflictFolders[] = {
    "CONFLICT.1", "conflict.2", "Old Conflict 3", "cOnFlIcT4", "x_conflic_5",
};
const int kMatchCount = 10;

// The prefix under which the benchmark's files are created: Wine's "\\?\unix" form of
// kBenchFolder. For every new name in a folder Wine reads the whole folder in search of a name that
// differs only in case, so creating n files through a Windows path costs time in proportion to n^2
// (about 50 s for two folders of 10,000 files here); names in the Unix form are looked up exactly.
// Outside Wine the Windows path is used as it is.
char g_createFolder[MAX_PATH];

void CreateEmptyFile(const char* path)
{
    HANDLE file =
        CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        Fail("CreateFileA", path, GetLastError());
    CloseHandle(file);
}

void FindCreateFolder()
{
    typedef char*(CDECL * UnixFileName)(LPCWSTR);
    UnixFileName unixFileName = (UnixFileName)(void*)GetProcAddress(
        GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
    char* unixName = NULL;
    if (unixFileName != NULL) {
        WCHAR folder[MAX_PATH];
        Widen(kBenchFolder, folder);
        unixName = unixFileName(folder);
    }
    if (unixName == NULL) {
        strcpy(g_createFolder, kBenchFolder);
        return;
    }
    sprintf(g_createFolder, "\\\\?\\unix%s", unixName);
    HeapFree(GetProcessHeap(), 0, unixName);
    for (char* c = g_createFolder; *c != '\0'; ++c) {
        if (*c == '/')
            *c = '\\';
    }
}

// Creates kBenchFolder\name with count entries.
void CreateSweepFolder(const char* name, int count)
{
    char folder[MAX_PATH], path[MAX_PATH];
    sprintf(folder, "%s\\%s", g_createFolder, name);
    MakeFolder(folder);
    for (int i = 0; i < count - kMatchCount; ++i) {
        sprintf(path, "%s\\entry%05d.dat", folder, i);
        CreateEmptyFile(path);
    }
    for (const char* match : kMatchingFiles) {
        sprintf(path, "%s\\%s", folder, match);
        CreateEmptyFile(path);
    }
    for (const char* match : kConflictFolders) {
        sprintf(path, "%s\\%s", folder, match);
        MakeFolder(path);
        strcat(path, "\\QUILLODECK.OCX");
        CreateEmptyFile(path);
    }
}

// Number of entries in folder, "." and ".." not counted.
int CountEntries(const char* folder)
{
    char pattern[MAX_PATH];
    sprintf(pattern, "%s\\*.*", folder);
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(pattern, &entry);
    if (search == INVALID_HANDLE_VALUE)
        Fail("FindFirstFileA", pattern, GetLastError());
    int count = 0;
    do {
        if (strcmp(entry.cFileName, ".") != 0 && strcmp(entry.cFileName, "..") != 0)
            ++count;
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return count;
}

void ExpectRemaining(const char* folder, int count)
{
    int remaining = CountEntries(folder);
    if (remaining != count - kMatchCount)
        Fail("entries left after the deletions", folder, remaining);
}

double TimeSweepFolder(const char* folder, int count)
{
    WCHAR wideFolder[MAX_PATH];
    Widen(folder, wideFolder);
    double start = Now();
    bool swept = SweepFolder(wideFolder, wideFolder, DownloadedControlsRules,
                             SweepWork{kRemoveInteractively, NULL, NULL}) ==
                 kFolderSwept;
    double seconds = Now() - start;
    if (!swept)
        Fail("SweepFolder", folder, 0);
    ExpectRemaining(folder, count);
    return seconds;
}

bool ShellDelete(const char* folder, const char* name)
{
    char list[MAX_PATH + 1];
    int length = sprintf(list, "%s\\%s", folder, name);
    list[length + 1] = '\0';
    SHFILEOPSTRUCTA operation;
    memset(&operation, 0, sizeof operation);
    operation.wFunc = FO_DELETE;
    operation.pFrom = list;
    operation.fFlags = FOF_NOCONFIRMATION | FOF_ALLOWUNDO;
    return SHFileOperationA(&operation) == 0;
}

struct ListAndDeleteTimes {
    double total;
    double deletions;
};

// The platform's share of a sweep: list the folder, then delete the same 10 entries.
ListAndDeleteTimes TimeListAndDelete(const char* folder, int count)
{
    double start = Now();
    char pattern[MAX_PATH];
    sprintf(pattern, "%s\\*.*", folder);
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(pattern, &entry);
    int listed = 0;
    if (search != INVALID_HANDLE_VALUE) {
        do
            ++listed;
        while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    double listedAt = Now();
    bool deleted = true;
    for (const char* name : kMatchingFiles)
        deleted = ShellDelete(folder, name) && deleted;
    for (const char* name : kConflictFolders)
        deleted = ShellDelete(folder, name) && deleted;
    double end = Now();
    if (listed != count + 2)  // with "." and ".."
        Fail("entries listed", folder, listed);
    if (!deleted)
        Fail("SHFileOperationA", folder, 0);
    ExpectRemaining(folder, count);
    return {end - start, end - listedAt};
}

}  // namespace

TablePrinter RunSweepBench()
{
    FindCreateFolder();
    std::vector<Row> rows;
    std::vector<double> deletionMedians;
    for (int count : kSizes) {
        std::vector<double> ours, theirs, deletions, setup;
        for (int run = 0; run < kRuns; ++run) {
            char ourName[32], theirName[32], ourFolder[MAX_PATH], theirFolder[MAX_PATH];
            sprintf(ourName, "%d.%d.engine", count, run);
            sprintf(theirName, "%d.%d.platform", count, run);
            sprintf(ourFolder, "%s\\%s", kBenchFolder, ourName);
            sprintf(theirFolder, "%s\\%s", kBenchFolder, theirName);
            double start = Now();
            CreateSweepFolder(ourName, count);
            CreateSweepFolder(theirName, count);
            setup.push_back(Now() - start);
            ListAndDeleteTimes platform;
            if (run % 2 == 0) {
                ours.push_back(TimeSweepFolder(ourFolder, count));
                platform = TimeListAndDelete(theirFolder, count);
            } else {
                platform = TimeListAndDelete(theirFolder, count);
                ours.push_back(TimeSweepFolder(ourFolder, count));
            }
            theirs.push_back(platform.total);
            deletions.push_back(platform.deletions);
            printf("folder   %5d entries, run %d: SweepFolder %7.1f ms, listing + 10 deletions "
                   "%7.1f ms (deletions %.1f ms), setup %.1f s\n",
                   count, run + 1, ours.back() * 1e3, theirs.back() * 1e3,
                   deletions.back() * 1e3, setup.back());
            fflush(stdout);
        }
        rows.push_back({count, Median(ours), Median(theirs), Median(setup)});
        deletionMedians.push_back(Median(deletions));
    }
    return [rows, deletionMedians] {
        PrintTable("Folder sweep with 10 matching entries", "entries", "SweepFolder",
                   "list + 10 deletes", rows);
        printf("\nOf list + 10 deletes, the 10 SHFileOperationA calls alone:");
        for (size_t i = 0; i < rows.size(); ++i)
            printf(" %d entries %.1f ms;", rows[i].count, deletionMedians[i] * 1e3);
    };
}
