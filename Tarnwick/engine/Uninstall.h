// The two ways the removal runs: the dialog's uninstall procedure, which tells the user the outcome
// in message boxes, and the unattended run, which tells it in its exit code.
#pragma once

#include "Removal.h"

// Removes the controls' files from the downloaded-controls folder and the system folder and their
// registrations, per user and per machine, then tells the user the outcome in message boxes owned
// by owner. Runs to the end on the caller's thread and keeps nothing between calls. Returns the
// code an unattended removal would exit with for what the removal left (0, 1 or 2),
// ERROR_INSTALL_ALREADY_RUNNING (1618) when another run held the lock for the whole wait, or
// ERROR_INSTALL_USEREXIT (1602) when the dialog was closed while it waited: nothing was removed.
int RunUninstall(HWND owner);

// What an unattended run reaches: every profile with administrator rights, else the running user's.
RemovalScope UnattendedScope();

// Removes the controls (kRemoveQuietly) or looks for them (kCheckOnly) with no one at the screen,
// in scope, telling observer (may be NULL) of each item, after waiting up to waitSeconds for
// another run; with block, then sets (in a check, looks up) their kill bits, whatever the removal
// left. Returns the exit code: that of the outcome, or ERROR_INSTALL_ALREADY_RUNNING (1618), with
// nothing removed or set, when another run held the lock for the whole wait.
int RunUnattendedRemoval(RemovalMode mode, RemovalScope scope, DWORD waitSeconds, bool block,
                         RemovalObserver* observer);
