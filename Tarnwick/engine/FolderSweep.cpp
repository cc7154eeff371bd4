// The folder sweep: which entries of a folder are the controls', and how each goes or stays.
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

// Opens the entry at path as itself (a link as the link), with access.
HANDLE OpenAsItself(LPCWSTR path, DWORD access)
{
    return PlatformServices::CreateFileW(
        path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, NULL);
}

// Puts into finalPath the path at which the file system really holds the open file, as
// "\\?\C:\...", without a trailing backslash. Returns ERROR_SUCCESS, or the error that kept it
// from being told.
DWORD GetFinalPath(HANDLE file, WCHAR* finalPath)
{
    const DWORD length =
        PlatformServices::GetFinalPathNameByHandleW(file, finalPath, kFinalPathSize, 0);
    if (length == 0)
        return PlatformServices::GetLastError();
    if (length >= kFinalPathSize)
        return ERROR_INSUFFICIENT_BUFFER;
    if (finalPath[length - 1] == L'\\')
        finalPath[length - 1] = L'\0';
    return ERROR_SUCCESS;
}

// The same for the entry at path, opened with flags.
DWORD GetFinalPath(LPCWSTR path, DWORD flags, WCHAR* finalPath)
{
    const UniqueFile file(PlatformServices::CreateFileW(
        path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, NULL));
    if (!file.IsValid())
        return PlatformServices::GetLastError();
    return GetFinalPath(file.Get(), finalPath);
}

// Whether the open entry name is an item of the folder whose final path is folderFinal; where
// that cannot be told, error receives why. Some file systems list a link to a file as a plain
// file and follow every link whatever the caller asks; such an entry resolves outside the folder
// and must not be touched, or its deletion would reach whatever it points to.
bool IsItemOfFolder(LPCWSTR folderFinal, HANDLE entry, LPCWSTR name, DWORD* error)
{
    WCHAR entryFinal[kFinalPathSize];
    *error = GetFinalPath(entry, entryFinal);
    if (*error != ERROR_SUCCESS)
        return false;
    const size_t length = TextLength(folderFinal);
    return memcmp(entryFinal, folderFinal, length * sizeof(WCHAR)) == 0 &&
           entryFinal[length] == L'\\' && TextEqual(entryFinal + length + 1, name);
}

// The same for the entry at full, opened as itself.
bool IsItemOfFolder(LPCWSTR folderFinal, LPCWSTR full, LPCWSTR name, DWORD* error)
{
    const UniqueFile entry(OpenAsItself(full, FILE_READ_ATTRIBUTES));
    if (!entry.IsValid()) {
        *error = PlatformServices::GetLastError();
        return false;
    }
    return IsItemOfFolder(folderFinal, entry.Get(), name, error);
}

// Clears the read-only attribute of the entry at path through a handle on the entry itself,
// where Windows shows that handle is its folder's own item: by name, a file system that follows
// every link would change the link's target. Windows before Vista cannot show it; there the
// handle, opened as itself, is the entry. Returns whether it did.
bool ClearReadOnly(WCHAR* path)
{
    const UniqueFile entry(OpenAsItself(path, FILE_WRITE_ATTRIBUTES));
    if (!entry.IsValid())
        return false;
    WCHAR* const last = LastBackslash(path);
    WCHAR folderFinal[kFinalPathSize];
    *last = L'\0';
    const DWORD folderError = GetFinalPath(path, 0, folderFinal);
    *last = L'\\';
    DWORD error;
    const bool own = folderError == ERROR_SUCCESS &&
                     IsItemOfFolder(folderFinal, entry.Get(), last + 1, &error);
    if (folderError != ERROR_CALL_NOT_IMPLEMENTED && !own)
        return false;
    FILE_BASIC_INFORMATION basic = {};  // times of zero stay as they are
    basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    IO_STATUS_BLOCK status;
    return NT_SUCCESS(PlatformServices::NtSetInformationFile(entry.Get(), &status, &basic,
                                                             sizeof basic, FileBasicInformation));
}

ItemFate DeleteTree(WCHAR* path, bool directory, bool link, int depth, PendingDeletions* pending,
                    DWORD* code);

