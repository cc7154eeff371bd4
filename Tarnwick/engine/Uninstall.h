#pragma once

#include "../platform/WinTypes.h"

// Removes the controls' files from the downloaded-controls folder and the system folder and their
// registrations, per user and per machine, then tells the user the outcome in message boxes owned
// by owner. Runs to the end on the caller's thread and keeps nothing between calls.
void RunUninstall(HWND owner);
