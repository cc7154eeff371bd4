// The fixture of every native test: a fresh in-memory machine, and afterwards the check that the
// engine released every handle and ID list it obtained and misused nothing.
#pragma once

#include <gtest/gtest.h>

#include "FakeMachine.h"

class MachineTest : public ::testing::Test
{
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
