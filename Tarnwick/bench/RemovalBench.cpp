// Times the removal engine against Windows' own routines on the same work, in one process, on
// fresh data for every run, and prints a table of medians:
// - DeleteRegTree against RegDeleteTreeA on identical key trees under HKEY_CLASSES_ROOT;
// - SweepFolder against a plain FindFirstFileA/FindNextFileA listing of an identical folder
//   followed by the same deletions through SHFileOperationA;
// - a whole unattended removal on machines with 1, 10 and 100 user profiles on disk against a
//   loop that only loads and unloads their hives;
// - the interface scan: what 20,000 more interfaces cost a removal, against what they cost a loop
//   that lists them and reads each one's TypeLib value.
// Every timed operation is checked afterwards; a wrong result ends the program with exit code 1.
// The folders are left behind under C:\tarnwick-bench for the throwaway prefix to take with it.
#include <windows.h>
#include <shellapi.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include <algorithm>
#include <string>
#include <vector>

#include "FolderSweep.h"
#include "RegTree.h"
#include "RegistrationTable.h"
#include "Removal.h"

namespace {

const int kSizes[] = {1000, 10000, 50000};
const int kRuns = 5;

// Key trees: keys numbered 1 to count, key 1 the root; the children of key k are the keys
// kFanOut * (k - 1) + 2 to kFanOut * k + 1 that exist, so the tree is a complete kFanOut-ary tree
// filled level by level: 1,000 keys make 4 levels, 10,000 make 5 and 50,000 make 6. Every key is
// named "K" and its number (the root is named after the run) and holds its name as default value.
const int kFanOut = 10;

// Folders: count entries, of which these 10 match DownloadedControlsRules; the others are empty
// files named entryNNNNN.dat. Each conflict folder holds one file.
const char* const kMatchingFiles[] = {
    "Fennoxel.ocx", "MERROWIND.OCX", "quillodeck.ocx", "QuilloDeck.Inf", "fennoxel.INF",
};
const char* const kConflictFolders[] = {
    "CONFLICT.1", "conflict.2", "Old Conflict 3", "cOnFlIcT4", "x_conflic_5",
};
const int kMatchCount = 10;

const char kBenchFolder[] = "C:\\tarnwick-bench";

// The prefix under which the benchmark's files are created: Wine's "\\?\unix" form of
// kBenchFolder. For every new name in a folder Wine reads the whole folder in search of a name that
// differs only in case, so creating n files through a Windows path costs time in proportion to n^2
// (about 50 s for two folders of 10,000 files here); names in the Unix form are looked up exactly.
// Outside Wine the Windows path is used as it is.
char g_createFolder[MAX_PATH];

double g_tickSeconds;

double Now()
{
    LARGE_INTEGER ticks;
    QueryPerformanceCounter(&ticks);
    return ticks.QuadPart * g_tickSeconds;
}

double Median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

[[noreturn]] void Fail(const char* what, const char* where, long code)
{
    printf("FAILED: %s (%s): %ld\n", what, where, code);
    fflush(stdout);
    ExitProcess(1);
}

// ---- Registry ----

// Creates parent\name holding its name as default value, and returns it open.
HKEY CreateKey(HKEY parent, const char* name)
{
    HKEY key;
    LONG error = RegCreateKeyExA(parent, name, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL);
    if (error != ERROR_SUCCESS)
        Fail("RegCreateKeyExA", name, error);
    error = RegSetValueExA(key, NULL, 0, REG_SZ, (const BYTE*)name, strlen(name) + 1);
    if (error != ERROR_SUCCESS)
        Fail("RegSetValueExA", name, error);
    return key;
}

void CreateChildren(HKEY key, int number, int count)
{
    int last = std::min(count, kFanOut * number + 1);
    for (int childNumber = kFanOut * (number - 1) + 2; childNumber <= last; ++childNumber) {
        char name[16];
        sprintf(name, "K%d", childNumber);
        HKEY child = CreateKey(key, name);
        CreateChildren(child, childNumber, count);
        RegCloseKey(child);
    }
}

void CreateKeyTree(const char* rootName, int count)
{
    HKEY root = CreateKey(HKEY_CLASSES_ROOT, rootName);
    CreateChildren(root, 1, count);
    RegCloseKey(root);
}

void ExpectKeyAbsent(const char* rootName)
{
    HKEY key;
    LONG error = RegOpenKeyExA(HKEY_CLASSES_ROOT, rootName, 0, KEY_READ, &key);
    if (error == ERROR_SUCCESS) {
        RegCloseKey(key);
        Fail("key tree still present", rootName, 0);
    }
}

// The engine takes Unicode names; the conversion happens before the clock starts.
void Widen(const char* text, WCHAR (&wide)[MAX_PATH])
{
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide, MAX_PATH);
}