// Deletes everything in the folder at path, depth first; see DeleteTree.
ItemFate EmptyFolder(WCHAR* path, int depth, PendingDeletions* pending, DWORD* code)
{
    WCHAR folderFinal[kFinalPathSize];
    const DWORD folderError = GetFinalPath(path, 0, folderFinal);
    const size_t length = TextLength(path);
    WIN32_FIND_DATAW entry;
    AppendText(path, kSweepBufferSize, L"\\*.*");
    const UniqueFind search(PlatformServices::FindFirstFileW(path, &entry));
    path[length] = L'\0';
    if (!search.IsValid()) {
        *code = PlatformServices::GetLastError();
        return kItemFailed;
    }
    ItemFate fate = kItemRemoved;
    do {
        const LPCWSTR name = entry.cFileName;
        if (TextEqual(name, L".") || TextEqual(name, L".."))
            continue;
        path[length] = L'\0';
        if (!AppendText(path, kSweepBufferSize, L"\\") ||
            !AppendText(path, kSweepBufferSize, name)) {
            *code = ERROR_FILENAME_EXCED_RANGE;
            fate = kItemFailed;
            continue;
        }
        // An entry that resolves outside the folder even when opened as itself stays: the file
        // system follows its link whatever is asked, and would delete what it points to.
        DWORD error = folderError;
        if (folderError != ERROR_CALL_NOT_IMPLEMENTED &&
            (folderError != ERROR_SUCCESS || !IsItemOfFolder(folderFinal, path, name, &error))) {
            *code = error;
            fate = Weightier(fate, kItemNotOwn);
            continue;
        }
        const bool link = (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        const bool directory = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        fate = Weightier(fate, DeleteTree(path, directory, link, depth + 1, pending, code));
    } while (PlatformServices::FindNextFileW(search.Get(), &entry));
    path[length] = L'\0';
    // A listing cut short leaves entries that no one has looked at.
    const DWORD listingError = PlatformServices::GetLastError();
    if (listingError != ERROR_NO_MORE_FILES) {
        *code = listingError;
        return kItemFailed;
    }
    return fate;
}

// Whether an entry whose deletion is refused with error goes at the next start instead, given
// the fate of its contents (a folder's):
//   a link                                     never: the deletion at the next start works by
//                                              name, and is not trusted to take a link as itself;
//   a folder holding what goes at that start   yes, after it (its error: not empty);
//   a file held open or locked (32, 33)        yes;
//   a file still refused (5) once it is not read-only: a module a running program has loaded;
//                                              yes;
//   anything else, a folder refused            no: it stays.
bool GoesAtNextStart(DWORD error, bool directory, bool link, ItemFate contents)
{
    if (link)
        return false;
    if (contents == kItemPending)
        return true;
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
           (error == ERROR_ACCESS_DENIED && !directory);
}

// Deletes the entry at path (a buffer of kSweepBufferSize) without the shell, which would follow a
// link inside a folder, and which recycles where the tool must delete: a folder is emptied depth
// first, and takes the weightiest fate of its entries (Weightier). A link (a reparse point) is
// removed as a link and never entered; an entry whose final path lies outside its folder stays. A
// read-only entry has its attribute cleared and is deleted again. Given pending, what
// GoesAtNextStart is scheduled. Returns the entry's fate, the code of a failure in code.
ItemFate DeleteTree(WCHAR* path, bool directory, bool link, int depth, PendingDeletions* pending,
                    DWORD* code)
{
    ItemFate contents = kItemRemoved;
    if (directory && !link) {
        if (depth >= kMaxDepth) {
            *code = ERROR_FILENAME_EXCED_RANGE;
            return kItemFailed;
        }
        contents = EmptyFolder(path, depth, pending, code);
        if (contents == kItemFailed || contents == kItemNotOwn)
            return contents;
    }
    for (bool cleared = false;; cleared = true) {
        const BOOL deleted = directory ? PlatformServices::RemoveDirectoryW(path)
                                       : PlatformServices::DeleteFileW(path);
        if (deleted)
            return kItemRemoved;
        *code = PlatformServices::GetLastError();
        if (cleared || link || *code != ERROR_ACCESS_DENIED || !ClearReadOnly(path))
            break;
    }
    if (pending == NULL || !GoesAtNextStart(*code, directory, link, contents))
        return kItemFailed;
    // Scheduled under its final path, as 64-bit Windows names it: the Session Manager reads
    // system32 as the 64-bit folder, whatever program wrote it.
    WCHAR final[kFinalPathSize];
    const DWORD finalError = GetFinalPath(path, FILE_FLAG_OPEN_REPARSE_POINT, final);
    if ((finalError == ERROR_SUCCESS && pending->Schedule(final)) ||
        (finalError == ERROR_CALL_NOT_IMPLEMENTED && pending->Schedule(path)))
        return kItemPending;
    return kItemFailed;
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
// item, and returns what became of it. The dialog deletes through the shell, to the Recycle Bin;
// an unattended run deletes itself. A link is removed as itself either way: the shell would follow
// it and delete what it points to, outside the swept folder.
ItemFate RemoveEntry(const WIN32_FIND_DATAW& entry, WCHAR* full, const WCHAR* folderFinal,
                     DWORD folderError, const SweepWork& work, DWORD* code)
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
    *code = ERROR_SUCCESS;
    const bool directory = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const bool link = (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    ItemFate fate;
    if (work.mode == kRemoveQuietly || link) {
        PendingDeletions* pending = work.mode == kRemoveQuietly ? work.pending : NULL;
        fate = DeleteTree(full, directory, link, 0, pending, code);
    } else {
        full[TextLength(full) + 1] = L'\0';
        *code = ShellDeletePath(full);
        fate = *code == ERROR_SUCCESS ? kItemRemoved : kItemFailed;
    }
    if (fate == kItemRemoved && !IsGone(full, code))
        return kItemFailed;
    return fate;
}

// What a check finds of an entry: a link (one the listing marks, or one that resolves outside its
// folder), one that goes at the next start, or one that is there.
ItemFate LookAtEntry(const WIN32_FIND_DATAW& entry, LPCWSTR full, const WCHAR* folderFinal,
                     DWORD folderError, const PendingDeletions* pending)
{
    DWORD error;
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
        (folderError != ERROR_CALL_NOT_IMPLEMENTED &&
         (folderError != ERROR_SUCCESS ||
          !IsItemOfFolder(folderFinal, full, entry.cFileName, &error))))
        return kItemNotOwn;
    WCHAR final[kFinalPathSize];
    const DWORD finalError = GetFinalPath(full, FILE_FLAG_OPEN_REPARSE_POINT, final);
    const LPCWSTR path = finalError == ERROR_SUCCESS ? final : full;
    return pending != NULL && pending->Holds(path) ? kItemPending : kItemPresent;
}

}  // namespace

