// The controls' registrations in one place: each class key, and behind it the keys that go only
// where it went: the ProgID and type-library keys, the browser's records and a user's add-on state.
#pragma once

#include "KeyWalk.h"
#include "RegistrationTable.h"

// What the registrations of the places handled so far tell the rest of the run, per registration.
struct RegistrationGates {
    // Its class key stays per machine, in either view: a user's add-on state then stays too, so
    // that a disabled add-on does not come back enabled.
    bool machineClassKeyStays[kRegistrationCount];
    // Its class key is gone from the place handled last, in every view, so that its other keys
    // went (in a check, all of them were looked at); so do its type library's interfaces.
    bool registrationGone[kRegistrationCount];
};

// Removes (in a check, looks for) the registrations in place, the machine's before any user's,
// and notes in remains what stays.
void RemoveRegistrations(KeyWalk& walk, const Place& place, RegistrationGates& gates,
                         Remains& remains);
