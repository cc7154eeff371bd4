// Random folders swept with both rule sets: the entries deleted, the way each was deleted and the
// verdict must be what a plain reading of the rules gives, and nothing outside the folder changes.
#include <algorithm>

#include "FolderSweep.h"
#include "ModelCase.h"

namespace {

using model::Random;
using Names = std::vector<std::string>;

// What each rule set removes, written out here rather than taken from the engine.
const Names kDownloadedNames = {"FENNOXEL.OCX", "MERROWIND.OCX", "QUILLODECK.OCX", "QUILLODECK.INF",
                                "FENNOXEL.INF"};
const Names kSystemNames = {"FENNOXEL.OCX", "MERROWIND.OCX", "QUILLODECK.OCX"};

// The reference: an entry goes when its name, with a-z upper-cased byte by byte, is one of the
// names; or, in the downloaded-controls folder, when it is a directory (a directory link too)
// whose upper-cased name contains CONFLIC.
bool Selected(const std::string& name, bool directory, bool downloadedRules)
{
    const std::string upper = model::UpperAscii(name);
    for (const std::string& listed : downloadedRules ? kDownloadedNames : kSystemNames)
        if (upper == listed)
            return true;
    return downloadedRules && directory && upper.find("CONFLIC") != std::string::npos;
}

const std::vector<std::string> kFolders = {
    "C:\\WINDOWS\\Downloaded Program Files",
    "C:\\WINDOWS\\system32",
    "D:\\Conflict\\\xB2\xE2\xCA\xD4 conflict files",  // 测试: a folder named like a conflict folder
};

// A folder path of exactly length bytes. Up to 762 bytes, the sweep's 1024-byte buffers still
// hold the folder, a backslash, a 259-byte name and the shell list's two NULs.
std::string LongFolder(size_t length)
{
    std::string path = "D:\\Long";
    while (path.size() < length) {
        const size_t remaining = length - path.size();
        path += remaining == 1 ? std::string("g") : "\\" + std::string(std::min<size_t>(200, remaining - 1), 'g');
    }
    return path;
}

// Things outside every swept folder, some named like controls; they and every link target must
// survive each sweep.
const Names kOutsideFiles = {
    "C:\\WINDOWS\\FENNOXEL.OCX",           "C:\\WINDOWS\\CONFLICT.1\\inner.ocx",
    "C:\\Users\\me\\Documents\\report.doc", "C:\\Users\\me\\QUILLODECK.OCX",
    "C:\\Users\\me\\Conflict\\MERROWIND.OCX", "D:\\Conflict\\FENNOXEL.INF",
};
const Names kFolderTargets = {"C:\\Users\\me\\Documents", "C:\\Users\\me\\Conflict", "C:\\Users", "C:\\WINDOWS",
                              "D:\\Conflict", "C:\\Nowhere"};
const Names kFileTargets = {"C:\\Users\\me\\QUILLODECK.OCX", "C:\\Users\\me\\Documents\\report.doc",
                            "C:\\WINDOWS\\FENNOXEL.OCX", "C:\\Nowhere.ocx"};

// One character of a name: printable ASCII, or a code-page-936 double-byte character (lead byte
// 0x81-0xFE) whose second byte is often a lower-case letter, which the sweep's copy upper-cases.
std::string RandomCharacter(Random& random)
{
    static const std::string ascii = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ._-~()!{}#";
    if (random.percent(75))
        return std::string(1, ascii[random.below((uint32_t)ascii.size())]);
    std::string pair(1, (char)random.between(0x81, 0xFE));
    if (random.percent(50)) {
        pair += (char)random.between('a', 'z');
    } else {
        int trail;
        do
            trail = random.between(0x40, 0xFE);
        while (trail == 0x7F || trail == '\\');  // a backslash byte would split the fake's paths
        pair += (char)trail;
    }
    return pair;
}

std::string RandomText(Random& random, int shortest, int longest)
{
    std::string text;
    for (int n = random.between(shortest, longest); n > 0; --n)
        text += RandomCharacter(random);
    return text;
}

std::string RandomName(Random& random)
{
    const std::string listed = model::RandomCase(random, random.pick(kDownloadedNames));
    switch (random.below(6)) {
    case 0:
        return listed;
    case 1: {  // characters added before, after, or both
        const uint32_t where = random.below(3);
        return (where != 1 ? RandomText(random, 1, 3) : "") + listed + (where != 0 ? RandomText(random, 1, 3) : "");
    }
    case 2: {  // one character dropped or changed
        std::string name = listed;
        const size_t at = random.below((uint32_t)name.size());
        if (random.percent(50))
            name.erase(at, 1);
        else
            name.replace(at, 1, RandomCharacter(random));
        return name;
    }
    case 3: {  // "conflic" anywhere, sometimes as the tail of a double-byte character: "\x81" "conflic"
        std::string conflic = model::RandomCase(random, "conflic");
        if (random.percent(30))
            conflic = std::string(1, (char)random.between(0x81, 0xFE)) + conflic;
        return RandomText(random, 0, 3) + conflic + RandomText(random, 0, 3);
    }
    case 4: {
        static const Names nearMisses = {"conflc", "confli", "onflic", "c0nflic", "con flic", "cnoflic"};
        return RandomText(random, 0, 2) + model::RandomCase(random, random.pick(nearMisses)) + RandomText(random, 0, 2);
    }
    default:
        return RandomText(random, 1, 12);
    }
}

// A name not yet used in the folder (names compare case-insensitively).
std::string UniqueName(Random& random, Names& used)
{
    for (;;) {
        std::string name = RandomName(random);
        if (name.empty() || name == "." || name == ".." || name.size() > 255)
            continue;
        if (random.percent(3))  // up to the longest name
            name += std::string(random.between(0, 255 - (int)name.size()), '~');
        const std::string upper = model::UpperAscii(name);
        bool taken = false;
        for (const std::string& other : used)
            taken = taken || other == upper;
        if (!taken) {
            used.push_back(upper);
            return name;
        }
    }
}

// Attributes the sweep must not heed.
const std::vector<DWORD> kExtraAttributes = {FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM, FILE_ATTRIBUTE_READONLY,
                                             FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM};

// A Unix link is one as Wine presents it: listed as a plain file when it points to a file, and
// reaching its target whatever a call asks for, so it cannot be removed as a link.
enum Kind { kFile, kDirectory, kFileLink, kDirectoryLink, kUnixFileLink, kUnixDirectoryLink };
const char* const kKindNames[] = {"file", "directory", "file link", "directory link", "Unix file link",
                                  "Unix directory link"};

struct Entry {
    std::string path;
    Kind kind;
    bool unopenable;  // cannot be opened to learn where it really is
    bool examined;    // listed before the listing ended
};

bool IsWithin(const std::string& path, const std::string& root)
{
    return path == root || path.compare(0, root.size() + 1, root + "\\") == 0;
}

// Fills a directory of the swept folder with a few things, some named like controls (the sweep
// does not look inside), some of which cannot be deleted.
void FillDirectory(Random& random, const std::string& directory, Names& locked)
{
    fake::addFolder(directory);
    Names used;
    for (int n = random.between(0, 3); n > 0; --n) {
        std::string path = directory + "\\" + UniqueName(random, used);
        switch (random.below(3)) {
        case 0:
            fake::addFile(path);
            break;
        case 1:
            path += "\\" + random.pick(kDownloadedNames);
            fake::addFile(path);
            break;
        default:
            fake::addLink(path, random.pick(kFolderTargets), true);
            break;
        }
        if (random.percent(15)) {
            fake::failDeletion(path);
            locked.push_back(path);
        }
    }
}

TEST(SweepModel, DeletesExactlyWhatTheRulesSelectAndNothingElse)
{
    model::RunCases(1000, [](Random& random) {
        const std::string folder = random.percent(10) ? LongFolder(random.between(300, 762)) : random.pick(kFolders);
        const bool downloadedRules = random.percent(50);
        const SweepRules& rules = downloadedRules ? DownloadedControlsRules : SystemFolderRules;
        for (const std::string& path : kOutsideFiles)
            fake::addFile(path, "kept");

        // The folder: listable (most cases), refused, or absent (system32 always exists).
        const uint32_t state = random.below(20);
        const bool absent = state == 0 && folder != kFolders[1];
        const bool refused = state == 1;
        const bool listed = !absent && !refused;
        std::string setup = std::string(downloadedRules ? "downloaded" : "system") + " rules on " +
                            model::Printable(folder) + (absent ? " (absent)" : refused ? " (not listable)" : "");

        std::vector<Entry> entries;
        Names used, locked;
        if (!absent) {
            fake::addFolder(folder);
            for (int n = random.between(0, 30); n > 0; --n) {
                const std::string name = UniqueName(random, used);
                const Entry entry = {folder + "\\" + name, (Kind)random.below(6), random.percent(4), true};
                const DWORD attributes = random.percent(20) ? random.pick(kExtraAttributes) : 0;
                const size_t lockedBefore = locked.size();
                switch (entry.kind) {
                case kFile:
                    fake::addFile(entry.path, "", FILE_ATTRIBUTE_ARCHIVE | attributes);
                    break;
                case kDirectory:
                    fake::addFolder(entry.path, attributes);
                    FillDirectory(random, entry.path, locked);
                    break;
                case kFileLink:
                    fake::addLink(entry.path, random.pick(kFileTargets), false);
                    break;
                case kDirectoryLink:
                    fake::addLink(entry.path, random.pick(kFolderTargets), true);
                    break;
                case kUnixFileLink:
                    fake::addUnixLink(entry.path, random.pick(kFileTargets), false);
                    break;
                case kUnixDirectoryLink:
                    fake::addUnixLink(entry.path, random.pick(kFolderTargets), true);
                    break;
                }
                if (entry.unopenable)
                    fake::failOpen(entry.path);
                if (entry.kind != kDirectory && random.percent(15)) {
                    fake::failDeletion(entry.path);
                    locked.push_back(entry.path);
                }
                setup += "\n  " + model::Printable(name) + " (" + kKindNames[entry.kind] +
                         (locked.size() > lockedBefore ? ", cannot be deleted" : "") +
                         (entry.unopenable ? ", cannot be opened" : "") + ")";
                entries.push_back(entry);
            }
        }
        if (refused)
            fake::failListing(folder);
        if (listed && random.percent(5)) {
            const int limit = random.between(0, (int)entries.size());
            fake::endListingAfter(folder, limit);
            for (size_t i = limit; i < entries.size(); ++i)
                entries[i].examined = false;
            setup += "\n  listing ends after " + std::to_string(limit);
        }
        SCOPED_TRACE(setup);
        const Names before = fake::files();

        // The reference: every examined entry the rules select is deleted, a link by itself and
        // anything else by the shell; what cannot be deleted stays, with the folders holding it.
        // An entry that cannot be shown to be the folder's own (a Unix link, which resolves to
        // its target, or one that cannot be opened) is not touched and counts as a failure.
        bool expectedVerdict = listed;
        Names expectedCalls, expectedShellLists;
        std::vector<std::string> deletedRoots;
        for (const Entry& entry : entries) {
            const std::string name = entry.path.substr(folder.size() + 1);
            const bool listedAsDirectory =
                entry.kind == kDirectory || entry.kind == kDirectoryLink || entry.kind == kUnixDirectoryLink;
            if (!listed || !entry.examined || !Selected(name, listedAsDirectory, downloadedRules))
                continue;
            if (entry.unopenable || entry.kind == kUnixFileLink || entry.kind == kUnixDirectoryLink) {
                expectedVerdict = false;
                continue;
            }
            const char* call = entry.kind == kFileLink        ? "DeleteFileA "
                               : entry.kind == kDirectoryLink ? "RemoveDirectoryA "
                                                              : "SHFileOperationA ";
            expectedCalls.push_back(call + entry.path);
            if (entry.kind == kFile || entry.kind == kDirectory)
                expectedShellLists.push_back(entry.path + std::string(2, '\0'));
            deletedRoots.push_back(entry.path);
            for (const std::string& path : locked)
                if (IsWithin(path, entry.path))
                    expectedVerdict = false;
        }
        Names expectedFiles;
        for (const std::string& path : before) {
            bool deleted = false;
            for (const std::string& root : deletedRoots)
                deleted = deleted || IsWithin(path, root);
            for (const std::string& lockedPath : locked)
                deleted = deleted && !IsWithin(lockedPath, path);
            if (!deleted)
                expectedFiles.push_back(path);
        }

        EXPECT_EQ(SweepFolder(folder.c_str(), rules), expectedVerdict);

        Names calls;
        for (const fake::Call& call : fake::calls())
            if (call.name == "SHFileOperationA" || call.name == "DeleteFileA" || call.name == "RemoveDirectoryA")
                calls.push_back(call.name + " " + call.arg);
        EXPECT_EQ(calls, expectedCalls);
        Names shellLists;
        for (const fake::ShellOperation& operation : fake::shellOperations()) {
            shellLists.push_back(operation.from);
            EXPECT_EQ(operation.func, (UINT)FO_DELETE);
            EXPECT_EQ(operation.flags, FOF_NOCONFIRMATION | FOF_ALLOWUNDO);
            EXPECT_EQ(operation.owner, (HWND)NULL);
            EXPECT_TRUE(operation.toIsNull);
        }
        EXPECT_EQ(shellLists, expectedShellLists);
        // Every path of the machine: what the sweep must delete is gone, everything else (link
        // targets and all outside the folder) is where it was.
        EXPECT_EQ(fake::files(), expectedFiles);
        for (const std::string& path : kOutsideFiles)
            EXPECT_EQ(fake::contents(path), "kept") << path;
    });
}

}  // namespace
