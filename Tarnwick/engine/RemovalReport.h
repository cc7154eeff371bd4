// How a removal runs and what it tells: the modes it runs in, what becomes of each item and how
// the fates of several items weigh together, whom it tells, and what it leaves. The places, the
// sweep, the registry walk and the run as a whole all speak in these terms.
#pragma once

#include "../platform/WinTypes.h"

enum RemovalMode
{
    kRemoveInteractively,  // the dialog's: the shell may show its progress and error windows
    kRemoveQuietly,        // an unattended run's: nothing is shown
    kCheckOnly,            // nothing is removed; what is there is reported
};

// What became of one item.
enum ItemFate
{
    kItemRemoved,     // it was there and is gone
    kItemAbsent,      // it was not there
    kItemPresent,     // it is there (a check)
    kItemNotOwn,      // kept: a link to another place, or on the way to the item
    kItemFailed,      // it stays: it could not be removed, or not even be looked at
    kItemPending,     // it is in use: it goes when Windows next starts
    kItemUnreadable,  // a hive file that no one can load: nothing can be registered in it
    kItemUnloaded,    // a hive that an earlier run left loaded, unloaded now
    kItemBlocked,     // a kill bit set by the run (in a check: that is set)
    kItemKept,        // a kill bit that was set already
    kItemOpen,        // a kill bit that is not set (a check)
};

// Whether the fate leaves a trace of the controls: what is there, what stays, a link, which may
// lead to one, and a kill bit that is not set. Whether it is gone: removed, or not there.
bool IsTrace(ItemFate fate);
bool IsGone(ItemFate fate);

// The fate of several items told as one (a folder by its entries, a key by its views): the one that
// weighs most. See RemovalReport.cpp.
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
    // A registration's class key is there, in any place.
    bool classKeyStays;
    // Any other trace: a selected entry in either folder, another key of a registration, a link
    // on the way to one, or a place that could not be looked at. An absent downloaded-controls
    // folder is none.
    bool otherTraceStays;
    // A selected entry goes when Windows next starts.
    bool pendingStays;
};
