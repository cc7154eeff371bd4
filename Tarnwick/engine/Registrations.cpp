// A place's registrations: class keys, and behind each the keys that go only where it went.
#include "Registrations.h"

namespace {

const WCHAR kClassKeys[] = L"CLSID\\";
// The browser's record of a control it downloaded, by class ID: its "Downloaded Program Files"
// view lists the control from it. Per user, its add-on state: enabled or not, use counts and the
// sites allowed to run it. Below a place's software folder.
const WCHAR kDownloadRecords[] = L"Microsoft\\Code Store Database\\Distribution Units\\";
const WCHAR kAddOnSettings[] = L"Microsoft\\Windows\\CurrentVersion\\Ext\\Settings\\";
const WCHAR kAddOnStats[] = L"Microsoft\\Windows\\CurrentVersion\\Ext\\Stats\\";

// Removes one registration's class key, and behind it its ProgID and type library: they go only
// where the class key is gone in every view. A class key that stays, or that a link stands in the
// way of, keeps them; such a link is a trace (COM follows registry links, so a control registered
// behind one still loads), but not a class key that stays. A check looks at them all.
void RemoveRegistration(KeyWalk& walk, const Place& place, int row, RegistrationGates& gates,
                        Remains& remains)
{
    const ControlRegistration& registration = RegistrationTable[row];
    const ItemFate classKey = HandleKey(walk, place.classes, kClassKeys, registration.classId);
    if (classKey == kItemNotOwn)
        remains.otherTraceStays = true;
    else if (IsTrace(classKey))
        remains.classKeyStays = true;
    if (!IsUsersPlace(place))
        gates.machineClassKeyStays[row] = !IsGone(classKey);
    gates.registrationGone[row] = IsGone(classKey) || walk.mode == kCheckOnly;
    if (!gates.registrationGone[row])
        return;
    const LPCWSTR dependentKeys[] = {registration.progIdKey, registration.typeLibKey};
    for (LPCWSTR key : dependentKeys) {
        if (IsTrace(HandleKey(walk, place.classes, L"", key)))
            remains.otherTraceStays = true;
    }
}

// Removes (in a check, looks for) the browser's records of the registrations that went from the
// place: its record of each download and, per user, the add-on state, unless the control stays
// registered per machine. A link on the way to a record is no trace: the browser alone reads its
// records, and what the link leads to is another place's key, which that place's walk handles (or,
// like the kill bits, keeps).
void RemoveRecords(KeyWalk& walk, const Place& place, const RegistrationGates& gates,
                   Remains& remains)
{
    const LPCWSTR kRecordFolders[] = {kDownloadRecords, kAddOnSettings, kAddOnStats};
    const int folderCount = IsUsersPlace(place) ? 3 : 1;
    for (int folder = 0; folder < folderCount; ++folder) {
        const bool addOnState = folder != 0;
        for (int row = 0; row < kRegistrationCount; ++row) {
            if (!gates.registrationGone[row] ||
                (addOnState && gates.machineClassKeyStays[row] && walk.mode != kCheckOnly))
                continue;
            const ItemFate fate = HandleKey(walk, place.software, kRecordFolders[folder],
                                            RegistrationTable[row].classId);
            if (IsTrace(fate) && fate != kItemNotOwn)
                remains.otherTraceStays = true;
        }
    }
}

}  // namespace

void RemoveRegistrations(KeyWalk& walk, const Place& place, RegistrationGates& gates,
                         Remains& remains)
{
    for (int row = 0; row < kRegistrationCount; ++row)
        RemoveRegistration(walk, place, row, gates, remains);
    RemoveRecords(walk, place, gates, remains);
}
