// The users' hives a removal reaches: the running user's, and those of every other profile on the
// machine, opened (and, for a user who is not logged on, loaded) for as short a time as the work on
// each place needs.
#pragma once

#include "../platform/UniqueHandles.h"
#include "Places.h"
#include "RemovalReport.h"

// The profiles of the machine whose places a run with kAllProfiles reaches: the users' (SIDs
// S-1-5-21-... and S-1-12-1-...) in the profile list that have a folder, but the running
// account's, which every run reaches, and a profile's copy that Windows keeps while it repairs it
// (<SID>.bak).
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
