// Registry tree removal: DeleteRegTree against RegDeleteTreeA on identical key trees under
// HKEY_CLASSES_ROOT, fresh trees for every run.
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "BenchHarness.h"
#include "RegTree.h"

namespace {

// Key trees: keys numbered 1 to count, key 1 the root; the children of key k are the keys
// kFanOut * (k - 1) + 2 to kFanOut * k + 1 that exist, so the tree is a complete kFanOut-ary tree
// filled level by level: 1,000 keys make 4 levels, 10,000 make 5 and 50,000 make 6. Every key is
// named "K" and its number (the root is named after the run) and holds its name as default value.
const int kFanOut = 10;

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

}  // namespace

TablePrinter RunRegTreeBench()
{
    std::vector<Row> rows;
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
        rows.push_back({count, Median(ours), Median(theirs), Median(setup)});
    }
    return [rows] {
        PrintTable("Registry tree removal under HKEY_CLASSES_ROOT", "keys", "DeleteRegTree",
                   "RegDeleteTreeA", rows);
    };
}
