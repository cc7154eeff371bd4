// Randomized checks of DeleteRegTree and SweepFolder against plain reference models. The cases run
// with seeds TARNWICK_SEED (default 1) and up, TARNWICK_CASES of them (default 1,000); a failure
// names its seed, which TARNWICK_SEED=that TARNWICK_CASES=1 replays.
#include <stdlib.h>

#include <algorithm>
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
        EXPECT_EQ(machine.handles.size(), 0u);
    }
}

bool IsChild(const std::string& key, const std::string& parent)
{
    return key.rfind(parent + "\\", 0) == 0 && key.find('\\', parent.size() + 1) == std::string::npos;
}

// Removes the first child in sorted order until none is left, then the key; the first failure
// ends the walk.
HRESULT RemoveInModel(Paths& keys, const std::string& key)
{
    if (machine.failOpen.count(key))
        return HRESULT_FROM_WIN32(machine.failOpen[key]);
    auto child = [&] { return std::find_if(keys.begin(), keys.end(), [&](auto& k) { return IsChild(k, key); }); };
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
                                 "conflict", "xConFlicT", "CONFLI", "QUILLODECK.OC"};
    ForEachCase([&](std::mt19937& random) {
        const bool system = random() % 2;
        Paths model = {"C:\\F"}, seen;
        fake::addFolder("C:\\F");
        bool verdict = true;
        for (int i = random() % 10; i > 0; --i) {
            std::string name = names[random() % 8] + std::string(random() % 4 == 0, '~');
            if (std::count(seen.begin(), seen.end(), name))
                continue;
            seen.push_back(name);
            const bool directory = random() % 2, locked = random() % 5 == 0;
            fake::addFile("C:\\F\\" + name, directory ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE);
            if (locked)
                machine.undeletable.push_back("C:\\F\\" + name);
            std::transform(name.begin(), name.end(), name.begin(), ::toupper);
            const bool match = name == "QUILLODECK.OCX" || name == "MERROWIND.OCX" ||
                               (!system && (name == "FENNOXEL.INF" || name == "QUILLODECK.INF" ||
                                            (directory && name.find("CONFLIC") != std::string::npos)));
            if (!match || locked)
                model.push_back("C:\\F\\" + seen.back());
            verdict = verdict && !(match && locked);
        }
        std::sort(model.begin(), model.end());
        EXPECT_EQ(SweepFolder("C:\\F", system ? SystemFolderRules : DownloadedControlsRules), verdict);
        EXPECT_EQ(fake::files(), model);
    });
}

}  // namespace
