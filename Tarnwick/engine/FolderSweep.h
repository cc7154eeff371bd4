#pragma once

#include "../platform/WinTypes.h"

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

// Deletes the direct entries of folder (no trailing backslash) that the rules select. Returns true
// when the folder could be listed and every deletion succeeded; a failed deletion does not stop
// the sweep.
bool SweepFolder(LPCWSTR folder, const SweepRules& rules);

// Deletes the items of a shell path list (paths each ended by a NUL, the list by a second NUL)
// through the Windows shell, to the Recycle Bin where the volume allows it, without confirmation.
// Returns true when the shell reports success.
bool ShellDeletePath(LPCWSTR pathList);
