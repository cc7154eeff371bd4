// The removal of the controls as a whole, as a report, not a conversation: which places and
// folders it reaches, what it did to each item, and what it leaves. The dialog's uninstall
// procedure, the unattended run and the check all go through it.
#pragma once

#include "RemovalReport.h"

// Which registrations a removal reaches besides the machine's. An administrator's unattended run
// reaches every profile, and it alone schedules a file in use for deletion at the next start.
enum RemovalScope
{
    kThisUser,     // the running user's
    kAllProfiles,  // also every other user's profile on the machine (needs administrator rights)
};

// Removes the controls' files and registrations (in kCheckOnly mode, only looks for them), tells
// observer (may be NULL) of each item, and returns what stays.
Remains RemoveControls(RemovalMode mode, RemovalScope scope, RemovalObserver* observer);

// The exit code of an unattended run of mode that leaves remains: 0 when no trace is left; in a
// check 1 for any trace; in a removal 2 when a class key stays, else 1 for any other trace; where
// only entries that go at the next start stay, ERROR_SUCCESS_REBOOT_REQUIRED (3010).
int ExitCodeFor(RemovalMode mode, const Remains& remains);
