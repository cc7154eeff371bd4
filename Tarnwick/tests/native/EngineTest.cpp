// Randomized checks of what DeleteRegTree and SweepFolder must and must not remove, with seeds
// TARNWICK_SEED (default 1) and up, TARNWICK_CASES of them (default 1,000). A failure names its
// seed: TARNWICK_SEED=that TARNWICK_CASES=1 replays it.
#include <stdlib.h>

#include <random>

#include "FolderSweep.h"
#include "MachineTest.h"
#include "PendingDeletions.h"
#include "RegTree.h"

namespace {

using fake::Contains;
using fake::Within;
using fake::machine;
using Paths = std::vector<std::string>;

template <typename Check>
void ForEachCase(Check check)
{
    const char* seed = getenv("TARNWICK_SEED");
    const char* cases = getenv("TARNWICK_CASES");
    const unsigned first = seed != NULL ? atoi(seed) : 1;
    const unsigned end = first + (cases != NULL ? atoi(cases) : 1000);
    for (unsigned i = first; i < end && !::testing::Test::HasFailure(); ++i) {
        SCOPED_TRACE("TARNWICK_SEED=" + std::to_string(i));
        machine = fake::Machine();
        std::mt19937 random(i);
        check(random);
        EXPECT_TRUE(machine.handles.empty());
        EXPECT_TRUE(machine.problems.empty());
    }
}

// Random trees below HKLM\K, with links inside or as K itself, names of 255 and 256 characters
// (the second cannot be listed), and failures anywhere. Nothing outside the tree changes, the
// status is 0 exactly when K is gone, and a key that fails stays with its ancestors.
TEST(Model, DeleteRegTreeRemovesTheTreeAndNothingElse)
{
    const std::string longest(255, 'L');
    const std::string names[] = {"a", "b", "ก", longest, longest + "L"};
    const LONG kOpenErrors[] = {ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND, 1018};
    ForEachCase([&](std::mt19937& random) {
        fake::addKey("HKLM\\Outside\\Tree");
        Paths tree = {"HKLM\\K"};
        for (int i = random() % 12; i > 0; --i)
            tree.push_back(tree[random() % tree.size()] + "\\" + names[random() % 5]);
        for (const std::string& key : tree) {
            fake::addKey(key);
            if (random() % 12 == 0)
                machine.failOpen[key] = kOpenErrors[random() % 3];
            if (random() % 12 == 0)
                machine.failDelete[key] = (NTSTATUS)0xC0000022;
            if (random() % 12 == 0)
                machine.failEnum[key] = 1018;
            if (random() % 8 == 0)
                fake::addKey(key + "\\Link", "HKLM\\Outside");
        }
        if (random() % 10 == 0) {
            machine = fake::Machine();
            fake::addKey("HKLM\\Outside\\Tree");
            fake::addKey("HKLM\\K", "HKLM\\Outside");
        }
        const Paths before = fake::keys();

        const HRESULT status = DeleteRegTree(HKEY_LOCAL_MACHINE, L"K");

        const Paths after = fake::keys();
        for (const std::string& key : before)
            EXPECT_TRUE(Contains(after, key) || Within(key, "HKLM\\K")) << key;
        EXPECT_EQ(status == S_OK, !Contains(after, "HKLM\\K"));
        // Not found says that K itself is absent, which only a vanished K is.
        const auto opening = machine.failOpen.find("HKLM\\K");
        const bool vanished = opening != machine.failOpen.end() &&
                              opening->second == ERROR_FILE_NOT_FOUND;
        EXPECT_EQ(status == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), vanished);
        bool clean = machine.failEnum.empty();
        for (const std::string& failing : before) {
            const bool unlisted = failing.find(names[4]) != std::string::npos;
            if (!unlisted && machine.failOpen.count(failing) == 0 &&
                machine.failDelete.count(failing) == 0)
                continue;
            clean = false;
            for (std::string key = failing; key != "HKLM"; key = key.substr(0, key.rfind('\\')))
                EXPECT_TRUE(Contains(after, key)) << key;
        }
        EXPECT_TRUE(status == S_OK || !clean);
    });
}