bool MatchesRules(LPCWSTR name, bool directory, const SweepRules& rules)
{
    if (rules.conflictFolders && directory) {
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

SweepVerdict SweepFolder(LPCWSTR folder, LPCWSTR shownAs, const SweepRules& rules,
                         const SweepWork& work)
{
    RemovalObserver* const observer = work.observer;
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

    // Where the folder really is, to check each entry against.
    WCHAR folderFinal[kFinalPathSize];
    const DWORD folderError = GetFinalPath(folder, 0, folderFinal);

    bool entriesStay = false;
    bool entriesPending = false;
    do {
        if (TextEqual(entry.cFileName, L".") || TextEqual(entry.cFileName, L".."))
            continue;
        const bool directory = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (!MatchesRules(entry.cFileName, directory, rules))
            continue;
        // The full path, with room for the shell list's second NUL.
        WCHAR full[kSweepBufferSize] = L"";
        AppendText(full, folder);
        AppendText(full, L"\\");
        AppendText(full, entry.cFileName);
        DWORD code = ERROR_SUCCESS;
        ItemFate fate;
        if (work.mode == kCheckOnly)
            fate = LookAtEntry(entry, full, folderFinal, folderError, work.pending);
        else
            fate = RemoveEntry(entry, full, folderFinal, folderError, work, &code);
        entriesPending = entriesPending || fate == kItemPending;
        entriesStay = entriesStay || (fate != kItemRemoved && fate != kItemPending);
        WCHAR shown[kSweepBufferSize] = L"";
        AppendText(shown, shownAs);
        AppendText(shown, L"\\");
        AppendText(shown, entry.cFileName);
        ReportItem(observer, shown, fate, code);
    } while (PlatformServices::FindNextFileW(search.Get(), &entry));
    // A listing cut short is a folder that could not be listed.
    const DWORD listingError = PlatformServices::GetLastError();
    if (listingError != ERROR_NO_MORE_FILES) {
        ReportItem(observer, shownAs, kItemFailed, listingError);
        return kFolderUnlisted;
    }
    if (entriesStay)
        return kEntriesStay;
    return entriesPending ? kEntriesPending : kFolderSwept;
}

int ShellDeletePath(LPCWSTR pathList)
{
    SHFILEOPSTRUCTW operation;
    memset(&operation, 0, sizeof operation);
    operation.wFunc = FO_DELETE;
    operation.pFrom = pathList;
    operation.fFlags = FOF_NOCONFIRMATION | FOF_ALLOWUNDO;
    return PlatformServices::SHFileOperationW(&operation);
}
