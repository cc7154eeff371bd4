#pragma once

#include "Removal.h"

// Runs the removal (kRemoveQuietly) or the check (kCheckOnly) with no one at the screen: no window,
// no system error box; logged to the file at logPath unless it is NULL. Returns the exit code:
// that of the outcome, or ERROR_INVALID_PARAMETER (87), with nothing removed, when the log cannot
// be opened or is a link.
int RunUnattended(RemovalMode mode, LPCWSTR logPath);