// The kinds of entry drawn: a file, a folder with contents, a junction to a folder outside, a Unix
// link listed as a plain file, and one to a sibling of the folder named like "C:\F~" + its name.
enum EntryKind { kFile, kFolder, kJunction, kUnixLink, kSiblingLink };

const struct {
    DWORD attributes;
    const char* linkTarget;
} kKinds[] = {
    {FILE_ATTRIBUTE_ARCHIVE, ""},
    {FILE_ATTRIBUTE_DIRECTORY, ""},
    {FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, "C:\\Outside"},
    {FILE_ATTRIBUTE_ARCHIVE, "C:\\F\\notes"},
    {FILE_ATTRIBUTE_ARCHIVE, "C:\\F~"},
};

// One entry of the swept folder C:\F, and what becomes of it.
struct DrawnEntry {
    std::string name;
    EntryKind kind;
    bool locked;
    bool shellKeeps;
    bool unreadable;
};

// The rule sets, read plainly: the listed names with a-z in either case; with conflict folders,
// any directory whose name holds CONFLIC in either case.
bool Selected(const DrawnEntry& entry, bool systemFolder)
{
    std::string upper = entry.name;
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z')
            c = c - 'a' + 'A';
    }
    Paths names = {"QUILLODECK.OCX", "MERROWIND.OCX", "FENNOXEL.OCX"};
    if (systemFolder)
        return Contains(names, upper);
    const bool directory = (kKinds[entry.kind].attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return Contains(names, upper) || upper == "FENNOXEL.INF" || upper == "QUILLODECK.INF" ||
           (directory && upper.find("CONFLIC") != std::string::npos);
}

// Whether a selected entry stays: a link listed as a plain file resolves outside the folder; a
// locked entry cannot go; what the shell leaves stays (only the dialog deletes through the shell),
// but a junction is removed as itself.
bool Stays(const DrawnEntry& entry, RemovalMode mode)
{
    if (entry.kind == kUnixLink || entry.kind == kSiblingLink || entry.locked)
        return true;
    return mode == kRemoveInteractively && entry.shellKeeps && entry.kind != kJunction;
}

void Seed(const DrawnEntry& entry, const std::string& path)
{
    std::string target = kKinds[entry.kind].linkTarget;
    if (entry.kind == kSiblingLink) {
        target += entry.name;
        fake::addFile(target);
    }
    fake::addFile(path, kKinds[entry.kind].attributes, target);
    if (entry.kind == kFolder)
        fake::addFile(path + "\\inner");
    if (entry.locked)
        fake::holdOpen(path);
    if (entry.shellKeeps)
        machine.shellKeeps.push_back(path);
    if (entry.unreadable)
        machine.unreadable.push_back(path);
}

