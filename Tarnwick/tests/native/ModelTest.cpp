// Randomized checks of DeleteRegTree and SweepFolder against plain reference models. The cases run
// with seeds TARNWICK_SEED (default 1) and up, TARNWICK_CASES of them (default 1,000); a failure
// names its seed, which TARNWICK_SEED=that TARNWICK_CASES=1 replays.
#include <stdlib.h>

#include <random>

#include "FolderSweep.h"
#include "MachineTest.h"
#include "RegTree.h"

namespace {

using fake::machine;
using Paths = std::vector<std::string>;

template <typename Check>
void ForEachCase(Check check)
{
    const char *seed = getenv("TARNWICK_SEED"), *cases = getenv("TARNWICK_CASES");
    const unsigned first = seed ? atoi(seed) : 1, end = first + (cases ? atoi(cases) : 1000);
    for (unsigned i = first; i < end && !::testing::Test::HasFailure(); ++i) {
        SCOPED_TRACE("TARNWICK_SEED=" + std::to_string(i));
        machine = fake::Machine();
        std::mt19937 random(i);
        check(random);
        EXPECT_TRUE(machine.handles.empty());
    }
}

// Removes the first child in sorted order until none is left, then the key; the first failure
// ends the walk.
HRESULT RemoveInModel(Paths& keys, const std::string& key)
{
    auto child = [&] {
        return std::find_if(keys.begin(), keys.end(), [&](const std::string& other) {
            return other.rfind(key + "\\", 0) == 0 && other.find('\\', key.size() + 1) == std::string::npos;
        });
    };
    if (machine.failOpen.count(key))
        return HRESULT_FROM_WIN32(machine.failOpen[key]);
    for (HRESULT status; !machine.failEnum.count(key) && child() != keys.end();)
        if (FAILED(status = RemoveInModel(keys, *child())))
            return status;
    if (child() != keys.end() || machine.failDelete.count(key))
        return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    keys.erase(std::find(keys.begin(), keys.end(), key));
    return S_OK;
}

TEST(Model, DeleteRegTreeRemovesWhatTheReferenceRemoves)
{
    ForEachCase([](std::mt19937& random) {
        Paths keys = {"K"};
        for (int i = random() % 12; i > 0; --i)
            keys.push_back(keys[random() % keys.size()] + "\\" + "abc"[random() % 3]);
        for (const std::string& key : keys) {
            fake::addKey(key);
            if (random() % 12 == 0)
                machine.failOpen[key] = ERROR_ACCESS_DENIED;
            if (random() % 12 == 0)
                machine.failEnum[key] = 1018;
            if (random() % 12 == 0)
                machine.failDelete[key] = (NTSTATUS)0xC0000022;
        }
        Paths model = fake::keys();
        const HRESULT status = RemoveInModel(model, "K");
        EXPECT_EQ(DeleteRegTree(HKEY_CLASSES_ROOT, "K"), status);
        EXPECT_EQ(fake::keys(), model);
    });
}

TEST(Model, SweepFolderDeletesWhatTheReferenceMatches)
{
    const char* const names[] = {"quillodeck.OCX", "Fennoxel.inf", "MERROWIND.OCX", "QUILLODECK.INF",
                                 "conflict", "xConFlicT", "CONFLI", "QUILLODECK.OC", "MERROWIND.OCX~"};
    ForEachCase([&](std::mt19937& random) {
        const bool system = random() % 2;
        bool verdict = true;
        Paths staying = {"C:\\F"};
        fake::addFolder("C:\\F");
        for (int i = random() % 9; i > 0; --i) {
            const std::string name = names[random() % 9], path = "C:\\F\\" + name;
            const bool directory = random() % 2, locked = random() % 5 == 0;
            if (machine.files.count(path))
                continue;
            fake::addFile(path, directory ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE);
            std::string upper = name;
            std::transform(name.begin(), name.end(), upper.begin(), ::toupper);
            const bool match = upper == "QUILLODECK.OCX" || upper == "MERROWIND.OCX" ||
                               (!system && (upper == "FENNOXEL.INF" || upper == "QUILLODECK.INF" ||
                                            (directory && upper.find("CONFLIC") != std::string::npos)));
            if (locked)
                machine.undeletable.push_back(path);
            if (!match || locked)
                staying.push_back(path);
            verdict = verdict && !(match && locked);
        }
        std::sort(staying.begin(), staying.end());
        EXPECT_EQ(SweepFolder("C:\\F", system ? SystemFolderRules : DownloadedControlsRules), verdict);
        EXPECT_EQ(fake::files(), staying);
    });
}

}  // namespace
