#include "FolderSweep.h"

#include <string.h>

#include "../platform/PlatformServices.h"

namespace {

// The longest folder path for which every entry's full path, with the shell list's second NUL,
// still fits in a sweep buffer: folder, backslash, the longest file name, two NULs.
const size_t kMaxFolderLength = kSweepBufferSize - 1 - (MAX_PATH - 1) - 2;

// A final path is the path it resolves to behind a "\\?\" or "\\?\UNC\" prefix.
const DWORD kFinalPathSize = kSweepBufferSize + 8;

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

// Puts into finalPath the path at which the file system really holds path, as
// "\\?\C:\...", without a trailing backslash. Returns ERROR_SUCCESS, or the error that kept it
// from being told.
DWORD GetFinalPath(LPCSTR path, DWORD flags, char* finalPath)
{
    HANDLE file = PlatformServices::CreateFileA(
        path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return PlatformServices::GetLastError();
    const DWORD length =
        PlatformServices::GetFinalPathNameByHandleA(file, finalPath, kFinalPathSize, 0);
    const DWORD error = length == 0                ? PlatformServices::GetLastError()
                        : length >= kFinalPathSize ? ERROR_INSUFFICIENT_BUFFER
                                                   : ERROR_SUCCESS;
    PlatformServices::CloseHandle(file);
    if (error == ERROR_SUCCESS && finalPath[length - 1] == '\\')
        finalPath[length - 1] = '\0';
    return error;
}

// Whether the entry name of the folder, opened as itself (a link as the link), is an item of the
// folder. Some file systems list a link to a file as a plain file and follow every link whatever
// the caller asks; such an entry resolves outside the folder and must not be touched, or its
// deletion would reach whatever it points to.
bool IsItemOfFolder(const char* folderFinal, const char* full, const char* name)
{
    char entryFinal[kFinalPathSize];
    if (GetFinalPath(full, FILE_FLAG_OPEN_REPARSE_POINT, entryFinal) != ERROR_SUCCESS)
        return false;
    const size_t length = strlen(folderFinal);
    return strncmp(entryFinal, folderFinal, length) == 0 && entryFinal[length] == '\\' &&
           strcmp(entryFinal + length + 1, name) == 0;
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

// Whether the entry at path is gone. The shell may report success and leave an entry whose name
// it cannot handle; an entry whose presence cannot be told counts as present.
bool IsGone(LPCSTR path)
{
    if (PlatformServices::GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
        return false;
    const DWORD error = PlatformServices::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
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

    // Where the folder really is, to check each entry against before it is deleted. Windows before
    // Vista cannot tell where a file really is; there entries go unchecked, and the listing's
    // reparse-point attribute is the only sign of a link.
    char folderFinal[kFinalPathSize];
    const DWORD folderError = GetFinalPath(folder, 0, folderFinal);
    const bool checkEntries = folderError != ERROR_CALL_NOT_IMPLEMENTED;

    bool failed = false;
    char full[kSweepBufferSize];
    char upper[kSweepBufferSize];
    do {
        if (strcmp(entry.cFileName, ".") == 0 || strcmp(entry.cFileName, "..") == 0)
            continue;
        PlatformServices::wsprintfA(full, "%s\\%s", folder, entry.cFileName);
        CopyUpperCase(entry.cFileName, upper);
        if (!Matches(entry, upper, rules))
            continue;
        // An entry that cannot be shown to be the folder's own item is left in place.
        if (checkEntries && (folderError != ERROR_SUCCESS ||
                             !IsItemOfFolder(folderFinal, full, entry.cFileName))) {
            failed = true;
            continue;
        }
        if (!DeleteEntry(entry, full) || !IsGone(full))
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