double TimeDeleteRegTree(const char* rootName)
{
    WCHAR wideName[MAX_PATH];
    Widen(rootName, wideName);
    double start = Now();
    HRESULT status = DeleteRegTree(HKEY_CLASSES_ROOT, wideName);
    double seconds = Now() - start;
    if (status != S_OK)
        Fail("DeleteRegTree", rootName, status);
    ExpectKeyAbsent(rootName);
    return seconds;
}

double TimeRegDeleteTree(const char* rootName)
{
    double start = Now();
    LONG error = RegDeleteTreeA(HKEY_CLASSES_ROOT, rootName);
    double seconds = Now() - start;
    if (error != ERROR_SUCCESS)
        Fail("RegDeleteTreeA", rootName, error);
    ExpectKeyAbsent(rootName);
    return seconds;
}

// ---- Folders ----

void CreateEmptyFile(const char* path)
{
    HANDLE file =
        CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        Fail("CreateFileA", path, GetLastError());
    CloseHandle(file);
}

void MakeFolder(const char* path)
{
    if (!CreateDirectoryA(path, NULL))
        Fail("CreateDirectoryA", path, GetLastError());
}

void FindCreateFolder()
{
    typedef char*(CDECL * UnixFileName)(LPCWSTR);
    UnixFileName unixFileName = (UnixFileName)(void*)GetProcAddress(
        GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
    char* unixName = NULL;
    if (unixFileName != NULL) {
        WCHAR folder[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, kBenchFolder, -1, folder, MAX_PATH);
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

// ---- Table ----

struct Row {
    int count;
    double ours;    // seconds, median
    double theirs;  // seconds, median
    double setup;   // seconds to create both copies, median
};

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

// ---- Profiles ----

// Whole unattended runs on a machine with count user profiles on disk, against a loop that loads
// and unloads the same hives. Each profile holds the seventh registration, in its classes hive and
// its user's hive, beside kHiveFillerKeys other keys in each, as a hive in use has; under Wine
// every change to a loaded hive is forgotten when it is unloaded, so every run finds them again.
const int kProfileCounts[] = {1, 10, 100};
const int kHiveFillerKeys = 2000;
const wchar_t kProfileList[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

void EnableHivePrivileges()
{
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token))
        Fail("OpenProcessToken", "", GetLastError());
    for (const wchar_t* name : {L"SeBackupPrivilege", L"SeRestorePrivilege"}) {
        TOKEN_PRIVILEGES privileges = {1, {{{0, 0}, SE_PRIVILEGE_ENABLED}}};
        LookupPrivilegeValueW(NULL, name, &privileges.Privileges[0].Luid);
        AdjustTokenPrivileges(token, FALSE, &privileges, 0, NULL, NULL);
    }
    CloseHandle(token);
}

// Saves a hive file holding key (and its ancestors) beside kHiveFillerKeys others.
void SaveHive(const wchar_t* file, const wchar_t* key)
{
    HKEY root;
    HKEY child;
    const wchar_t scratch[] = L"TarnwickBenchHive";
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, scratch, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &root, NULL);
    RegCreateKeyExW(root, key, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &child, NULL);
    RegCloseKey(child);
    for (int number = 0; number < kHiveFillerKeys; ++number) {
        wchar_t filler[64];
        swprintf(filler, 64, L"Software\\Filler%d\\Key%d", number / 100, number);
        RegCreateKeyExW(root, filler, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &child, NULL);
        RegSetValueExW(child, NULL, 0, REG_SZ, (const BYTE*)filler,
                       (wcslen(filler) + 1) * sizeof(wchar_t));
        RegCloseKey(child);
    }
    const LONG error = RegSaveKeyW(root, file, NULL);
    RegCloseKey(root);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, scratch);
    if (error != ERROR_SUCCESS)
        Fail("RegSaveKeyW", "", error);
}

// The profile number of the benchmark's: its SID, its folder and its hive files.
struct BenchProfile {
    wchar_t sid[64];
    wchar_t folder[MAX_PATH];
    wchar_t userHive[MAX_PATH];
    wchar_t classesHive[MAX_PATH];
};

