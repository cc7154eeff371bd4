#include "FolderSweep.h"

#include <string.h>

#include "../platform/UniqueHandles.h"
#include "WideText.h"

namespace {

// The longest folder path for which every entry's full path, with the shell list's second NUL,
// still fits in a sweep buffer: folder, backslash, the longest file name, two NULs.
const size_t kMaxFolderLength = kSweepBufferSize - 1 - (MAX_PATH - 1) - 2;

// A final path is the path it resolves to behind a "\\?\" or "\\?\UNC\" prefix.
const DWORD kFinalPathSize = kSweepBufferSize + 8;

WCHAR UpperAscii(WCHAR c)
{
    return c >= L'a' && c <= L'z' ? c - L'a' + L'A' : c;
}

// Whether name, with a-z read as A-Z, starts with upper.
bool StartsWithUpper(LPCWSTR name, LPCWSTR upper)
{
    for (; *upper != L'\0'; ++name, ++upper) {
        if (UpperAscii(*name) != *upper)
            return false;
    }
    return true;
}

bool Matches(const WIN32_FIND_DATAW& entry, const SweepRules& rules)
{
    const LPCWSTR name = entry.cFileName;
    if (rules.conflictFolders && (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        for (LPCWSTR at = name; *at != L'\0'; ++at) {
            if (StartsWithUpper(at, L"CONFLIC"))
                return true;
        }
    }
    for (int i = 0; i < rules.nameCount; ++i) {
        if (StartsWithUpper(name, rules.names[i]) &&
            name[TextLength(rules.names[i])] == L'\0')
            return true;
    }
    return false;
}

// Puts into finalPath the path at which the file system really holds path, as
// "\\?\C:\...", without a trailing backslash. Returns ERROR_SUCCESS, or the error that kept it
// from being told.
DWORD GetFinalPath(LPCWSTR path, DWORD flags, WCHAR* finalPath)
{
    const UniqueFile file(PlatformServices::CreateFileW(
        path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, NULL));
    if (!file.IsValid())
        return PlatformServices::GetLastError();
    const DWORD length =
        PlatformServices::GetFinalPathNameByHandleW(file.Get(), finalPath, kFinalPathSize, 0);
    if (length == 0)
        return PlatformServices::GetLastError();
    if (length >= kFinalPathSize)
        return ERROR_INSUFFICIENT_BUFFER;
    if (finalPath[length - 1] == L'\\')
        finalPath[length - 1] = L'\0';
    return ERROR_SUCCESS;
}

// Whether the entry name of the folder, opened as itself (a link as the link), is an item of the
// folder. Some file systems list a link to a file as a plain file and follow every link whatever
// the caller asks; such an entry resolves outside the folder and must not be touched, or its
// deletion would reach whatever it points to.
bool IsItemOfFolder(LPCWSTR folderFinal, LPCWSTR full, LPCWSTR name)
{
    WCHAR entryFinal[kFinalPathSize];
    if (GetFinalPath(full, FILE_FLAG_OPEN_REPARSE_POINT, entryFinal) != ERROR_SUCCESS)
        return false;
    const size_t length = TextLength(folderFinal);
    return memcmp(entryFinal, folderFinal, length * sizeof(WCHAR)) == 0 &&
           entryFinal[length] == L'\\' && TextEqual(entryFinal + length + 1, name);
}

// Deletes one matching entry. A link (junction, symbolic link) is removed itself: the shell would
// follow it and delete what it points to, outside the swept folder.
bool DeleteEntry(const WIN32_FIND_DATAW& entry, WCHAR* full)
{
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            return PlatformServices::RemoveDirectoryW(full) != FALSE;
        return PlatformServices::DeleteFileW(full) != FALSE;
    }
    full[TextLength(full) + 1] = L'\0';
    return ShellDeletePath(full);
}

// Whether the entry at path is gone. The shell may report success and leave an entry whose name
// it cannot handle; an entry whose presence cannot be told counts as present.
bool IsGone(LPCWSTR path)
{
    if (PlatformServices::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES)
        return false;
    const DWORD error = PlatformServices::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace

bool SweepFolder(LPCWSTR folder, const SweepRules& rules)
{
    if (TextLength(folder) > kMaxFolderLength)
        return false;

    WCHAR pattern[kSweepBufferSize] = L"";
    AppendText(pattern, folder);
    AppendText(pattern, L"\\*.*");

    WIN32_FIND_DATAW entry;
    const UniqueFind search(PlatformServices::FindFirstFileW(pattern, &entry));
    if (!search.IsValid())
        return false;

    // Where the folder really is, to check each entry against before it is deleted. Windows before
    // Vista cannot tell where a file really is; there entries go unchecked, and the listing's
    // reparse-point attribute is the only sign of a link.
    WCHAR folderFinal[kFinalPathSize];
    const DWORD folderError = GetFinalPath(folder, 0, folderFinal);
    const bool checkEntries = folderError != ERROR_CALL_NOT_IMPLEMENTED;

    bool failed = false;
    do {
        if (TextEqual(entry.cFileName, L".") || TextEqual(entry.cFileName, L".."))
            continue;
        if (!Matches(entry, rules))
            continue;
        // The full path, with room for the shell list's second NUL.
        WCHAR full[kSweepBufferSize] = L"";
        AppendText(full, folder);
        AppendText(full, L"\\");
        AppendText(full, entry.cFileName);
        // An entry that cannot be shown to be the folder's own item is left in place.
        if (checkEntries && (folderError != ERROR_SUCCESS ||
                             !IsItemOfFolder(folderFinal, full, entry.cFileName))) {
            failed = true;
            continue;
        }
        if (!DeleteEntry(entry, full) || !IsGone(full))
            failed = true;
    } while (PlatformServices::FindNextFileW(search.Get(), &entry));
    return !failed;
}

bool ShellDeletePath(LPCWSTR pathList)
{
    SHFILEOPSTRUCTW operation;
    memset(&operation, 0, sizeof operation);
    operation.wFunc = FO_DELETE;
    operation.pFrom = pathList;
    operation.fFlags = FOF_NOCONFIRMATION | FOF_ALLOWUNDO;
    return PlatformServices::SHFileOperationW(&operation) == 0;
}
