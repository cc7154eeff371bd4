// The list of deletions at the next start: read whole, looked up, added to once.
#include "PendingDeletions.h"

#include "WideText.h"

namespace {

const WCHAR kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const WCHAR kPendingOperations[] = L"PendingFileRenameOperations";
// The list may grow between asking for its size and reading it.
const int kReadAttempts = 3;

// path without its prefix: "\\?\" of a final path, "\??\" of the list's.
LPCWSTR WithoutPrefix(LPCWSTR path)
{
    if (TextStartsWith(path, L"\\\\?\\") || TextStartsWith(path, L"\\??\\"))
        return path + 4;
    return path;
}

}  // namespace

void PendingDeletions::Read()
{
    UniqueKey manager;
    if (PlatformServices::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE,
                                        manager.Put()) != ERROR_SUCCESS)
        return;
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        DWORD type = REG_NONE;
        DWORD size = 0;
        if (PlatformServices::RegQueryValueExW(manager.Get(), kPendingOperations, NULL, &type,
                                               NULL, &size) != ERROR_SUCCESS ||
            type != REG_MULTI_SZ)
            return;
        // Zeroed, with room for the list's last two terminators whatever Windows wrote.
        m_list.Reset(PlatformServices::LocalAlloc(LMEM_ZEROINIT, size + 3 * sizeof(WCHAR)));
        if (!m_list.IsValid())
            return;
        const LONG error = PlatformServices::RegQueryValueExW(
            manager.Get(), kPendingOperations, NULL, &type, static_cast<LPBYTE>(m_list.Get()),
            &size);
        if (error == ERROR_SUCCESS && type == REG_MULTI_SZ)
            return;
        m_list.Reset();
        if (error != ERROR_MORE_DATA)
            return;
    }
}

bool PendingDeletions::Holds(LPCWSTR path) const
{
    if (!m_list.IsValid())
        return false;
    // Each operation is a source and a target; a deletion's target is empty.
    for (LPCWSTR source = static_cast<LPCWSTR>(m_list.Get()); *source != L'\0';) {
        const LPCWSTR target = source + TextLength(source) + 1;
        if (*target == L'\0' && TextEqualIgnoringCase(WithoutPrefix(source), WithoutPrefix(path)))
            return true;
        if (*target == L'\0' && target[1] == L'\0')
            return false;
        source = target + TextLength(target) + 1;
    }
    return false;
}

bool PendingDeletions::Schedule(LPCWSTR path)
{
    return Holds(path) || PlatformServices::MoveFileExW(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
}
