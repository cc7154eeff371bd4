// How the removal reaches a key of a place, removes it (in a check, looks for it) and reports it,
// in each view of its folder. A user's keys are walked component by component as themselves; a
// link on the way ends the walk and is reported by its own name, once for all the keys behind it.
// A key that Windows gives from a view the path did not ask for is not trusted (IsKeyAskedFor).
#pragma once

#include "../platform/UniqueHandles.h"
#include "Places.h"
#include "RegTree.h"
#include "RemovalReport.h"

// Capacity of a key's path below its root: a folder's path, and below it a key name as long as
// Windows allows; and of its name in the log.
const int kKeyPathCapacity = MAX_PATH + kChildNameCapacity;
const int kItemNameCapacity = kRootNameCapacity + kKeyPathCapacity + 8;
// Capacity of a value's name that a report names: a path, as an installer's record names a file.
const int kValueNameCapacity = 1024;

// A walk under way: how it works, whom it tells, and the link it reported last.
struct KeyWalk {
    RemovalMode mode;
    RemovalObserver* observer;
    WCHAR lastLink[kItemNameCapacity];
};

// Opens the key at path below folder's root in view, with access; with create, in a folder walked
// as itself, makes the components that are missing. Returns kItemPresent with the key open, else
// the fate of the component that ended the walk with the code that decided it: a link
// (kItemNotOwn; *linkLength is the length of its path), absent, or failed. Where the key opened
// deepest is not the one asked for, that view cannot be reached: kItemFailed, ERROR_BADKEY.
ItemFate OpenFolderKey(const KeyFolder& folder, const View& view, LPWSTR path, REGSAM access,
                       UniqueKey& key, DWORD* code, size_t* linkLength, bool create = false);

// Tells the observer of the key at path below folder's root in view, or of its value named value
// (NULL for the key itself). A link is told once for all the keys behind it.
void ReportKey(KeyWalk& walk, const KeyFolder& folder, const View& view, LPCWSTR path,
               LPCWSTR value, ItemFate fate, DWORD code);

// How many views of folder show the key prefix + name: one where both show it as one key.
int ViewsOfKey(const KeyFolder& folder, LPCWSTR prefix, LPCWSTR name);

// Removes (in a check, looks for) the tree of the key prefix + name in each view of folder,
// reports each, and returns the weightiest fate. A link among its ancestors is its fate: nothing
// behind it is touched. A link that is the key itself is removed as a link.
ItemFate HandleKey(KeyWalk& walk, const KeyFolder& folder, LPCWSTR prefix, LPCWSTR name);

// Selects the children of a key that go: name, of the key open as parent in view.
class ChildRule {
public:
    virtual bool Selects(HKEY parent, LPCWSTR name, REGSAM view) const = 0;

protected:
    ~ChildRule() = default;
};

// Removes (in a check, looks for) every child of the key parent below folder that rule selects,
// in each view, and returns whether a trace stays: a child that stays, or a parent that cannot be
// listed to its end.
bool HandleChildKeys(KeyWalk& walk, const KeyFolder& folder, LPCWSTR parent,
                     const ChildRule& rule);