BenchProfile MakeProfile(int number)
{
    BenchProfile profile;
    swprintf(profile.sid, 64, L"S-1-5-21-7-7-7-%d", 2000 + number);
    swprintf(profile.folder, MAX_PATH, L"C:\\tarnwick-bench\\users\\u%d", number);
    swprintf(profile.userHive, MAX_PATH, L"%ls\\NTUSER.DAT", profile.folder);
    swprintf(profile.classesHive, MAX_PATH, L"%ls\\UsrClass.dat", profile.folder);
    return profile;
}

// Lists count profiles, each with its hives copied from the two templates, and returns them.
std::vector<BenchProfile> MakeProfiles(int count)
{
    const wchar_t userTemplate[] = L"C:\\tarnwick-bench\\users\\NTUSER.DAT";
    const wchar_t classesTemplate[] = L"C:\\tarnwick-bench\\users\\UsrClass.dat";
    if (CreateDirectoryW(L"C:\\tarnwick-bench\\users", NULL)) {
        SaveHive(userTemplate, L"Software\\Microsoft\\Code Store Database\\Distribution Units\\"
                               L"{B19189A2-B3F5-45b1-AC66-70A71BA5F7AF}");
        SaveHive(classesTemplate, L"CLSID\\{B19189A2-B3F5-45b1-AC66-70A71BA5F7AF}");
    }
    std::vector<BenchProfile> profiles;
    for (int number = 1; number <= count; ++number) {
        profiles.push_back(MakeProfile(number));
        const BenchProfile& profile = profiles.back();
        CreateDirectoryW(profile.folder, NULL);
        if (!CopyFileW(userTemplate, profile.userHive, FALSE) ||
            !CopyFileW(classesTemplate, profile.classesHive, FALSE))
            Fail("CopyFileW", "", GetLastError());
        wchar_t entry[MAX_PATH];
        swprintf(entry, MAX_PATH, L"%ls\\%ls", kProfileList, profile.sid);
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, entry, L"ProfileImagePath", REG_EXPAND_SZ,
                        profile.folder, (wcslen(profile.folder) + 1) * sizeof(wchar_t));
    }
    return profiles;
}

void RemoveProfiles(const std::vector<BenchProfile>& profiles)
{
    for (const BenchProfile& profile : profiles) {
        wchar_t entry[MAX_PATH];
        swprintf(entry, MAX_PATH, L"%ls\\%ls", kProfileList, profile.sid);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, entry);
    }
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

double TimeLoadAndUnload(const std::vector<BenchProfile>& profiles)
{
    double start = Now();
    for (const BenchProfile& profile : profiles) {
        const std::wstring classes = std::wstring(profile.sid) + L"_Classes";
        LONG error = RegLoadKeyW(HKEY_USERS, profile.sid, profile.userHive);
        if (error == ERROR_SUCCESS)
            error = RegLoadKeyW(HKEY_USERS, classes.c_str(), profile.classesHive);
        if (error == ERROR_SUCCESS)
            error = RegUnLoadKeyW(HKEY_USERS, classes.c_str());
        if (error == ERROR_SUCCESS)
            error = RegUnLoadKeyW(HKEY_USERS, profile.sid);
        if (error != ERROR_SUCCESS)
            Fail("loading and unloading hives", "", error);
    }
    return Now() - start;
}

// The removal's and the loop's medians by count of profiles, and each one's cost of a profile
// beyond the first.
void PrintProfileTable(const std::vector<Row>& rows)
{
    printf("\nWhole unattended runs on a machine with profiles on disk\n\n");
    printf("| profiles | removal (RemoveControls) | loads and unloads only |\n");
    printf("|---------:|------------------------:|-----------------------:|\n");
    for (const Row& row : rows)
        printf("| %8d | %20.1f ms | %19.1f ms |\n", row.count, row.ours * 1e3, row.theirs * 1e3);
    const Row& first = rows.front();
    const Row& last = rows.back();
    const Row& middle = rows[1];
    const double ours = (last.ours - first.ours) / (last.count - first.count);
    const double theirs = (last.theirs - first.theirs) / (last.count - first.count);
    printf("\nPer profile beyond the first (1 to %d): removal %.2f ms, loop %.2f ms, ratio %.2f\n",
           last.count, ours * 1e3, theirs * 1e3, ours / theirs);
    printf("Removal per profile, 1 to %d: %.2f ms; %d to %d: %.2f ms\n", middle.count,
           (middle.ours - first.ours) / (middle.count - first.count) * 1e3, middle.count,
           last.count, (last.ours - middle.ours) / (last.count - middle.count) * 1e3);
    fflush(stdout);
}