// Random folders of every kind of entry, with names near the rules', beginning with a dot or
// outside any code page (元 is U+5143, whose low byte is C), entries that cannot be deleted, that
// the shell leaves, or whose presence cannot be told; both rule sets, every mode, Windows before
// Vista. What the rules select goes unless it must stay (in a check, all stays), the rest stays,
// the verdict is "swept" exactly when nothing selected stays, and each selected entry is reported
// once, as removed exactly when it is gone, and by a check as present unless it is a link.
TEST(Model, SweepFolderRemovesWhatTheRulesSelectAndNothingElse)
{
    const char* const names[] = {
        "quillodeck.OCX", "Fennoxel.inf", "MERROWIND.OCX", "QUILLODECK.INF", "FENNOXEL.OCX",
        "conflict", "xConFlicT", "卸conflict", "CONFLICTก", ".CONFLICT.1", "CONFLI",
        "QUILLODECK.OC", ".quillodeck.ocx", "MERROWIND.OCX~", "ก", "元ONFLICT",
    };
    const int kNameCount = sizeof names / sizeof names[0];
    ForEachCase([&](std::mt19937& random) {
        const bool systemFolder = random() % 2 == 0;
        const RemovalMode mode = (RemovalMode)(random() % 3);
        // An unattended removal deletes without the shell.
        if (mode == kRemoveQuietly)
            machine.shellFlags = 0;
        machine.beforeVista = random() % 5 == 0;
        fake::addFile("C:\\F\\notes");
        fake::addFile("C:\\Outside\\file");
        Paths staying = {"C:\\F", "C:\\F\\notes", "C:\\Outside", "C:\\Outside\\file"};
        Paths selected;
        Paths links;
        bool verdict = true;
        for (int i = random() % 9; i > 0; --i) {
            DrawnEntry entry;
            entry.name = names[random() % kNameCount];
            // Before Vista the sweep cannot tell a link that the listing shows as a file.
            entry.kind = (EntryKind)(random() % (machine.beforeVista ? 3 : 5));
            entry.locked = random() % 6 == 0;
            entry.shellKeeps = random() % 6 == 0;
            entry.unreadable = entry.shellKeeps && random() % 2 == 0;
            const std::string path = "C:\\F\\" + entry.name;
            if (machine.files.count(path) != 0)
                continue;
            Seed(entry, path);
            const bool isSelected = Selected(entry, systemFolder);
            const bool stays = !isSelected || mode == kCheckOnly || Stays(entry, mode);
            // An unattended removal empties a selected folder that it cannot delete.
            const bool emptied = isSelected && mode == kRemoveQuietly;
            if (isSelected)
                selected.push_back(path);
            if (entry.kind != kFile && entry.kind != kFolder)
                links.push_back(path);
            if (stays)
                staying.push_back(path);
            if (stays && entry.kind == kFolder && !emptied)
                staying.push_back(path + "\\inner");
            if (entry.kind == kSiblingLink)
                staying.push_back("C:\\F~" + entry.name);
            if (isSelected && stays)
                verdict = false;
        }
        std::sort(staying.begin(), staying.end());
        const SweepRules& rules = systemFolder ? SystemFolderRules : DownloadedControlsRules;

        RecordingObserver observer;

        const SweepVerdict swept = SweepFolder(L"C:\\F", L"C:\\F", rules, {mode, NULL, &observer});

        EXPECT_EQ(swept == kFolderSwept, verdict);
        EXPECT_EQ(fake::files(), staying);
        Paths reported;
        for (const ItemReport& report : observer.reports) {
            reported.push_back(report.path);
            EXPECT_EQ(report.fate == kItemRemoved, !Contains(staying, report.path)) << report.path;
            const bool link = Contains(links, report.path);
            EXPECT_EQ(report.fate == kItemPresent, mode == kCheckOnly && !link) << report.path;
        }
        std::sort(reported.begin(), reported.end());
        std::sort(selected.begin(), selected.end());
        EXPECT_EQ(reported, selected);
    });
}

