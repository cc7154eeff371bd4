// The table of command lines, good and bad, and what each asks for.
#include <gtest/gtest.h>

#include "CommandLine.h"
#include "FakeMachine.h"

namespace {

// The arguments after the program's path, and what they ask for: a request, the mode and log of
// an unattended run; "87" alone is the exit code of a refused line, shown nowhere.
struct LineCase {
    std::vector<std::string> arguments;
    std::string request;
};

const LineCase kLines[] = {
    {{}, "dialog"},
    {{"/?"}, "usage"},
    {{"-?"}, "usage"},
    {{"/q"}, "quiet"},
    {{"-QUIET", "/Quiet"}, "quiet"},
    {{"/cHeck"}, "check"},
    {{"/quiet", "/log", "C:\\日志\\a b.log"}, "quiet, log C:\\日志\\a b.log"},
    {{"-LOG", "x.log", "-check"}, "check, log x.log"},
    {{"/quiet", "/check"}, "87"},
    {{"/check", "/log"}, "87"},
    {{"/q", "/log", ""}, "87"},
    {{"/q", "/log", "/check"}, "87"},
    {{"/q", "/log", "a.log", "/log", "b.log"}, "87"},
    {{"/check", "/?"}, "87"},
    {{"/check", "check.log"}, "87"},
    {{"/quieter"}, "usage, 87"},
    {{"quiet"}, "usage, 87"},
    {{"/"}, "usage, 87"},
    {{"/log", "x.log"}, "usage, 87"},
    {{"/?", "/?"}, "usage, 87"},
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
        std::vector<std::vector<WCHAR>> texts = {fake::Utf16("Tarnwick.exe")};
        for (const std::string& argument : test.arguments)
            texts.push_back(fake::Utf16(argument));
        std::vector<LPCWSTR> argv;
        for (const std::vector<WCHAR>& text : texts)
            argv.push_back(text.data());

        EXPECT_EQ(Describe(ParseCommandLine(argv.size(), argv.data())), test.request);
    }
}

}  // namespace
