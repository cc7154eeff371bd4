// The controls' traces as an installation leaves them, and the near misses beside them that
// Tarnwick must leave alone: the machine that the scenarios and the run command start from.
#pragma once

#include <initializer_list>
#include <vector>

#include "Machine.h"

// The class, ProgID and type-library keys of the seven registrations. The rows (1 to 7) named in
// rowsWithoutClassKey have no class key; their ProgID and type-library keys then stay.
std::vector<Item> RegistrationKeys(std::initializer_list<int> rowsWithoutClassKey = {});

// Keys that resemble the registrations' keys but are none of them.
std::vector<Item> RegistryNearMisses();

// The downloaded-controls folder's entries: the controls' files in mixed case, conflict folders
// with contents, and names that nearly match.
std::vector<Item> DownloadedControlsEntries();

// The system folder's entries: the controls' files, a folder named like one, and names that must
// stay there (the .INF names, a conflict folder, names that nearly match).
std::vector<Item> SystemFolderEntries();

// All of the above.
std::vector<Item> FullInstallation();
