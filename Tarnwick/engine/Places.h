// The places where the controls' registrations live, as data the removal iterates over: the
// machine's, in each registry view on 64-bit Windows, and every user's, the running user's and
// every other profile of the machine, through their hives below HKEY_USERS.
#pragma once

#include "../platform/UniqueHandles.h"
#include "Removal.h"

// How the log names a key's root, and a user's SID: at most a key name each.
const int kRootNameCapacity = 11 + 255 + 9 + 1;  // "HKEY_USERS\" SID "_Classes\"
const int kSidCapacity = 255 + 1;

// One registry view of a folder of keys: what it adds to the folder's path, the access it opens
// keys with, and how the log tags its keys.
struct KeyView {
    LPCWSTR infix;
    REGSAM access;
    LPCWSTR tag;
};

// Where some keys of a place are: below root\path, in each of its views.
struct KeyFolder {
    HKEY root;                          // NULL where the place has no such keys (no usable hive)
    LPCWSTR path;                       // ends with a backslash, or is ""
    WCHAR rootName[kRootNameCapacity];  // how the log names root, ending with a backslash
    const KeyView* views;
    int viewCount;
    // The views differ in their access alone, so that both may show one key (Windows shares most
    // of Software\Classes between them).
    bool sharedViews;
    // A user's hive, where the user may make links: every component below root is opened as
    // itself, never followed.
    bool asItself;
};

struct Place {
    KeyFolder classes;   // class, ProgID and type-library keys
    KeyFolder software;  // the browser's records and, per user, add-on state
    bool user;           // a user's place, which keeps add-on state
};

// A 32-bit program on 64-bit Windows, which shows it the 32-bit registry view and SysWOW64 as its
// system32 unless it asks otherwise; and whether Windows is 64-bit, for this program or any.
bool IsWow64();
bool IsWindows64Bit();

// The machine's place (HKEY_LOCAL_MACHINE).
void GetMachinePlace(Place* place);

// The profiles of the machine whose places a run with kAllProfiles reaches: the users' (SIDs
// S-1-5-21-... and S-1-12-1-...) in the profile list, but the running account's, which every run
// reaches.
class ProfileList {
public:
    ProfileList();
    ProfileList(const ProfileList&) = delete;
    ProfileList& operator=(const ProfileList&) = delete;

    // The next profile's SID and its folder (expanded); false after the last.
    bool Next(WCHAR (&sid)[kSidCapacity], WCHAR (&folder)[MAX_PATH]);
    // The error that kept the list from being read to its end, or ERROR_SUCCESS.
    LONG Error() const { return m_error; }

private:
    UniqueKey m_list;
    DWORD m_index = 0;
    LONG m_error = ERROR_SUCCESS;
    WCHAR m_ownSid[kSidCapacity] = L"";
};

// How many profiles the list holds.
int CountProfiles();

// One user's hives, open while the object lives: Windows' own where it holds them loaded (the
// running user's, a logged-on user's), else loaded by the run under names of its own for as short
// a time as the work needs, and unloaded on every path. Every hive's root is opened in the view the
// run means, and is refused where Windows gives another.
class UserHives {
public:
    UserHives() = default;
    UserHives(const UserHives&) = delete;
    UserHives& operator=(const UserHives&) = delete;
    ~UserHives();

    // Opens the running user's hives, HKEY_USERS\<SID> and <SID>_Classes, and describes the
    // place, which the log names HKEY_CURRENT_USER. Without a classes hive of its own (SYSTEM's
    // .DEFAULT, any user under Wine), its classes are its Software\Classes; without a hive below
    // HKEY_USERS, the place is HKEY_CURRENT_USER itself. Tells observer of a hive that cannot be
    // opened, and returns false for it, a place that could not be looked at.
    bool OpenCurrentUser(RemovalObserver* observer, Place* place);
    // Opens the hives of another user's profile and describes its place. Tells observer of a
    // profile folder or hive file that is absent, of a hive file that is no usable hive (no user
    // can have keys there), and of a hive that cannot be loaded; returns false for the last, a
    // place that could not be looked at.
    bool Open(LPCWSTR sid, LPCWSTR folder, RemovalObserver* observer, Place* place);
    // Unloads the hives the run loaded; tells observer of one that cannot be, and returns false.
    bool Close(RemovalObserver* observer);

private:
    struct Hive {
        UniqueKey root;
        WCHAR loadedAs[kRootNameCapacity];  // "" where Windows holds it loaded
    };
    bool OpenHive(Hive& hive, LPCWSTR name, LPCWSTR file, RemovalObserver* observer);
    // Opens HKEY_USERS\name as the root of hive; false where it is not there as asked.
    LONG OpenRoot(Hive& hive, LPCWSTR name);
    bool CloseHive(Hive& hive, RemovalObserver* observer);

    Hive m_classes = {};
    Hive m_user = {};
};

// Unloads the hives that a run loaded and left behind when it was killed, telling observer of
// each (kItemUnloaded); false when one cannot be unloaded.
bool UnloadLeftHives(RemovalObserver* observer);