// ---- Interfaces ----

// Interfaces below HKEY_LOCAL_MACHINE\Software\Classes\Interface, each with a TypeLib subkey
// naming its library: kOwnInterfaces of them (every kOwnStride-th) name the rows' libraries, the
// others one that is no row's. A removal scans them all and removes the rows'.
const int kInterfaceCount = 20000;
const int kOwnInterfaces = 30;
const int kOwnStride = 667;  // 30 numbers below 20,000
const wchar_t kInterfaces[] = L"Software\\Classes\\Interface";

void CreateInterface(int number)
{
    const bool own = number % kOwnStride == 0;
    const wchar_t* library = L"{00000000-0000-4000-8000-0000000000FF}";
    if (own)
        library = RegistrationTable[number / kOwnStride % kRegistrationCount].typeLibKey + 8;
    wchar_t path[MAX_PATH];
    swprintf(path, MAX_PATH, L"%ls\\{%08X-0000-4000-8000-000000000000}\\TypeLib", kInterfaces,
             number);
    HKEY key;
    LONG error = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, NULL, 0, KEY_SET_VALUE, NULL, &key,
                                 NULL);
    if (error == ERROR_SUCCESS) {
        error = RegSetValueExW(key, NULL, 0, REG_SZ, (const BYTE*)library,
                               (wcslen(library) + 1) * sizeof(wchar_t));
        RegCloseKey(key);
    }
    if (error != ERROR_SUCCESS)
        Fail("creating an interface", "", error);
}

void DeleteInterfaces()
{
    for (int number = 0; number < kInterfaceCount; ++number) {
        wchar_t path[MAX_PATH];
        swprintf(path, MAX_PATH, L"%ls\\{%08X-0000-4000-8000-000000000000}", kInterfaces, number);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, path);
    }
}

// The loop: lists the interfaces and reads each one's TypeLib value; returns the seconds, and how
// many it read in count.
double TimeInterfaceLoop(int* count)
{
    double start = Now();
    *count = 0;
    HKEY interfaces;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kInterfaces, 0, KEY_ENUMERATE_SUB_KEYS, &interfaces) !=
        ERROR_SUCCESS)
        Fail("opening the interfaces", "", 0);
    wchar_t name[MAX_PATH];
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        if (RegEnumKeyExW(interfaces, index, name, &length, NULL, NULL, NULL, NULL) !=
            ERROR_SUCCESS)
            break;
        wcscat(name, L"\\TypeLib");
        HKEY typeLib;
        if (RegOpenKeyExW(interfaces, name, 0, KEY_QUERY_VALUE, &typeLib) != ERROR_SUCCESS)
            continue;
        wchar_t library[64];
        DWORD size = sizeof library;
        if (RegQueryValueExW(typeLib, NULL, NULL, NULL, (BYTE*)library, &size) == ERROR_SUCCESS)
            ++*count;
        RegCloseKey(typeLib);
    }
    RegCloseKey(interfaces);
    return Now() - start;
}

// A removal's and the loop's medians with some extra interfaces, and how many interfaces there
// are before a removal.
struct ScanTimes {
    double removal;
    double loop;
    int count;
};

ScanTimes TimeInterfaceRuns(int extra)
{
    std::vector<double> removals, loops;
    for (int run = 0; run < kRuns; ++run) {
        for (int number = 0; number < extra; number += kOwnStride)
            CreateInterface(number);
        removals.push_back(TimeRemoval());
        int before = 0;
        loops.push_back(TimeInterfaceLoop(&before));
        for (int number = 0; number < extra; number += kOwnStride)
            CreateInterface(number);
        int after = 0;
        TimeInterfaceLoop(&after);
        if (extra != 0 && after - before != kOwnInterfaces)
            Fail("the rows' interfaces were not all removed", "interfaces", after - before);
        printf("interfaces +%5d,      run %d: RemoveControls %7.1f ms, list + read TypeLib "
               "%7.1f ms (%d interfaces)\n", extra, run + 1, removals.back() * 1e3,
               loops.back() * 1e3, after);
        fflush(stdout);
    }
    int count = 0;
    TimeInterfaceLoop(&count);
    return {Median(removals), Median(loops), count};
}

