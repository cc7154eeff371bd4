// The fixture of every native test: a fresh in-memory machine before the test, and afterwards the
// check that every key handle, search handle and ID list the engine obtained has been released
// once, and that no call misused the platform.
#pragma once

#include <gtest/gtest.h>

#include "FakeMachine.h"

class MachineTest : public ::testing::Test {
protected:
    void SetUp() override { fake::reset(); }

    void TearDown() override { ExpectAllReleased(); }

    static void ExpectAllReleased()
    {
        const fake::Counters& counters = fake::counters();
        EXPECT_EQ(counters.keysOpened, counters.keysClosed) << "registry keys left open";
        EXPECT_EQ(counters.searchesOpened, counters.searchesClosed) << "file searches left open";
        EXPECT_EQ(counters.idListsObtained, counters.idListsFreed) << "ID lists not freed";
        EXPECT_EQ(fake::problems(), std::vector<std::string>());
    }
};
