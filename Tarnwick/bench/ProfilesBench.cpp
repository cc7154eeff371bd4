// Whole unattended removals on machines with 1, 10 and 100 user profiles on disk, against a loop
// that only loads and unloads the same hives. Each profile holds the seventh registration, in its
// classes hive and its user's hive, beside kHiveFillerKeys other keys in each, as a hive in use
// has; under Wine every change to a loaded hive is forgotten when it is unloaded, so every run
// finds them again. The hives lie below kBenchFolder, which must exist.
#include <windows.h>
#include <stdio.h>
#include <wchar.h>

#include <string>
#include <vector>

#include "BenchHarness.h"

namespace {

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

}  // namespace

TablePrinter RunProfilesBench()
{
    EnableHivePrivileges();
    std::vector<Row> rows;
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
        rows.push_back({count, Median(ours), Median(theirs), setup});
    }
    return [rows] { PrintProfileTable(rows); };
}
