#include "FolderSweep.h"

#include <string.h>

#include "../platform/PlatformServices.h"

namespace {

// The longest folder path for which every entry's full path, with the shell list's second NUL,
// still fits in a sweep buffer: folder, backslash, the longest file name, two NULs.
const size_t kMaxFolderLength = kSweepBufferSize - 1 - (MAX_PATH - 1) - 2;

// Copies name into upper with the bytes a-z turned into A-Z and every other byte unchanged, so the
// second byte of a double-byte character may change too; only comparisons use the copy.
void CopyUpperCase(const char* name, char* upper)
{
    for (; *name != '\0'; ++name, ++upper)
        *upper = (*name >= 'a' && *name <= 'z') ? *name - 'a' + 'A' : *name;
    *upper = '\0';
}

bool Matches(const WIN32_FIND_DATAA& entry, const char* upper, const SweepRules& rules)
{
    if (rules.conflictFolders && (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
        strstr(upper, "CONFLIC") != NULL)
        return true;
    for (int i = 0; i < rules.nameCount; ++i) {
        if (strcmp(upper, rules.names[i]) == 0)
            return true;
    }
    return false;
}

// Deletes one matching entry. A link (junction, symbolic link) is removed itself: the shell would
// follow it and delete what it points to, outside the swept folder.
bool DeleteEntry(const WIN32_FIND_DATAA& entry, char* full)
{
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            return PlatformServices::RemoveDirectoryA(full) != FALSE;
        return PlatformServices::DeleteFileA(full) != FALSE;
    }
    full[strlen(full) + 1] = '\0';
    return ShellDeletePath(full);
}

}  // namespace

bool SweepFolder(LPCSTR folder, const SweepRules& rules)
{
    if (strlen(folder) > kMaxFolderLength)
        return false;

    char pattern[kSweepBufferSize];
    strcpy(pattern, folder);
    strcat(pattern, "\\*.*");

    WIN32_FIND_DATAA entry;
    HANDLE search = PlatformServices::FindFirstFileA(pattern, &entry);
    if (search == INVALID_HANDLE_VALUE)
        return false;

    bool failed = false;
    char full[kSweepBufferSize];
    char upper[kSweepBufferSize];
    do {
        if (strcmp(entry.cFileName, ".") == 0 || strcmp(entry.cFileName, "..") == 0)
            continue;
        PlatformServices::wsprintfA(full, "%s\\%s", folder, entry.cFileName);
        CopyUpperCase(entry.cFileName, upper);
        if (Matches(entry, upper, rules) && !DeleteEntry(entry, full))
            failed = true;
    } while (PlatformServices::FindNextFileA(search, &entry));
    PlatformServices::FindClose(search);
    return !failed;
}

bool ShellDeletePath(LPCSTR pathList)
{
    SHFILEOPSTRUCTA operation;
    memset(&operation, 0, sizeof operation);
    operation.wFunc = FO_DELETE;
    operation.pFrom = pathList;
    operation.fFlags = FOF_NOCONFIRMATION | FOF_ALLOWUNDO;
    return PlatformServices::SHFileOperationA(&operation) == 0;
}
