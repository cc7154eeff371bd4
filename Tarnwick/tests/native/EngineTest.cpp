// DeleteRegTree and SweepFolder: their limits, and randomized checks against plain reference
// models. The randomized cases run with seeds TARNWICK_SEED (default 1) and up, TARNWICK_CASES of
// them (default 1,000); a failure names its seed, which TARNWICK_SEED=that TARNWICK_CASES=1 replays.
#include <stdlib.h>

#include <random>

#include "FolderSweep.h"
#include "MachineTest.h"
#include "RegTree.h"

namespace {

using fake::machine;
using Paths = std::vector<std::string>;

// An empty key name would open HKEY_CLASSES_ROOT itself, and the walk would empty it. The longest
// folder whose entries' paths, with the shell list's second NUL, fit the 1024-byte buffers is 762
// bytes: with a 259-byte name, 762 + 1 + 259 + 2.
TEST_F(MachineTest, TheEngineStaysWithinItsArgumentsAndBuffers) {
    fake::addKey("CLSID\\X");
    EXPECT_EQ(DeleteRegTree(HKEY_CLASSES_ROOT, ""), (HRESULT)0x80070057);
    EXPECT_EQ(DeleteRegTree(HKEY_CLASSES_ROOT, NULL), (HRESULT)0x80070057);
    EXPECT_EQ(fake::keys(), (Paths{"CLSID", "CLSID\\X"}));
    for (size_t length : {762, 763}) {
        const std::string file = "C:\\" + std::string(length - 3, 'f') + "\\QUILLODECK.OCX";
        fake::addFile(file);
        EXPECT_EQ(SweepFolder(file.substr(0, length).c_str(), DownloadedControlsRules), length == 762);
        EXPECT_EQ(machine.files.count(file), length == 762 ? 0u : 1u);
    }
}

template <typename Check>
void ForEachCase(Check check) {
    const char *seed = getenv("TARNWICK_SEED"), *cases = getenv("TARNWICK_CASES");
    const unsigned first = seed ? atoi(seed) : 1, end = first + (cases ? atoi(cases) : 1000);
    for (unsigned i = first; i < end && !::testing::Test::HasFailure(); ++i) {
        SCOPED_TRACE("TARNWICK_SEED=" + std::to_string(i));
        machine = fake::Machine();
        std::mt19937 random(i);
        check(random);
        EXPECT_TRUE(machine.handles.empty() && machine.problems.empty());
    }
}

// Removes the first child in sorted order until none is left, then the key. A child that cannot
// be listed (a name over 510 bytes) or that vanished ends the emptying; any other failure ends
// the walk.
HRESULT RemoveInModel(Paths& keys, const std::string& key) {
    auto child = [&] {
        return std::find_if(keys.begin(), keys.end(), [&](const std::string& other) {
            return other.rfind(key + "\\", 0) == 0 && other.find('\\', key.size() + 1) == std::string::npos;
        });
    };
    if (machine.failOpen.count(key)) return HRESULT_FROM_WIN32(machine.failOpen[key]);
    while (!machine.failEnum.count(key) && child() != keys.end() && child()->size() - key.size() <= 511) {
        const HRESULT status = RemoveInModel(keys, *child());
        if (status == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) break;
        if (FAILED(status)) return status;
    }
    if (child() != keys.end() || machine.failDelete.count(key)) return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    keys.erase(std::find(keys.begin(), keys.end(), key));
    return S_OK;
}

// Trees with failures anywhere, links inside (opened and removed as links: what they point to
// stays) and names of up to 255 and 256 double-byte characters.
TEST(Model, DeleteRegTreeRemovesWhatTheReferenceRemoves) {
    const std::string names[] = {"a", "b", "c", std::string(510, '\xB6'), std::string(512, '\xB6')};
    const LONG kOpenErrors[] = {ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND, 1018 /* key deleted */};
    ForEachCase([&](std::mt19937& random) {
        fake::addKey("Outside\\Tree");
        Paths keys = {"K"};
        for (int i = random() % 12; i > 0; --i)
            keys.push_back(keys[random() % keys.size()] + "\\" + names[random() % 5]);
        for (const std::string& key : keys) {
            fake::addKey(key);
            if (random() % 12 == 0)
                machine.failOpen[key] = kOpenErrors[random() % 3];
            if (random() % 12 == 0) machine.failEnum[key] = 1018;
            if (random() % 12 == 0) machine.failDelete[key] = (NTSTATUS)0xC0000022;
            if (random() % 8 == 0) fake::addKey(key + "\\Link", "Outside");
        }
        if (random() % 10 == 0)  // the key itself a link
            machine.registry = {{"K", "Outside"}, {"Outside", ""}, {"Outside\\Tree", ""}};
        Paths model = fake::keys();
        const HRESULT status = RemoveInModel(model, "K");
        EXPECT_EQ(DeleteRegTree(HKEY_CLASSES_ROOT, "K"), status);
        EXPECT_EQ(fake::keys(), model);
    });
}

// Names in every case, near misses and a double-byte name; files, folders with contents, junctions
// and Unix links (a link to a file that the listing shows as a plain file, and that every call
// follows, as under Wine); entries that cannot be deleted or that the shell leaves; both rule
// sets; Windows before Vista.
TEST(Model, SweepFolderDeletesWhatTheReferenceMatches) {
    const char* const names[] = {"quillodeck.OCX", "Fennoxel.inf", "MERROWIND.OCX", "QUILLODECK.INF", "FENNOXEL.OCX",
                                 "conflict", "xConFlicT", "\x81" "conflict", "CONFLI", "QUILLODECK.OC", "MERROWIND.OCX~"};
    enum { kFile, kFolder, kJunction, kUnixLink };
    ForEachCase([&](std::mt19937& random) {
        const bool system = random() % 2;
        machine.beforeVista = random() % 5 == 0;
        fake::addFile("C:\\F\\notes");
        fake::addFile("C:\\Outside\\file");
        Paths staying = {"C:\\F", "C:\\F\\notes", "C:\\Outside", "C:\\Outside\\file"};
        bool verdict = true;
        for (int i = random() % 9; i > 0; --i) {
            const std::string name = names[random() % 11], path = "C:\\F\\" + name;
            const int kind = random() % (machine.beforeVista ? 3 : 4);
            const bool locked = random() % 6 == 0, kept = random() % 6 == 0;
            if (machine.files.count(path)) continue;
            const DWORD directory = kind == kFile || kind == kUnixLink ? 0 : FILE_ATTRIBUTE_DIRECTORY;
            fake::addFile(path, directory | (kind == kJunction ? FILE_ATTRIBUTE_REPARSE_POINT : 0),
                          kind == kJunction ? "C:\\Outside" : kind == kUnixLink ? "C:\\F\\notes" : "");
            if (kind == kFolder) fake::addFile(path + "\\inner");
            if (locked) machine.undeletable.push_back(path);
            if (kept) machine.shellKeeps.push_back(path);
            std::string upper = name;  // byte by byte, a-z only
            std::transform(name.begin(), name.end(), upper.begin(), [](char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; });
            const bool match = upper == "QUILLODECK.OCX" || upper == "MERROWIND.OCX" || upper == "FENNOXEL.OCX" ||
                               (!system && (upper == "FENNOXEL.INF" || upper == "QUILLODECK.INF" ||
                                            (directory && upper.find("CONFLIC") != std::string::npos)));
            const bool stays = !match || kind == kUnixLink || locked || (kept && kind != kJunction);
            if (stays) staying.push_back(path);
            if (stays && kind == kFolder) staying.push_back(path + "\\inner");
            verdict = verdict && !(match && stays);
        }
        std::sort(staying.begin(), staying.end());
        EXPECT_EQ(SweepFolder("C:\\F", system ? SystemFolderRules : DownloadedControlsRules), verdict);
        EXPECT_EQ(fake::files(), staying);
    });
}

}  // namespace
