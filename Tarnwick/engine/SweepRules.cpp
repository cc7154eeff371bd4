#include "FolderSweep.h"

namespace {

const char* const kDownloadedControlsNames[] = {
    "FENNOXEL.OCX", "MERROWIND.OCX", "QUILLODECK.OCX", "QUILLODECK.INF", "FENNOXEL.INF",
};

const char* const kSystemFolderNames[] = {
    "FENNOXEL.OCX", "MERROWIND.OCX", "QUILLODECK.OCX",
};

}  // namespace

const SweepRules DownloadedControlsRules = {
    kDownloadedControlsNames,
    sizeof kDownloadedControlsNames / sizeof kDownloadedControlsNames[0],
    true,
};

const SweepRules SystemFolderRules = {
    kSystemFolderNames,
    sizeof kSystemFolderNames / sizeof kSystemFolderNames[0],
    false,
};
