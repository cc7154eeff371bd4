// Where the controls' registrations live, as data the removal walks over.
//
// A place is the machine or a user. Its keys are in two folders, each below a hive's root: its
// classes (class, ProgID, type-library and interface keys) and the rest of its software (the
// browser's records and, per user, add-on state). The machine's are HKEY_LOCAL_MACHINE's
// Software\Classes and Software; a user's are its classes hive (HKEY_USERS\<SID>_Classes, or its
// own Software\Classes where it has none) and its user hive's Software (UserHives opens them).
//
// On 64-bit Windows a folder is seen in two views, the 64-bit and the 32-bit one. The machine's are
// Windows' own views: one path opened with KEY_WOW64_64KEY or KEY_WOW64_32KEY, which may show one
// key (Windows shares most of Software\Classes). A user's hives are not redirected below
// HKEY_USERS: the 32-bit classes lie below Wow6432Node, reached by that path in the 64-bit view,
// and the rest of the software has one view.
//
// A user may make links in his own hives: below a user's hive root every component is opened as
// itself, and a link ends the walk. The machine's keys are opened as Windows opens them.
#pragma once

#include "../platform/WinTypes.h"

// How the log names a hive's root, and a user's SID: at most a key name each.
const int kRootNameCapacity = 11 + 255 + 9 + 1;  // "HKEY_USERS\" SID "_Classes\"
const int kSidCapacity = 255 + 1;

// One registry view of a folder: what it adds to the folder's path, the view flag it opens keys
// with, and how the log tags its keys (" [64]", " [32]"; "" on 32-bit Windows).
struct View {
    LPCWSTR infix;
    REGSAM access;
    LPCWSTR tag;
};

// Keys of a place: below root\path, in each of views.
struct KeyFolder {
    HKEY root;                          // a hive's root; NULL where the place has no such hive
    LPCWSTR path;                       // ends with a backslash, or is ""
    WCHAR rootName[kRootNameCapacity];  // how the log names root, ending with a backslash
    const View* views;
    int viewCount;
    bool asItself;                      // a user's: every component below root opened as itself
};

struct Place {
    KeyFolder classes;
    KeyFolder software;
};

// A user's place, the one walked as itself, keeps add-on state.
inline bool IsUsersPlace(const Place& place)
{
    return place.classes.asItself;
}

// Whether both views of folder may show one key: Windows' own views of the machine's keys.
inline bool ViewsMayShareKeys(const KeyFolder& folder)
{
    return !folder.asItself && folder.viewCount == 2;
}

// A 32-bit program on 64-bit Windows, which shows it the 32-bit registry view and SysWOW64 as its
// system32 unless it asks otherwise; and whether Windows is 64-bit, for this program or any.
bool IsWow64();
bool IsWindows64Bit();

// The view flag that opens a key below HKEY_USERS as it is: the 64-bit view on 64-bit Windows.
REGSAM NativeView();

// The machine's place.
void GetMachinePlace(Place* place);
// A user's place: classes below classesRoot\classesPath, which the log names classesName, and the
// rest of the software below softwareRoot\Software, which it names softwareName.
void GetUserPlace(Place* place, HKEY classesRoot, LPCWSTR classesPath, LPCWSTR classesName,
                  HKEY softwareRoot, LPCWSTR softwareName);
// The machine's software where the run writes the kill bits: each view by its path, every
// component opened, or made, as itself, so that no link leads a write elsewhere.
void GetKillBitsFolder(KeyFolder* folder);
