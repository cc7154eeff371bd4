// The interface scan: what 20,000 more interfaces cost a whole removal, against what they cost a
// loop that lists them and reads each one's TypeLib value.
#include <windows.h>
#include <stdio.h>
#include <wchar.h>

#include <vector>

#include "BenchHarness.h"
#include "RegistrationTable.h"

namespace {

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

TablePrinter RunInterfacesBench()
{
    const ScanTimes without = TimeInterfaceRuns(0);
    double start = Now();
    for (int number = 0; number < kInterfaceCount; ++number)
        CreateInterface(number);
    const double setup = Now() - start;
    const ScanTimes with = TimeInterfaceRuns(kInterfaceCount);
    if (with.count != without.count + kInterfaceCount)
        Fail("interfaces of other libraries were removed", "interfaces", with.count);
    DeleteInterfaces();
    return [without, with, setup] { PrintInterfaceTable(without, with, setup); };
}
