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
// folder; where that cannot be told, error receives why. Some file systems list a link to a file
// as a plain file and follow every link whatever the caller asks; such an entry resolves outside
// the folder and must not be touched, or its deletion would reach whatever it points to.
bool IsItemOfFolder(LPCWSTR folderFinal, LPCWSTR full, LPCWSTR name, DWORD* error)
{
    WCHAR entryFinal[kFinalPathSize];
    *error = GetFinalPath(full, FILE_FLAG_OPEN_REPARSE_POINT, entryFinal);
    if (*error != ERROR_SUCCESS)
        return false;
    const size_t length = TextLength(folderFinal);
    return memcmp(entryFinal, folderFinal, length * sizeof(WCHAR)) == 0 &&
           entryFinal[length] == L'\\' && TextEqual(entryFinal + length + 1, name);
}

// Deletes one matching entry and returns the code of the call that did it: 0 for success. A link
// (junction, symbolic link) is removed itself: the shell would follow it and delete what it points
// to, outside the swept folder.
DWORD DeleteEntry(const WIN32_FIND_DATAW& entry, WCHAR* full, RemovalMode mode)
{
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        const bool directory = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        const BOOL removed = directory ? PlatformServices::RemoveDirectoryW(full)
                                       : PlatformServices::DeleteFileW(full);
        return removed ? ERROR_SUCCESS : PlatformServices::GetLastError();
    }
    full[TextLength(full) + 1] = L'\0';
    return ShellDeletePath(full, mode);
}

// Whether the entry at path is gone; where it is not, error receives why (0: it is there). The
// shell may report success and leave an entry whose name it cannot handle; an entry whose presence
// cannot be told counts as present.
bool IsGone(LPCWSTR path, DWORD* error)
{
    *error = ERROR_SUCCESS;
    if (PlatformServices::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES)
        return false;
    const DWORD lookupError = PlatformServices::GetLastError();
    if (lookupError == ERROR_FILE_NOT_FOUND || lookupError == ERROR_PATH_NOT_FOUND)
        return true;
    *error = lookupError;
    return false;
}

// Removes one entry that the rules select, unless it cannot be shown to be the folder's own
// item, and returns what became of it.
ItemFate RemoveEntry(const WIN32_FIND_DATAW& entry, WCHAR* full, const WCHAR* folderFinal,
                     DWORD folderError, RemovalMode mode, DWORD* code)
{
    // Windows before Vista cannot tell where an entry really is: there entries go unchecked, and
    // the listing's reparse-point attribute is the only sign of a link.
    if (folderError != ERROR_CALL_NOT_IMPLEMENTED) {
        *code = folderError;
        if (folderError != ERROR_SUCCESS)
            return kItemNotOwn;
        if (!IsItemOfFolder(folderFinal, full, entry.cFileName, code))
            return kItemNotOwn;
    }
    *code = DeleteEntry(entry, full, mode);
    if (*code != ERROR_SUCCESS)
        return kItemFailed;
    return IsGone(full, code) ? kItemRemoved : kItemFailed;
}

}  // namespace

SweepVerdict SweepFolder(LPCWSTR folder, LPCWSTR shownAs, const SweepRules& rules,
                         RemovalMode mode, RemovalObserver* observer)
{
    if (TextLength(folder) > kMaxFolderLength || TextLength(shownAs) > kMaxFolderLength) {
        ReportItem(observer, shownAs, kItemFailed, ERROR_FILENAME_EXCED_RANGE);
        return kFolderUnlisted;
    }

    WCHAR pattern[kSweepBufferSize] = L"";
    AppendText(pattern, folder);
    AppendText(pattern, L"\\*.*");

    WIN32_FIND_DATAW entry;
    const UniqueFind search(PlatformServices::FindFirstFileW(pattern, &entry));
    if (!search.IsValid()) {
        const DWORD error = PlatformServices::GetLastError();
        const bool absent = error == ERROR_PATH_NOT_FOUND || error == ERROR_FILE_NOT_FOUND;
        ReportItem(observer, shownAs, absent ? kItemAbsent : kItemFailed, error);
        return absent ? kFolderAbsent : kFolderUnlisted;
    }

    // Where the folder really is, to check each entry against before it is deleted.
    WCHAR folderFinal[kFinalPathSize];
    const DWORD folderError = mode == kCheckOnly ? ERROR_SUCCESS
                                                 : GetFinalPath(folder, 0, folderFinal);

    bool entriesStay = false;
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
        DWORD code = ERROR_SUCCESS;
        ItemFate fate = kItemPresent;
        if (mode != kCheckOnly)
            fate = RemoveEntry(entry, full, folderFinal, folderError, mode, &code);
        if (fate != kItemRemoved)
            entriesStay = true;
        WCHAR shown[kSweepBufferSize] = L"";
        AppendText(shown, shownAs);
        AppendText(shown, L"\\");
        AppendText(shown, entry.cFileName);
        ReportItem(observer, shown, fate, code);
    } while (PlatformServices::FindNextFileW(search.Get(), &entry));
    return entriesStay ? kEntriesStay : kFolderSwept;
}

int ShellDeletePath(LPCWSTR pathList, RemovalMode mode)
{
    SHFILEOPSTRUCTW operation;
    memset(&operation, 0, sizeof operation);
    operation.wFunc = FO_DELETE;
    operation.pFrom = pathList;
    operation.fFlags = FOF_NOCONFIRMATION | FOF_ALLOWUNDO;
    if (mode == kRemoveQuietly)
        operation.fFlags |= FOF_SILENT | FOF_NOERRORUI;
    return PlatformServices::SHFileOperationW(&operation);
}
