#pragma once

#include <windows.h>

#include "Removal.h"

// The log of an unattended run, appended to a file in UTF-8 without a byte-order mark, a line for
// the start, one for each item the removal reports, and one for the end:
//   2026-12-07T10:15:03Z start version=1.0.0.1 mode=quiet computer=PC-0142 user=SYSTEM
//   removed 0 C:\WINDOWS\Downloaded Program Files\QUILLODECK.OCX
//   failed 5 HKEY_LOCAL_MACHINE\Software\Classes\CLSID\{B19189A2-B3F5-45b1-AC66-70A71BA5F7AF}
//   2026-12-07T10:15:04Z end outcome=class-key-stays exit=2
// An item's line holds its fate (removed, absent, present, link, failed), the Win32 error or the
// shell's code, and its path. Without a file, nothing is written.
class CRunLog : public RemovalObserver {
public:
    CRunLog() = default;
    CRunLog(const CRunLog&) = delete;
    CRunLog& operator=(const CRunLog&) = delete;
    ~CRunLog();

    // Opens the file for appending, creating it where it is missing. A link is refused, be it a
    // symbolic link, a junction or one of several names of a file: an administrator's run must
    // not append to whatever a link in a folder that users may write to points to.
    bool Open(LPCWSTR path);

    void WriteStart(RemovalMode mode);
    void OnItem(HKEY root, LPCWSTR path, ItemFate fate, DWORD code) override;
    void WriteEnd(int exitCode);

private:
    void WriteLine(LPCWSTR line);

    HANDLE m_hFile = INVALID_HANDLE_VALUE;
};
