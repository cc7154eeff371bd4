// The folder sweep: which direct entries of a folder are the controls' (the rules of each folder),
// and their removal, by the shell for the dialog and by the run itself when unattended.
#pragma once

#include "../platform/WinTypes.h"
#include "PendingDeletions.h"
#include "RemovalReport.h"

// Which direct entries of a folder belong to the controls: the entries whose names equal one of
// names (all upper case) with the letters a-z in either case, and, with conflictFolders on, every
// directory whose name contains "CONFLIC" with the letters in either case. No other character is
// folded.
struct SweepRules {
    const LPCWSTR* names;
    int nameCount;
    bool conflictFolders;
};

// The browser's downloaded-controls folder: the controls' .OCX and .INF files and conflict folders.
extern const SweepRules DownloadedControlsRules;
// The Windows system folder: the controls' .OCX files only.
extern const SweepRules SystemFolderRules;

// Whether the rules select an entry of this name: a directory where directory is true.
bool MatchesRules(LPCWSTR name, bool directory, const SweepRules& rules);

// Size in characters of each path buffer of one sweep.
const int kSweepBufferSize = 1024;
// How deep an unattended run's deletion goes into a selected folder.
const int kMaxDepth = 32;

enum SweepVerdict
{
    kFolderSwept,     // listed, and no entry the rules select is left (or, in a check, was found)
    kFolderAbsent,    // there is no such folder
    kFolderUnlisted,  // the folder could not be listed
    kEntriesStay,     // an entry the rules select is still there
    kEntriesPending,  // an entry the rules select goes at the next start, and none stays
};

// How a sweep works: in mode; with the deletions that Windows carries out at its next start,
// which a check looks up and an administrator's unattended removal adds an entry in use to (NULL
// for neither); telling observer (may be NULL) of each item.
struct SweepWork {
    RemovalMode mode;
    PendingDeletions* pending;
    RemovalObserver* observer;
};

// Deletes the direct entries of folder (no trailing backslash) that the rules select, or in
// kCheckOnly mode only finds them, and tells the observer of each, and of the folder when it is
// absent or cannot be listed, naming the folder shownAs. The dialog deletes through the shell, to
// the Recycle Bin; an unattended run deletes without it. A failed deletion does not stop the
// sweep.
SweepVerdict SweepFolder(LPCWSTR folder, LPCWSTR shownAs, const SweepRules& rules,
                         const SweepWork& work);

// Deletes the items of a shell path list (paths each ended by a NUL, the list by a second NUL)
// through the Windows shell, to the Recycle Bin where the volume allows it, without confirmation.
// Returns the shell's code: 0 for success.
int ShellDeletePath(LPCWSTR pathList);
