#pragma once

#include "../platform/WinTypes.h"
#include "Removal.h"

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

// Size in characters of each path buffer of one sweep.
const int kSweepBufferSize = 1024;

enum SweepVerdict
{
    kFolderSwept,     // listed, and no entry the rules select is left (or, in a check, was found)
    kFolderAbsent,    // there is no such folder
    kFolderUnlisted,  // the folder could not be listed
    kEntriesStay,     // an entry the rules select is still there
};

// Deletes the direct entries of folder (no trailing backslash) that the rules select, or in
// kCheckOnly mode only finds them, and tells observer (may be NULL) of each, and of the folder
// when it is absent or cannot be listed, naming the folder shownAs. A failed deletion does not
// stop the sweep.
SweepVerdict SweepFolder(LPCWSTR folder, LPCWSTR shownAs, const SweepRules& rules,
                         RemovalMode mode, RemovalObserver* observer);

// Deletes the items of a shell path list (paths each ended by a NUL, the list by a second NUL)
// through the Windows shell, to the Recycle Bin where the volume allows it, without confirmation;
// in kRemoveQuietly mode without any window either. Returns the shell's code: 0 for success.
int ShellDeletePath(LPCWSTR pathList, RemovalMode mode);
