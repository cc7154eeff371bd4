#include "Report.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>

#include "WineUnix.h"

namespace {

int passed;
int failed;
std::string scenario;

void PrintLine(const std::string& line)
{
    fwrite(line.data(), 1, line.size(), stdout);
    fputc('\n', stdout);
    fflush(stdout);
}

}  // namespace

void OpenReport()
{
    _setmode(_fileno(stdout), _O_BINARY);
}

bool Check(bool ok, const std::string& what, const std::string& detail)
{
    (ok ? passed : failed)++;
    std::string line = (ok ? "PASS  " : "FAIL  ") + scenario + ": " + what;
    if (!ok && !detail.empty())
        line += " (" + detail + ")";
    PrintLine(line);
    return ok;
}

void Scenario(const std::string& name)
{
    scenario = name;
}

void Note(const std::string& line)
{
    PrintLine(line);
}

int CloseReport()
{
    PrintLine(std::to_string(passed) + " passed, " + std::to_string(failed) + " failed");
    return failed;
}

std::string Utf8(const std::wstring& text)
{
    return wine_unix::Narrow(text, CP_UTF8);
}
