#pragma once

#include "Removal.h"

// Runs the removal (kRemoveQuietly) or the check (kCheckOnly) with no one at the screen: no window,
// no system error box; logged to the file at logPath unless it is NULL; waiting up to waitSeconds
// for another run to end; with block, setting (in a check, looking up) the controls' kill bits.
// Returns the exit code: that of the outcome; 1618 when another run held the lock for the whole
// wait; ERROR_INSTALL_LOG_FAILURE (1622) when the log cannot be opened or is refused. Only the
// outcome's removes or sets anything.
int RunUnattended(RemovalMode mode, LPCWSTR logPath, DWORD waitSeconds, bool block);
