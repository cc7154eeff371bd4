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
        EXPECT_EQ(fake::machine.problems, std::vector<std::string>());
    }

    // Checks the machine as TearDown does, then starts a fresh one.
    void NewMachine()
    {
        TearDown();
        fake::machine = fake::Machine();
    }
};

// One reported item, its path spelt as the fake machine spells it ("HKCU\...", "C:\...").
struct ItemReport {
    std::string path;
    ItemFate fate;
    DWORD code;
};

class RecordingObserver : public RemovalObserver {
public:
    void OnItem(HKEY root, LPCWSTR path, ItemFate fate, DWORD code) override
    {
        std::string prefix;
        if (root == HKEY_CURRENT_USER)
            prefix = "HKCU\\";
        if (root == HKEY_LOCAL_MACHINE)
            prefix = "HKLM\\";
        reports.push_back(ItemReport{prefix + fake::Utf8(path), fate, code});
    }

    void OnWaiting() override
    {
        ++waits;
    }

    std::vector<ItemReport> reports;
    int waits = 0;
};
