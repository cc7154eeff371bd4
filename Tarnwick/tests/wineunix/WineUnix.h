// What a Windows program under Wine needs of the Unix side beneath it: the Unix path of a Windows
// path and back, Unix shell commands run to completion, and Unix symbolic links, which Wine's own
// calls cannot make.
//
// Every wait is bounded, so that a hang becomes a failure the caller can report.
#pragma once

#include <windows.h>

#include <string>

namespace wine_unix {

// text in code page codePage (CP_ACP, CP_UTF8) as UTF-16, and back.
std::wstring Widen(const std::string& text, UINT codePage);
std::string Narrow(const std::wstring& text, UINT codePage);

// How long a wait lasts unless the caller says otherwise.
const DWORD kTimeoutMs = 10000;

// Polls condition until it holds or timeout milliseconds have passed; returns its last answer.
template <typename Condition>
bool WaitFor(Condition condition, DWORD timeout = kTimeoutMs)
{
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start >= timeout)
            return condition();
        Sleep(10);
    }
    return true;
}

// The Unix path (UTF-8) of a Windows path whose folder exists (the last component need not), or
// "" when Wine cannot map it or the program does not run under Wine.
std::string UnixPath(const std::wstring& windowsPath);
// The Windows path of a Unix path, or "".
std::wstring WindowsPath(const std::string& unixPath);

// text as one single-quoted word of a shell script.
std::string ShellQuoted(const std::string& text);

// Runs script (UTF-8, without double quotes) with /bin/sh and returns its exit status, or -1 when
// it could not be started or did not finish within kTimeoutMs.
int RunUnixShell(const std::string& script);

// Makes a Unix symbolic link at link pointing at target, both Windows paths whose folders exist.
// Returns false when that failed.
bool MakeUnixLink(const std::wstring& link, const std::wstring& target);

}  // namespace wine_unix
