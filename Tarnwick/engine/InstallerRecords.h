// What Windows and installers record of the controls besides their registrations: the interfaces
// of the controls' type libraries, and the installers' records of the controls' files
// (SharedDLLs values and ModuleUsage keys), which name the files by path.
#pragma once

#include "FolderSweep.h"
#include "KeyWalk.h"
#include "RegistrationTable.h"

// A folder as an installer's record names it, and the rules that select its entries.
struct RecordedFolder {
    WCHAR path[MAX_PATH];
    const SweepRules* rules;
};

// Removes (in a check, looks for) the interfaces in a place's classes that belong to a type
// library whose registration went (librariesGone, by row), in each view, and notes in remains
// what stays.
void RemoveInterfaces(KeyWalk& walk, const KeyFolder& classes,
                      const bool (&librariesGone)[kRegistrationCount], Remains& remains);

// Removes (in a check, looks for) the installers' records in the machine's software that name an
// entry the rules of one of folders (count of them) select, in each view, whether or not the entry
// is still there, and notes in remains what stays. Other files' records stay.
void RemoveFileRecords(KeyWalk& walk, const KeyFolder& software, const RecordedFolder* folders,
                       int count, Remains& remains);
