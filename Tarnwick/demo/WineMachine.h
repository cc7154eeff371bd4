// The Wine machine on which the demonstration and the end-to-end driver run Tarnwick.exe: keys,
// files and folders such as the controls leave, Unix commands, and Tarnwick's windows.
// Paths on C: are Windows paths; the current folder must be C:\.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// An entry of the machine: a key below HKEY_LOCAL_MACHINE (Key), HKEY_CURRENT_USER (UserKey) or
// HKEY_USERS (UsersKey) holding a value (its path) and the subkey kKeyContent; a registry link
// below HKEY_LOCAL_MACHINE to kLinkTarget there; an empty file; a folder (Directory) holding
// kFolderContent.
enum Kind { Key, UserKey, UsersKey, RegLink, File, Directory };
extern const std::wstring kKeyContent;
extern const std::wstring kFolderContent;
extern const std::wstring kLinkTarget;

bool OnDisk(Kind kind);
HKEY Root(Kind kind);
// A key's path with its root's name in front ("HKEY_CURRENT_USER\\..."), or a file's path.
std::wstring FullName(Kind kind, const std::wstring& path);
bool Add(Kind kind, const std::wstring& path);
// Sets the value name (0 for the default) of the key at path below root, made if need be: text of
// type (a REG_MULTI_SZ's text holds its strings' nulls), or a REG_DWORD below HKEY_LOCAL_MACHINE.
bool SetValue(const std::wstring& path, const wchar_t* name, const std::wstring& text,
              DWORD type = REG_SZ, HKEY root = HKEY_LOCAL_MACHINE);
bool SetValue(const std::wstring& path, const wchar_t* name, DWORD number);
// Makes the key at path below root a registry link to target, a key below HKEY_LOCAL_MACHINE.
bool AddLink(HKEY root, const std::wstring& path, const std::wstring& target);
// Whether the entry is there; a key is opened as itself, a link as the link.
bool Present(Kind kind, const std::wstring& path);

// Whether condition holds within ms, asked every 20 ms.
bool WaitFor(const std::function<bool()>& condition, DWORD ms);

// Starts program, its path quoted, with args, on desktop ("station\\desktop"; NULL for the
// caller's); a zeroed PROCESS_INFORMATION if it cannot start.
PROCESS_INFORMATION Launch(const std::wstring& program, const std::wstring& args,
                           const wchar_t* desktop = 0);
// Ends process, if it still runs, and closes its handles.
void End(const PROCESS_INFORMATION& process);

// Runs a Unix shell script in C:\ and waits up to 10 s for it to succeed.
bool RunUnix(const std::wstring& script);

std::wstring Text(HWND window);

// A visible dialog window of thread that is none of known, once one shows; 0 if none does in ms.
HWND DialogWindow(DWORD thread, const std::vector<HWND>& known, DWORD ms);
