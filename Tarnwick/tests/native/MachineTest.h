// The fixture of every native test: a fresh in-memory machine before the test, and afterwards the
// check that every key handle, search handle, file handle and ID list the engine obtained has been released
// once, and that no call misused the platform.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "FakeMachine.h"

// The folders the uninstall procedure sweeps, as the machine's special folders give them.
const std::string kDownloaded = "C:\\WINDOWS\\Downloaded Program Files";
const std::string kSystem = "C:\\WINDOWS\\system32";

// A folder path of exactly length bytes, made of names of at most 150 bytes.
inline std::string FolderOfLength(size_t length)
{
    std::string path = "C:";
    while (path.size() < length) {
        size_t remaining = length - path.size() - 1;
        path += "\\" + std::string(remaining > 150 ? 100 : remaining, 'f');
    }
    return path;
}

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
        EXPECT_EQ(counters.filesOpened, counters.filesClosed) << "file handles left open";
        EXPECT_EQ(fake::problems(), std::vector<std::string>());
    }
};
