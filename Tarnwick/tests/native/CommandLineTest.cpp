// The table of command lines, good and bad, and what each asks for.
#include <gtest/gtest.h>

#include "CommandLine.h"
#include "FakeMachine.h"

namespace {

// Whether anyone sees the program's windows, the arguments after the program's path, and what
// they ask for; an exit code alone ("0", "87") where nothing is shown.
struct LineCase {
    bool seen;
    std::vector<LPCWSTR> arguments;
    std::string request;
};

const bool kSeen = true;
const bool kUnseen = false;

const LineCase kLines[] = {
    {kSeen, {}, "dialog"},
    {kSeen, {L"/?"}, "usage, 0"},
    {kSeen, {L"/qn", L"/S", L"-silent", L"/q", L"/norestart"}, "quiet"},
    {kSeen, {L"/cHeck"}, "check"},
    {kSeen, {L"/quiet", L"/log", L"C:\\日志\\a b.log"}, "quiet, log C:\\日志\\a b.log"},
    {kSeen, {L"-LOG", L"x.log", L"-check"}, "check, log x.log"},
    {kSeen, {L"/check", L"/wait", L"0"}, "check, wait 0"},
    {kSeen, {L"/WAIT", L"3600", L"/q"}, "quiet, wait 3600"},
    {kSeen, {L"/q", L"/BLOCK"}, "quiet, block"},
    {kSeen, {L"-block", L"/check"}, "check, block"},
    {kSeen, {L"/quiet", L"/check"}, "87"},
    {kSeen, {L"/check", L"/log"}, "87"},
    {kSeen, {L"/q", L"/log", L""}, "87"},
    {kSeen, {L"/q", L"/log", L"/check"}, "87"},
    {kSeen, {L"/q", L"/log", L"a.log", L"/log", L"b.log"}, "87"},
    {kSeen, {L"/check", L"/?"}, "87"},
    {kSeen, {L"/q", L"/wait", L"3601"}, "87"},
    {kSeen, {L"/q", L"/wait", L"1s"}, "87"},
    {kSeen, {L"/q", L"/wait", L"5", L"/wait", L"5"}, "87"},
    {kSeen, {L"/quieter"}, "usage, 87"},
    {kSeen, {L"quiet"}, "usage, 87"},
    {kSeen, {L"/log", L"x.log"}, "usage, 87"},
    {kSeen, {L"/wait", L"5"}, "usage, 87"},
    {kSeen, {L"/block"}, "usage, 87"},
    {kSeen, {L"/?", L"/?"}, "usage, 87"},
    {kUnseen, {}, "87"},
    {kUnseen, {L"/?"}, "0"},
    {kUnseen, {L"/qn /norestart"}, "87"},
    {kUnseen, {L"/qn", L"/norestart"}, "quiet"},
    {kUnseen, {L"/block"}, "87"},
};

const char* const kModes[] = {"interactively", "quiet", "check"};

std::string Describe(const CommandLine& line)
{
    if (line.request == CommandLine::kDialog)
        return "dialog";
    if (line.request == CommandLine::kUsage)
        return "usage, " + std::to_string(line.exitCode);
    if (line.request == CommandLine::kNothing)
        return std::to_string(line.exitCode);
    std::string text = kModes[line.mode];
    if (line.logPath != NULL)
        text += ", log " + fake::Utf8(line.logPath);
    if (line.waitSeconds != 60)
        text += ", wait " + std::to_string(line.waitSeconds);
    if (line.block)
        text += ", block";
    return text;
}

TEST(CommandLineTest, EachLineAsksForWhatItSays)
{
    for (const LineCase& test : kLines) {
        SCOPED_TRACE("row " + std::to_string(&test - kLines));
        std::vector<LPCWSTR> argv = {L"Tarnwick.exe"};
        argv.insert(argv.end(), test.arguments.begin(), test.arguments.end());

        const CommandLine line = ParseCommandLine(argv.size(), argv.data(), test.seen);

        EXPECT_EQ(Describe(line), test.request);
    }
}

// Where no one can see the program's windows; and what the dialog's process exits with.
TEST(CommandLineTest, WindowsAreSeenWhereSomeoneSitsAtTheScreen)
{
    EXPECT_TRUE(WindowsAreSeen(true, true, 1));
    EXPECT_FALSE(WindowsAreSeen(false, true, 1));  // a service's station, without WSF_VISIBLE
    EXPECT_FALSE(WindowsAreSeen(true, true, 0));   // session 0, from Vista on
    EXPECT_TRUE(WindowsAreSeen(true, false, 0));   // Windows XP's console
    EXPECT_EQ(DialogExitCode(true, 2), 2);
    EXPECT_EQ(DialogExitCode(false, ERROR_INSTALL_USEREXIT), 1);
}

}  // namespace
