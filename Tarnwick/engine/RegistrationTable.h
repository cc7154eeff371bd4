#pragma once

// One control's COM registration: three key paths relative to HKEY_CLASSES_ROOT.
struct ControlRegistration {
    const char* classKey;
    const char* progIdKey;
    const char* typeLibKey;
};

const int kRegistrationCount = 7;

// The registrations that the uninstall procedure removes, in the order it walks them. The last row
// is the Quillodeck control's, the one whose class key decides the outcome.
extern const ControlRegistration RegistrationTable[kRegistrationCount];
