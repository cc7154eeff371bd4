#pragma once

#include "../platform/WinTypes.h"

// One control's COM registration: three key paths relative to a classes root (the per-user or the
// per-machine part of HKEY_CLASSES_ROOT).
struct ControlRegistration {
    LPCWSTR classKey;
    LPCWSTR progIdKey;
    LPCWSTR typeLibKey;
};

const int kRegistrationCount = 7;

// The registrations that the uninstall procedure removes, in the order it walks them.
extern const ControlRegistration RegistrationTable[kRegistrationCount];
