// The native tests' fixture: a fresh in-memory machine, then a check that the engine released
// every handle and ID list and misused nothing; and an observer that keeps what a removal reports.
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

    std::vector<ItemReport> reports;
};
