#include "PendingDeletions.h"

#include "../platform/UniqueHandles.h"
#include "WideText.h"

namespace {

const WCHAR kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const WCHAR kPendingOperations[] = L"PendingFileRenameOperations";

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
    DWORD type = REG_NONE;
    // Room for the list's last two terminators, whatever Windows wrote.
    DWORD size = sizeof m_list - 2 * sizeof m_list[0];
    m_list[0] = L'\0';
    if (PlatformServices::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE,
                                        manager.Put()) != ERROR_SUCCESS ||
        PlatformServices::RegQueryValueExW(manager.Get(), kPendingOperations, NULL, &type,
                                           reinterpret_cast<LPBYTE>(m_list),
                                           &size) != ERROR_SUCCESS ||
        type != REG_MULTI_SZ)
        size = 0;
    m_list[size / sizeof m_list[0]] = L'\0';
    m_list[size / sizeof m_list[0] + 1] = L'\0';
}

bool PendingDeletions::Holds(LPCWSTR path) const
{
    // Each operation is a source and a target; a deletion's target is empty.
    for (LPCWSTR source = m_list; *source != L'\0';) {
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
