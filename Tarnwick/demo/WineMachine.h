// The Wine machine on which the demonstration and the end-to-end driver run Tarnwick.exe: keys,
// files and folders such as the controls leave, Unix commands, and Tarnwick's dialog windows.
// Paths on C: are Windows paths; the current folder must be C:\.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// What every key that AddKey makes, and every folder that AddFolder makes, holds.
extern const std::wstring kKeyContent;
extern const std::wstring kFolderContent;

// Whether condition holds within ms, asked every 20 ms.
bool WaitFor(const std::function<bool()>& condition, DWORD ms);

// Starts program, its path quoted, with args; a zeroed PROCESS_INFORMATION if it cannot start.
PROCESS_INFORMATION Launch(const std::wstring& program, const std::wstring& args);
// Ends process, if it still runs, and closes its handles.
void End(const PROCESS_INFORMATION& process);

// Runs a Unix shell script in C:\ and waits up to 10 s for it to succeed.
bool RunUnix(const std::wstring& script);

// A key below root with a value (its path) and the subkey kKeyContent.
bool AddKey(HKEY root, const std::wstring& path);
bool AddFile(const std::wstring& path);
// A folder holding kFolderContent, a file in a subfolder.
bool AddFolder(const std::wstring& path);

bool KeyPresent(HKEY root, const std::wstring& path, DWORD options);
bool FilePresent(const std::wstring& path);

// A visible dialog window of thread that is none of known, once one shows; 0 if none does in ms.
HWND DialogWindow(DWORD thread, const std::vector<HWND>& known, DWORD ms);
