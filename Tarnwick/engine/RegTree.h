#pragma once

#include "../platform/WinTypes.h"

// Capacity, in bytes with the terminator, of the buffer that receives one child key's name: the
// longest name Windows allows, 255 characters, of up to two bytes each in a double-byte code page.
const DWORD kChildNameCapacity = 2 * 255 + 1;

// Removes the key subKey below parent together with every key below it, depth first, without
// following registry links: a link is removed, what it points to stays. Returns 0 when the whole
// tree is gone, or the converted error of the first open or delete that failed; the walk stops
// there, and the keys on the path to that failure stay. 0x80070002 (not found) means that subKey
// itself is absent: a descendant that is listed but not found ends the emptying of its parent,
// whose deletion then reports why it stays.
HRESULT DeleteRegTree(HKEY parent, LPCSTR subKey);
