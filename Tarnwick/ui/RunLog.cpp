#include "RunLog.h"

#include <lmcons.h>

#include "FolderSweep.h"
#include "WideText.h"
#include "version.h"

namespace {

// The longest line: an item with the longest path that a sweep builds.
const int kLineCapacity = kSweepBufferSize + 64;

const WCHAR kVersion[] = L"" TARNWICK_VERSION_TEXT;
const LPCWSTR kFates[] = {L"removed", L"absent", L"present", L"link", L"failed"};
// By exit code.
const LPCWSTR kOutcomes[] = {L"clean", L"traces-stay", L"class-key-stays"};

// Writes the time in UTC, as ISO 8601, and a space; returns the characters written.
int FormatTime(LPWSTR text)
{
    SYSTEMTIME now;
    ::GetSystemTime(&now);
    return ::wsprintfW(text, L"%04u-%02u-%02uT%02u:%02u:%02uZ ", now.wYear, now.wMonth, now.wDay,
                       now.wHour, now.wMinute, now.wSecond);
}

LPCWSTR RootName(HKEY root)
{
    if (root == HKEY_CURRENT_USER)
        return L"HKEY_CURRENT_USER\\";
    if (root == HKEY_LOCAL_MACHINE)
        return L"HKEY_LOCAL_MACHINE\\";
    return L"";
}

}  // namespace

CRunLog::~CRunLog()
{
    if (m_hFile != INVALID_HANDLE_VALUE)
        ::CloseHandle(m_hFile);
}

bool CRunLog::Open(LPCWSTR path)
{
    // Opens a link itself, not what it points to. Runs that wait for one another may append to
    // the same file, and each appends whole lines.
    m_hFile = ::CreateFileW(path, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, NULL);
    if (m_hFile == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION file;
    if (::GetFileInformationByHandle(m_hFile, &file) &&
        (file.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 && file.nNumberOfLinks == 1)
        return true;
    ::CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
    return false;
}

void CRunLog::WriteStart(RemovalMode mode)
{
    WCHAR computer[MAX_COMPUTERNAME_LENGTH + 1] = L"";
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    ::GetComputerNameW(computer, &size);
    WCHAR user[UNLEN + 1] = L"";
    size = UNLEN + 1;
    ::GetUserNameW(user, &size);

    WCHAR line[kLineCapacity];
    const int time = FormatTime(line);
    ::wsprintfW(line + time, L"start version=%s mode=%s computer=%s user=%s", kVersion,
                mode == kCheckOnly ? L"check" : L"quiet", computer, user);
    WriteLine(line);
}

void CRunLog::OnItem(HKEY root, LPCWSTR path, ItemFate fate, DWORD code)
{
    WCHAR line[kLineCapacity];
    ::wsprintfW(line, L"%s %lu %s", kFates[fate], code, RootName(root));
    AppendText(line, path);
    WriteLine(line);
}

void CRunLog::WriteEnd(int exitCode)
{
    WCHAR line[kLineCapacity];
    const int time = FormatTime(line);
    ::wsprintfW(line + time, L"end outcome=%s exit=%d", kOutcomes[exitCode], exitCode);
    WriteLine(line);
}

// One line, in one write: appending writes of runs that share the file do not mix.
void CRunLog::WriteLine(LPCWSTR line)
{
    if (m_hFile == INVALID_HANDLE_VALUE)
        return;
    char text[3 * kLineCapacity + 2];  // a UTF-16 unit takes at most three bytes in UTF-8
    int length = ::WideCharToMultiByte(CP_UTF8, 0, line, TextLength(line), text,
                                       3 * kLineCapacity, NULL, NULL);
    text[length++] = '\r';
    text[length++] = '\n';
    DWORD written;
    ::WriteFile(m_hFile, text, length, &written, NULL);
}
