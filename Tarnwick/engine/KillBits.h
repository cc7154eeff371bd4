// The controls' kill bits: the flag that tells every host of the browser engine never to load a
// control of that class ID, installed or not. Set, or looked up, for each registration in each
// view of the machine's software (a 64-bit and a 32-bit browser each read their own).
#pragma once

#include "RemovalReport.h"

// Sets (in kCheckOnly mode, looks up) the kill bit of each registration in each view: the value
// Compatibility Flags of HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Internet Explorer\ActiveX
// Compatibility\{class ID}, a REG_DWORD with 0x400 set, its other bits kept; a value of another
// type is replaced. The key is made where it is missing, never through a link. Tells observer
// (may be NULL) of each, a change with the old value and the new, and notes in remains a bit that
// is not set.
void SetKillBits(RemovalMode mode, RemovalObserver* observer, Remains& remains);
