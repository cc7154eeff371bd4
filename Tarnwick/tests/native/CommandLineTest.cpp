// The table of command lines, good and bad, and what each asks for.
#include <gtest/gtest.h>

#include "CommandLine.h"
#include "FakeMachine.h"

namespace {

// The arguments after the program's path, and what they ask for: a request, the mode and log of
// an unattended run; "87" alone is the exit code of a refused line, shown nowhere.
struct LineCase {
    std::vector<LPCWSTR> arguments;
    std::string request;
};

const LineCase kLines[] = {
    {{}, "dialog"},
    {{L"/?"}, "usage"},
    {{L"-?"}, "usage"},
    {{L"/q"}, "quiet"},
    {{L"-QUIET", L"/Quiet"}, "quiet"},
    {{L"/cHeck"}, "check"},
    {{L"/quiet", L"/log", L"C:\\日志\\a b.log"}, "quiet, log C:\\日志\\a b.log"},
    {{L"-LOG", L"x.log", L"-check"}, "check, log x.log"},
    {{L"/quiet", L"/check"}, "87"},
    {{L"/check", L"/log"}, "87"},
    {{L"/q", L"/log", L""}, "87"},
    {{L"/q", L"/log", L"/check"}, "87"},
    {{L"/q", L"/log", L"a.log", L"/log", L"b.log"}, "87"},
    {{L"/check", L"/?"}, "87"},
    {{L"/check", L"check.log"}, "87"},
    {{L"/quieter"}, "usage, 87"},
    {{L"quiet"}, "usage, 87"},
    {{L"/"}, "usage, 87"},
    {{L"/log", L"x.log"}, "usage, 87"},
    {{L"/?", L"/?"}, "usage, 87"},
};

const char* const kRequests[] = {"dialog", "usage", "usage, 87", "", "87"};
const char* const kModes[] = {"interactively", "quiet", "check"};

std::string Describe(const CommandLine& line)
{
    std::string text = kRequests[line.request];
    if (line.request == CommandLine::kUnattended)
        text = kModes[line.mode];
    if (line.logPath != NULL)
        text += ", log " + fake::Utf8(line.logPath);
    return text;
}

TEST(CommandLineTest, EachLineAsksForWhatItSays)
{
    for (const LineCase& test : kLines) {
        SCOPED_TRACE("row " + std::to_string(&test - kLines));
        std::vector<LPCWSTR> argv = {L"Tarnwick.exe"};
        argv.insert(argv.end(), test.arguments.begin(), test.arguments.end());

        EXPECT_EQ(Describe(ParseCommandLine(argv.size(), argv.data())), test.request);
    }
}

}  // namespace
