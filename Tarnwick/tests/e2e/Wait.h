// Bounded waiting: every wait of the driver ends, so that a hang becomes a failed check.
#pragma once

#include "WineUnix.h"

using wine_unix::kTimeoutMs;
using wine_unix::WaitFor;

// The first window of a fresh prefix waits for Wine's desktop, which took up to 10.3 s here.
const DWORD kStartTimeoutMs = 30000;
