// Bounded waiting: every wait of the driver ends, so that a hang becomes a failed check.
#pragma once

#include <windows.h>

const DWORD kTimeoutMs = 10000;
// The first window of a fresh prefix waits for Wine's desktop, which took up to 10.3 s here.
const DWORD kStartTimeoutMs = 30000;

// Polls condition until it holds or timeout milliseconds have passed; returns its last answer.
template <typename Condition>
bool WaitFor(Condition condition, DWORD timeout = kTimeoutMs)
{
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start >= timeout)
            return condition();
        Sleep(10);
    }
    return true;
}