void PrintInterfaceTable(const ScanTimes& without, const ScanTimes& with, double setup)
{
    const double removal = with.removal - without.removal;
    const double loop = with.loop - without.loop;
    printf("\nInterface scan: what %d more interfaces (%d of them the rows') cost\n\n",
           kInterfaceCount, kOwnInterfaces);
    printf("| interfaces | removal (RemoveControls) | list + read TypeLib |\n");
    printf("|-----------:|------------------------:|--------------------:|\n");
    printf("| %10s | %20.1f ms | %16.1f ms |\n", "+0", without.removal * 1e3, without.loop * 1e3);
    printf("| %10d | %20.1f ms | %16.1f ms |\n", kInterfaceCount, with.removal * 1e3,
           with.loop * 1e3);
    printf("\nCost of the %d: removal %.1f ms, loop %.1f ms, ratio %.2f (setup %.1f s)\n",
           kInterfaceCount, removal * 1e3, loop * 1e3, removal / loop, setup);
    fflush(stdout);
}

}  // namespace

int main()
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    g_tickSeconds = 1.0 / frequency.QuadPart;
    double benchStart = Now();

    std::vector<Row> registryRows;
    for (int count : kSizes) {
        std::vector<double> ours, theirs, setup;
        for (int run = 0; run < kRuns; ++run) {
            char ourTree[64], theirTree[64];
            sprintf(ourTree, "TarnwickBench.%d.%d.engine", count, run);
            sprintf(theirTree, "TarnwickBench.%d.%d.platform", count, run);
            double start = Now();
            CreateKeyTree(ourTree, count);
            CreateKeyTree(theirTree, count);
            setup.push_back(Now() - start);
            // Alternate the order so that neither side always runs first.
            if (run % 2 == 0) {
                ours.push_back(TimeDeleteRegTree(ourTree));
                theirs.push_back(TimeRegDeleteTree(theirTree));
            } else {
                theirs.push_back(TimeRegDeleteTree(theirTree));
                ours.push_back(TimeDeleteRegTree(ourTree));
            }
            printf("registry %5d keys,    run %d: DeleteRegTree %7.1f ms, RegDeleteTreeA %7.1f ms, "
                   "setup %.1f s\n",
                   count, run + 1, ours.back() * 1e3, theirs.back() * 1e3, setup.back());
            fflush(stdout);
        }
        registryRows.push_back({count, Median(ours), Median(theirs), Median(setup)});
    }

    MakeFolder(kBenchFolder);
    FindCreateFolder();
    std::vector<Row> sweepRows;
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
        sweepRows.push_back({count, Median(ours), Median(theirs), Median(setup)});
        deletionMedians.push_back(Median(deletions));
    }

    EnableHivePrivileges();
    std::vector<Row> profileRows;
    for (int count : kProfileCounts) {
        double start = Now();
        const std::vector<BenchProfile> profiles = MakeProfiles(count);
        const double setup = Now() - start;
        std::vector<double> ours, theirs;
        for (int run = 0; run < kRuns; ++run) {
            ours.push_back(TimeRemoval());
            theirs.push_back(TimeLoadAndUnload(profiles));
            printf("profiles %5d,         run %d: RemoveControls %7.1f ms, loads and unloads "
                   "%7.1f ms\n", count, run + 1, ours.back() * 1e3, theirs.back() * 1e3);
            fflush(stdout);
        }
        RemoveProfiles(profiles);
        profileRows.push_back({count, Median(ours), Median(theirs), setup});
    }

    const ScanTimes without = TimeInterfaceRuns(0);
    double start = Now();
    for (int number = 0; number < kInterfaceCount; ++number)
        CreateInterface(number);
    const double interfaceSetup = Now() - start;
    const ScanTimes with = TimeInterfaceRuns(kInterfaceCount);
    if (with.count != without.count + kInterfaceCount)
        Fail("interfaces of other libraries were removed", "interfaces", with.count);
    DeleteInterfaces();

    printf("\nMedians of %d runs; setup: creating both copies of the data.\n", kRuns);
    PrintTable("Registry tree removal under HKEY_CLASSES_ROOT", "keys", "DeleteRegTree",
               "RegDeleteTreeA", registryRows);
    PrintTable("Folder sweep with 10 matching entries", "entries", "SweepFolder",
               "list + 10 deletes", sweepRows);
    printf("\nOf list + 10 deletes, the 10 SHFileOperationA calls alone:");
    for (size_t i = 0; i < sweepRows.size(); ++i)
        printf(" %d entries %.1f ms;", sweepRows[i].count, deletionMedians[i] * 1e3);
    PrintProfileTable(profileRows);
    PrintInterfaceTable(without, with, interfaceSetup);
    printf("\nWhole benchmark: %.0f s\n", Now() - benchStart);
    return 0;
}
