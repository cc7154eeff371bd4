// The fixture of every native test: a fresh in-memory machine, and afterwards the check that the
// engine released every handle and ID list it obtained and misused nothing.
#pragma once

#include <gtest/gtest.h>

#include "FakeMachine.h"

class MachineTest : public ::testing::Test {
protected:
    void SetUp() override { fake::reset(); }
    void TearDown() override
    {
        EXPECT_EQ(fake::openHandles(), 0) << "handles or ID lists left open";
        EXPECT_EQ(fake::problems, std::vector<std::string>());
    }
};
