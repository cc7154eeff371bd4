#include "RunLog.h"

#include <lmcons.h>
#include <wchar.h>
#include <winternl.h>

#include "FolderSweep.h"
#include "WideText.h"
#include "version.h"

// The file system's comparison of names: ordinal, ignoring case. Exported by ntdll since Windows
// NT; its headers here do not declare it.
extern "C" BOOLEAN NTAPI RtlEqualUnicodeString(PCUNICODE_STRING left, PCUNICODE_STRING right,
                                               BOOLEAN ignoreCase);

namespace {

// The longest line: an item with the longest name the removal reports, a value of an installer's
// record, whose name is a path as long as a sweep builds, below a key.
const int kLineCapacity = 2 * kSweepBufferSize + 64;
// The longest path of a log file that is checked.
const DWORD kPathCapacity = 1024;

const WCHAR kVersion[] = L"" TARNWICK_VERSION_TEXT;
// By ItemFate. Held in place, not as pointers: a pointer costs the program a relocation.
const WCHAR kFates[][11] = {L"removed", L"absent",     L"present",  L"link",
                            L"failed",  L"pending",    L"unreadable", L"unloaded",
                            L"blocked", L"kept",       L"open"};

LPCWSTR Outcome(int exitCode)
{
    switch (exitCode) {
    case 0:
        return L"clean";
    case 1:
        return L"traces-stay";
    case 2:
        return L"class-key-stays";
    case ERROR_INSTALL_ALREADY_RUNNING:
        return L"busy";
    case ERROR_SUCCESS_REBOOT_REQUIRED:
        return L"restart-pending";
    }
    return L"unknown";
}

// path without its "\\?\" prefix, "\\?\UNC\" read as "\\"; changes path for the latter.
LPWSTR WithoutLongPrefix(LPWSTR path)
{
    if (::wcsncmp(path, L"\\\\?\\UNC\\", 8) == 0) {
        path[6] = L'\\';
        return path + 6;
    }
    if (::wcsncmp(path, L"\\\\?\\", 4) == 0)
        return path + 4;
    return path;
}

bool SamePath(LPWSTR left, LPWSTR right)
{
    UNICODE_STRING leftString;
    UNICODE_STRING rightString;
    ::RtlInitUnicodeString(&leftString, WithoutLongPrefix(left));
    ::RtlInitUnicodeString(&rightString, WithoutLongPrefix(right));
    return ::RtlEqualUnicodeString(&leftString, &rightString, TRUE);
}

// Whether a folder on the way to path is a link (a junction, a symbolic link): what Windows
// before Vista can tell.
bool LinkOnTheWay(LPWSTR path)
{
    for (LPWSTR at = path; *at != L'\0'; ++at) {
        if (*at != L'\\')
            continue;
        *at = L'\0';
        const DWORD attributes = ::GetFileAttributesW(path);
        *at = L'\\';
        if (attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
            return true;
    }
    return false;
}

// Whether the open file is a file on disk of one name, reached at path through no link: the final
// path that Windows tells for it is the long form of the path given. A SUBST or mapped drive gives
// another final path too.
bool IsFileAt(HANDLE file, LPCWSTR path)
{
    BY_HANDLE_FILE_INFORMATION information;
    if (::GetFileType(file) != FILE_TYPE_DISK || !::GetFileInformationByHandle(file, &information))
        return false;
    // A symbolic link or junction, opened as itself, or one of several names of a file.
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
        information.nNumberOfLinks != 1)
        return false;
    WCHAR full[kPathCapacity];
    WCHAR given[kPathCapacity];
    WCHAR final[kPathCapacity];
    const DWORD fullLength = ::GetFullPathNameW(path, kPathCapacity, full, NULL);
    const DWORD givenLength = ::GetLongPathNameW(full, given, kPathCapacity);
    if (fullLength == 0 || fullLength >= kPathCapacity || givenLength == 0 ||
        givenLength >= kPathCapacity)
        return false;
    const DWORD finalLength =
        PlatformServices::GetFinalPathNameByHandleW(file, final, kPathCapacity, 0);
    if (finalLength == 0 && ::GetLastError() == ERROR_CALL_NOT_IMPLEMENTED)
        return !LinkOnTheWay(given);
    return finalLength != 0 && finalLength < kPathCapacity && SamePath(given, final);
}

// Deletes the open file through its handle, never through a name that a link could lead away.
void DeleteOpenFile(HANDLE file)
{
    FILE_DISPOSITION_INFORMATION disposition = {TRUE};
    IO_STATUS_BLOCK status;
    ::NtSetInformationFile(file, &status, &disposition, sizeof disposition,
                           FileDispositionInformation);
}

}  // namespace

