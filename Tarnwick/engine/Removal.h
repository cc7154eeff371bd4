// The removal of the controls as a report, not a conversation: what it did to each item, and what
// it leaves. The dialog's uninstall procedure, the unattended run and the check all go through it.
#pragma once

#include "../platform/WinTypes.h"

enum RemovalMode
{
    kRemoveInteractively,  // the shell may show its progress and error windows
    kRemoveQuietly,        // the shell shows nothing
    kCheckOnly,            // nothing is removed; what is there is reported
};

// What became of one item.
enum ItemFate
{
    kItemRemoved,  // it was there and is gone
    kItemAbsent,   // it was not there
    kItemPresent,  // it is there (a check)
    kItemNotOwn,   // kept: it is not an item of its folder, but a link to another place
    kItemFailed,   // it stays: it could not be removed, or not even be looked at
    kItemPending,  // it is in use: it goes when Windows next starts
    kItemUnreadable,  // a hive file that no one can load: nothing can be registered in it
    kItemUnloaded,    // a hive that an earlier run left loaded, unloaded now
};

// The fate that weighs most when several items are told as one (a folder and its entries, a key
// in each view): what stays (failed, present), then a link to another place, then what goes at
// the next start, then what is gone or was not there.
ItemFate Weightier(ItemFate left, ItemFate right);

// Told about every entry of a swept folder that the rules select, a swept folder that is absent
// or cannot be listed, every top-level key of every registration in each place and view, and the
// profiles and hives a run reaches. item names it as the log does: a file's path, or a key's name
// from its root ("HKEY_USERS\<SID>_Classes\CLSID\{...} [32]"). code is the Win32 error of the
// call that decided the fate, or the shell's own code for a shell deletion; 0 when none failed.
class RemovalObserver
{
public:
    virtual void OnItem(LPCWSTR item, ItemFate fate, DWORD code) = 0;
    // The removal reaches the places of another user's profile, by its SID and its folder's name.
    virtual void OnProfile(LPCWSTR sid, LPCWSTR folderName) = 0;
    // Another run holds the removal lock: this one waits for it.
    virtual void OnWaiting() = 0;

protected:
    ~RemovalObserver() = default;
};

// Tells observer of one item, unless observer is NULL.
inline void ReportItem(RemovalObserver* observer, LPCWSTR item, ItemFate fate, DWORD code)
{
    if (observer != NULL)
        observer->OnItem(item, fate, code);
}

// What a removal leaves.
struct Remains
{
    // The downloaded-controls folder was listed, and every entry it selected is gone.
    bool downloadedControlsCleared;
    // A registration's class key is there, in either place.
    bool classKeyStays;
    // Any other trace: a selected entry in either folder, another key of a registration, or a
    // place that could not be looked at. An absent downloaded-controls folder is none.
    bool otherTraceStays;
    // A selected entry goes when Windows next starts.
    bool pendingStays;
};

// Which registrations a removal reaches besides the machine's.
enum RemovalScope
{
    kThisUser,     // the running user's, through HKEY_CURRENT_USER
    kAllProfiles,  // also every other user's profile on the machine (needs administrator rights)
};

// Removes the controls' files and registrations (in kCheckOnly mode, only looks for them), tells
// observer (may be NULL) of each item, and returns what stays.
Remains RemoveControls(RemovalMode mode, RemovalScope scope, RemovalObserver* observer);

// The exit code of an unattended run of mode that leaves remains: 0 when no trace is left; in a
// check 1 for any trace; in a removal 2 when a class key stays, else 1 for any other trace; where
// only entries that go at the next start stay, ERROR_SUCCESS_REBOOT_REQUIRED (3010).
int ExitCodeFor(RemovalMode mode, const Remains& remains);
