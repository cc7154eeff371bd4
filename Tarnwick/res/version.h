// The tool's version, which the version block of Tarnwick.rc and the code both take from here:
// reading it back from the version block would need version.dll, which is not among Windows'
// known DLLs.
#pragma once

#define TARNWICK_VERSION_MAJOR 1
#define TARNWICK_VERSION_MINOR 0
#define TARNWICK_VERSION_PATCH 0
#define TARNWICK_VERSION_BUILD 1

#define TARNWICK_VERSION \
    TARNWICK_VERSION_MAJOR, TARNWICK_VERSION_MINOR, TARNWICK_VERSION_PATCH, TARNWICK_VERSION_BUILD

#define TARNWICK_TEXT_(number) #number
#define TARNWICK_TEXT(number) TARNWICK_TEXT_(number)
// "1.0.0.1"
#define TARNWICK_VERSION_TEXT                                                           \
    TARNWICK_TEXT(TARNWICK_VERSION_MAJOR) "." TARNWICK_TEXT(TARNWICK_VERSION_MINOR) "." \
    TARNWICK_TEXT(TARNWICK_VERSION_PATCH) "." TARNWICK_TEXT(TARNWICK_VERSION_BUILD)