bool CRunLog::Open(LPCWSTR path)
{
    const DWORD access = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES;
    // Two runs on one log never refuse each other: the run that creates it holds it open for
    // deletion until it has checked it.
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    // A link is opened as itself. A pipe's server learns no identity to act with.
    const DWORD flags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT |
                        SECURITY_SQOS_PRESENT | SECURITY_ANONYMOUS;
    m_file.Reset(::CreateFileW(path, access | DELETE, share, NULL, CREATE_NEW, flags, NULL));
    const bool created = m_file.IsValid();
    if (!created && ::GetLastError() == ERROR_FILE_EXISTS)
        m_file.Reset(::CreateFileW(path, access, share, NULL, OPEN_EXISTING, flags, NULL));
    if (!m_file.IsValid())
        return false;
    if (IsFileAt(m_file.Get(), path))
        return true;
    if (created)
        DeleteOpenFile(m_file.Get());
    m_file.Reset();
    return false;
}

void CRunLog::WriteStart(RemovalMode mode, RemovalScope scope, bool block, int profiles)
{
    m_mode = mode;
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    ::GetComputerNameW(m_computer, &size);
    WCHAR user[UNLEN + 1] = L"";
    size = UNLEN + 1;
    ::GetUserNameW(user, &size);

    WCHAR text[kLineCapacity];
    ::wsprintfW(text,
                L"start version=%s mode=%s computer=%s user=%s scope=%s block=%s profiles=%d",
                kVersion, ModeName(), m_computer, user,
                scope == kAllProfiles ? L"all-profiles" : L"this-user", block ? L"yes" : L"no",
                profiles);
    WriteEvent(text);
}

void CRunLog::OnItem(LPCWSTR item, ItemFate fate, DWORD code)
{
    if (fate != kItemUnloaded)
        ++m_counts[fate];
    // An absent key is counted, not listed: a run over many profiles would write thousands.
    if (fate == kItemAbsent && TextStartsWith(item, L"HKEY_"))
        return;
    WCHAR line[kLineCapacity];
    ::wsprintfW(line, L"%s %lu ", kFates[fate], code);
    AppendText(line, item);
    WriteLine(line);
}

void CRunLog::OnProfile(LPCWSTR sid, LPCWSTR folderName)
{
    WCHAR line[kLineCapacity];
    ::wsprintfW(line, L"profile %s ", sid);
    AppendText(line, folderName);
    WriteLine(line);
}

void CRunLog::OnWaiting()
{
    WriteEvent(L"waiting");
}

void CRunLog::WriteBusy(DWORD waitedSeconds)
{
    WCHAR text[kLineCapacity];
    ::wsprintfW(text, L"busy waited=%lu", waitedSeconds);
    WriteEvent(text);
}

void CRunLog::WriteEnd(int exitCode)
{
    WCHAR text[kLineCapacity];
    ::wsprintfW(text,
                L"end mode=%s computer=%s outcome=%s exit=%d removed=%d pending=%d failed=%d "
                L"absent=%d present=%d link=%d unreadable=%d blocked=%d kept=%d open=%d",
                ModeName(), m_computer, Outcome(exitCode), exitCode, m_counts[kItemRemoved],
                m_counts[kItemPending], m_counts[kItemFailed], m_counts[kItemAbsent],
                m_counts[kItemPresent], m_counts[kItemNotOwn], m_counts[kItemUnreadable],
                m_counts[kItemBlocked], m_counts[kItemKept], m_counts[kItemOpen]);
    WriteEvent(text);
}

void CRunLog::WriteEvent(LPCWSTR text)
{
    SYSTEMTIME now;
    ::GetSystemTime(&now);
    WCHAR line[kLineCapacity];
    ::wsprintfW(line, L"%04u-%02u-%02uT%02u:%02u:%02uZ %s pid=%lu", now.wYear, now.wMonth,
                now.wDay, now.wHour, now.wMinute, now.wSecond, text, ::GetCurrentProcessId());
    WriteLine(line);
}

// One line, in one write: appending writes of runs that share the file do not mix.
void CRunLog::WriteLine(LPCWSTR line)
{
    if (!m_file.IsValid())
        return;
    char text[3 * kLineCapacity + 2];  // a UTF-16 unit takes at most three bytes in UTF-8
    int length = ::WideCharToMultiByte(CP_UTF8, 0, line, TextLength(line), text,
                                       3 * kLineCapacity, NULL, NULL);
    text[length++] = '\r';
    text[length++] = '\n';
    DWORD written;
    ::WriteFile(m_file.Get(), text, length, &written, NULL);
}