// An unattended removal deletes what it can now, a read-only entry too. A file in use (held open,
// locked, a module a program has loaded) goes at the next start, once in a list of any length,
// and so does a folder holding only such files, after them; a folder refused stays. A link goes as
// itself, never at the next start, and what it points to stays; a folder holding a link that
// resolves even opened as itself stays, or deleting that link could reach what it points to.
TEST_F(MachineTest, AnUnattendedRemovalSchedulesOnlyWhatIsInUse)
{
    machine.shellFlags = 0;
    // A list 100,000 characters long, as updates waiting for a restart leave it.
    for (int i = 0; i < 1000; ++i)
        machine.pending.push_back("\\??\\C:\\Temp\\" + std::to_string(i) + std::string(86, 'x'));
    Paths schedule = machine.pending;
    const std::string conflict = "C:\\F\\CONFLICT.1";
    const std::string linking = "C:\\F\\CONFLICT.2";
    const DWORD kJunction = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    fake::addFile(conflict + "\\A.OCX");
    fake::addFile(conflict + "\\link", kJunction, "C:\\Outside");
    fake::addFile(conflict + "\\sub\\B.OCX", FILE_ATTRIBUTE_READONLY);
    fake::addFile(conflict + "\\sub\\C.OCX", FILE_ATTRIBUTE_READONLY);
    fake::addFile(linking + "\\outside", FILE_ATTRIBUTE_ARCHIVE, "C:\\Outside\\file");
    fake::addFile("C:\\F\\FENNOXEL.OCX", FILE_ATTRIBUTE_READONLY);
    fake::addFile("C:\\F\\MERROWIND.OCX");
    fake::addFile("C:\\F\\QUILLODECK.OCX", FILE_ATTRIBUTE_REPARSE_POINT, "C:\\Outside\\file");
    fake::addFile("C:\\F\\CONFLICT.3", FILE_ATTRIBUTE_DIRECTORY);
    fake::addFile("C:\\Outside\\file");
    fake::holdOpen(conflict + "\\A.OCX");
    fake::holdOpen(conflict + "\\sub\\B.OCX", ERROR_LOCK_VIOLATION);
    fake::holdOpen("C:\\F\\MERROWIND.OCX", ERROR_ACCESS_DENIED);
    fake::holdOpen("C:\\F\\QUILLODECK.OCX");
    fake::holdOpen("C:\\F\\CONFLICT.3", ERROR_ACCESS_DENIED);
    Paths reported;

    for (int run = 0; run < 2; ++run) {
        PendingDeletions pending;
        pending.Read();
        RecordingObserver observer;
        const SweepWork work = {kRemoveQuietly, &pending, &observer};
        EXPECT_EQ(SweepFolder(L"C:\\F", L"C:\\F", DownloadedControlsRules, work), kEntriesStay);
        reported.clear();
        for (const ItemReport& report : observer.reports)
            reported.push_back(report.Line());
    }

    const Paths second = {conflict + " pending 145", linking + " link 0",
                          "C:\\F\\CONFLICT.3 failed 5", "C:\\F\\MERROWIND.OCX pending 5",
                          "C:\\F\\QUILLODECK.OCX failed 32"};
    EXPECT_EQ(reported, second);
    const std::string scheduled = "\\??\\" + conflict;
    for (const char* entry : {"\\A.OCX", "\\sub\\B.OCX", "\\sub", ""})
        schedule.push_back(scheduled + entry);
    schedule.push_back("\\??\\C:\\F\\MERROWIND.OCX");
    EXPECT_EQ(machine.pending, schedule);
    const Paths left = {"C:\\F", conflict, conflict + "\\A.OCX", conflict + "\\sub",
                        conflict + "\\sub\\B.OCX", linking, linking + "\\outside",
                        "C:\\F\\CONFLICT.3", "C:\\F\\MERROWIND.OCX", "C:\\F\\QUILLODECK.OCX",
                        "C:\\Outside", "C:\\Outside\\file"};
    EXPECT_EQ(fake::files(), left);
}

// The error of the key that failed is what a tree's removal reports, not its parent's that then
// could not go.
TEST_F(MachineTest, DeleteRegTreeReportsTheKeyThatFailed)
{
    fake::addKey("HKLM\\K\\Child");
    machine.failDelete["HKLM\\K\\Child"] = (NTSTATUS)0xC000017C;  // key deleted meanwhile

    EXPECT_EQ(DeleteRegTree(HKEY_LOCAL_MACHINE, L"K"), HRESULT_FROM_WIN32(ERROR_KEY_DELETED));
    EXPECT_EQ(fake::keys(), Paths({"HKLM", "HKLM\\K", "HKLM\\K\\Child"}));
}

}  // namespace
