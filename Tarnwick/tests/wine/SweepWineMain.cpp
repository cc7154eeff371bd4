// Runs the sweep tests in one of two settings of the Unix trash. Wine's shell looks for the trash
// once per process, at the first deletion, and makes $XDG_DATA_HOME/Trash if it can; so each
// setting needs its own run:
//   --trash     XDG_DATA_HOME lies inside the throwaway HOME: deleted items must land in its trash;
//   --no-trash  XDG_DATA_HOME names a folder that does not exist: there can be no trash, and
//               deleted items are gone for good.
#include <stdio.h>
#include <string.h>

#include <gtest/gtest.h>

#include "SweepWineTest.h"

using wine_machine::EnvironmentVariable;
using wine_machine::Exists;
using wine_machine::Trash;
using wine_machine::WindowsPath;

namespace {

Trash trash;
bool trashPresent = false;

class TrashSetting : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (trashPresent) {
            ASSERT_TRUE(Trash::Locate(&trash));
            ASSERT_TRUE(Exists(trash.DataHome())) << trash.DataHome();
        } else {
            ASSERT_TRUE(NoDataHome());
        }
    }

    void TearDown() override
    {
        if (!trashPresent) {
            EXPECT_TRUE(NoDataHome());
        }
    }

private:
    static ::testing::AssertionResult NoDataHome()
    {
        std::string dataHome = EnvironmentVariable("XDG_DATA_HOME");
        if (dataHome.empty() || dataHome[0] != '/')
            return ::testing::AssertionFailure() << "XDG_DATA_HOME must be an absolute path";
        std::string path = WindowsPath(dataHome);
        if (path.empty() || Exists(path))
            return ::testing::AssertionFailure()
                   << "XDG_DATA_HOME (" << dataHome << ") must not exist, so that no trash can be made";
        return ::testing::AssertionSuccess();
    }
};

}  // namespace

const Trash* TheTrash()
{
    return trashPresent ? &trash : NULL;
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (argc != 2 || (strcmp(argv[1], "--trash") != 0 && strcmp(argv[1], "--no-trash") != 0)) {
        fprintf(stderr, "usage: %s --trash | --no-trash [GoogleTest options]\n", argv[0]);
        return 2;
    }
    trashPresent = strcmp(argv[1], "--trash") == 0;
    ::testing::AddGlobalTestEnvironment(new TrashSetting);
    return RUN_ALL_TESTS();
}
