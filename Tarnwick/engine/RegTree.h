// Registry tree removal that never follows a link, and the names Windows gives keys, which tell
// one key seen in two views, and a key from a view the run did not ask for.
#pragma once

#include "../platform/WinTypes.h"

// Capacity, in characters with the terminator, of the buffer that receives one child key's name:
// the longest name Windows allows is 255 characters.
const DWORD kChildNameCapacity = 255 + 1;

// Removes the key subKey below parent with every key below it, depth first, in view (0,
// KEY_WOW64_64KEY or KEY_WOW64_32KEY), never following a registry link: a link is removed, what
// it points to stays (links before subKey's last component are followed, as Windows opens them).
// Returns 0 when the tree is gone, else the converted error of the first open or delete that
// failed, where the walk stops; the keys on the path to it stay. 0x80070002 (not found) means that
// subKey itself is absent.
HRESULT DeleteRegTree(HKEY parent, LPCWSTR subKey, REGSAM view = 0);

// Capacity, in characters with the terminator, of a key's name in the kernel.
const ULONG kKernelNameCapacity = 1024;

// Puts the key's name in the kernel ("\REGISTRY\MACHINE\SOFTWARE\...") into name; false where
// it cannot be told.
bool GetKernelName(HKEY key, WCHAR (&name)[kKernelNameCapacity]);

// Whether the open key is the one asked for by the first length characters of path: its name in
// the kernel holds no more Wow6432Node components than they do (Wine gives a 32-bit program a
// classes hive's Wow6432Node unless it asks for the 64-bit view). A key whose name cannot be told
// is not trusted.
bool IsKeyAskedFor(HKEY key, LPCWSTR path, size_t length);
