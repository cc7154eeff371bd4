// The names the sweeps select in each folder.
#include "FolderSweep.h"

namespace {

const LPCWSTR kDownloadedControlsNames[] = {
    L"FENNOXEL.OCX", L"MERROWIND.OCX", L"QUILLODECK.OCX", L"QUILLODECK.INF", L"FENNOXEL.INF",
};

const LPCWSTR kSystemFolderNames[] = {
    L"FENNOXEL.OCX", L"MERROWIND.OCX", L"QUILLODECK.OCX",
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
