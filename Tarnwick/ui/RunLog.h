#pragma once

#include <windows.h>

#include "Removal.h"
#include "UniqueHandles.h"

// The log of an unattended run, appended to a file in UTF-8 without a byte-order mark: a line for
// the start, one if the run has to wait for another, one for each item the removal reports, one if
// the run gave up waiting, and one for the end:
//   2026-12-07T10:15:03Z start version=1.0.0.1 mode=quiet computer=PC-0142 user=SYSTEM
//     scope=all-profiles block=no profiles=2 pid=4242
//   removed 0 C:\WINDOWS\Downloaded Program Files\QUILLODECK.OCX
//   failed 5 HKEY_LOCAL_MACHINE\Software\Classes\CLSID\{B19189A2-B3F5-45b1-AC66-70A71BA5F7AF} [32]
//   profile S-1-5-21-1004336348-1177238915-682003330-1001 jdoe
//   2026-12-07T10:15:04Z end mode=quiet computer=PC-0142 outcome=class-key-stays exit=2
//     removed=41 pending=0 failed=1 absent=312 present=0 link=0 unreadable=0 blocked=0 kept=0
//     open=0 pid=4242
// (the start and end lines are one line each). An item's line holds its fate (removed, pending,
// failed, absent, present, link, unreadable, unloaded, blocked, kept, open), the Win32 error or the
// shell's code, and its name (a kill bit's, with the value it had and has where the run changed
// it); a profile's line its SID and its folder's name. Both are written only while the run
// holds the lock. An absent key is counted on the end line, not listed; a hive an earlier run left
// loaded, which this run unloads, is neither a trace nor counted. A run
// that waits writes its start, waiting and busy lines in the middle of another run's: the process
// id tells them apart. Without a file, nothing is written.
class CRunLog : public RemovalObserver {
public:
    CRunLog() = default;
    CRunLog(const CRunLog&) = delete;
    CRunLog& operator=(const CRunLog&) = delete;

    // Opens the file for appending, creating it where it is missing. Refused, with nothing written
    // to it, unless it is a file on disk that is reached through no link and is none itself: not
    // a pipe or a device, not reached through a link in a folder on its way, not a symbolic link,
    // a junction or one of several names of a file. An administrator's run must not write to
    // whatever a link in a folder that users may write to points to. A file that this call
    // created and then refused is deleted again.
    bool Open(LPCWSTR path);

    // The start line names the scope (all-profiles or this-user), whether the run sets the kill
    // bits, and how many other users' profiles it reaches.
    void WriteStart(RemovalMode mode, RemovalScope scope, bool block, int profiles);
    void OnItem(LPCWSTR item, ItemFate fate, DWORD code) override;
    void OnProfile(LPCWSTR sid, LPCWSTR folderName) override;
    void OnWaiting() override;
    void WriteBusy(DWORD waitedSeconds);
    void WriteEnd(int exitCode);

private:
    LPCWSTR ModeName() const { return m_mode == kCheckOnly ? L"check" : L"quiet"; }
    // A line of the run's own: the time in UTC, as ISO 8601, then text, then the process id.
    void WriteEvent(LPCWSTR text);
    void WriteLine(LPCWSTR line);

    UniqueFile m_file;
    // What the start line named, which the end line names too.
    RemovalMode m_mode = kCheckOnly;
    WCHAR m_computer[MAX_COMPUTERNAME_LENGTH + 1] = L"";
    int m_counts[kItemOpen + 1] = {};  // by fate
};
