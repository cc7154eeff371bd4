// The native tests' fixture: a fresh in-memory machine, then (also whenever a test starts another
// machine) a check that the engine released every handle and misused nothing; and an observer that
// keeps what a removal reports.
#pragma once

#include <gtest/gtest.h>

#include "FakeMachine.h"
#include "Removal.h"

class MachineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake::machine = fake::Machine();
    }

    void TearDown() override
    {
        EXPECT_TRUE(fake::machine.handles.empty()) << "handles or ID lists left open";
        EXPECT_TRUE(fake::machine.loadedHives.empty()) << "hives left loaded";
        EXPECT_FALSE(fake::machine.privileges) << "privileges left enabled";
        EXPECT_EQ(fake::machine.problems, std::vector<std::string>());
    }

    // Checks the machine as TearDown does, then starts a fresh one.
    void NewMachine()
    {
        TearDown();
        fake::machine = fake::Machine();
    }
};

inline void Unchanged()
{
}

// One reported item, its path spelt as the fake machine spells it ("HKCU\...", "C:\..."), a key's
// with its view (" [64]").
struct ItemReport {
    std::string path;
    ItemFate fate;
    DWORD code;

    // As the log tells it, after the path: "HKCU\Software [64] link 0".
    std::string Line() const
    {
        const char* const kFates[] = {"removed",  "absent",   "present", "link",
                                      "failed",   "pending",  "unreadable", "unloaded",
                                      "blocked",  "kept",     "open"};
        return path + " " + kFates[fate] + " " + std::to_string(code);
    }
};

class RecordingObserver : public RemovalObserver {
public:
    void OnItem(LPCWSTR item, ItemFate fate, DWORD code) override
    {
        std::string path = fake::Utf8(item);
        const char* const roots[][2] = {{"HKEY_CURRENT_USER", "HKCU"},
                                        {"HKEY_LOCAL_MACHINE", "HKLM"},
                                        {"HKEY_USERS", "HKU"}};
        for (const auto& root : roots) {
            if (fake::Within(path, root[0]))
                path = root[1] + path.substr(strlen(root[0]));
        }
        reports.push_back(ItemReport{path, fate, code});
    }

    void OnProfile(LPCWSTR sid, LPCWSTR folderName) override
    {
        profiles.push_back(fake::Utf8(sid) + " " + fake::Utf8(folderName));
    }

    void OnWaiting() override
    {
        ++waits;
    }

    std::vector<ItemReport> reports;
    std::vector<std::string> profiles;
    int waits = 0;
};
