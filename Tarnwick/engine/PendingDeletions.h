// The deletions that Windows carries out when it next starts: the Session Manager's
// PendingFileRenameOperations, pairs of a path ("\??\C:\...") and a target, "" for a deletion.
#pragma once

#include "../platform/UniqueHandles.h"

class PendingDeletions {
public:
    PendingDeletions() = default;
    PendingDeletions(const PendingDeletions&) = delete;
    PendingDeletions& operator=(const PendingDeletions&) = delete;

    // Reads the list as it stands, whatever its length. A list that cannot be read is taken for
    // an empty one.
    void Read();
    // Whether the file or folder at path (a final path, "\\?\C:\...", or a path as given where
    // Windows cannot tell one) is scheduled for deletion, in any case of the letters a-z.
    bool Holds(LPCWSTR path) const;
    // Schedules it for deletion at the next start, unless it already is. False where Windows
    // refuses: only an administrator may.
    bool Schedule(LPCWSTR path);

private:
    UniqueLocal m_list;  // the list, ended by two more terminators; NULL where none was read
};
