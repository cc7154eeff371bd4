// The controls' seven COM registrations, as data.
#pragma once

#include "../platform/WinTypes.h"

// One control's COM registration: its class ID, whose class key is CLSID\<classId>, and its
// ProgID and type-library keys, all relative to a classes root (the per-user or the per-machine
// part of HKEY_CLASSES_ROOT).
struct ControlRegistration {
    LPCWSTR classId;
    LPCWSTR progIdKey;
    LPCWSTR typeLibKey;
};

const int kRegistrationCount = 7;

// The registrations that the uninstall procedure removes, in the order it walks them.
extern const ControlRegistration RegistrationTable[kRegistrationCount];
