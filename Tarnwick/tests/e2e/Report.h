// One line per check on standard output, and the closing tally.
#pragma once

#include <string>

// Makes lines end in LF only, as the output is read on the Unix side. Call before printing.
void OpenReport();

// Prints "PASS  <scenario>: <what>" or "FAIL  <scenario>: <what> (<detail>)" and counts the result.
// Returns ok, so that a caller can skip checks that depend on this one.
bool Check(bool ok, const std::string& what, const std::string& detail = std::string());

// Starts a group of checks; its name prefixes every line until the next scenario.
void Scenario(const std::string& name);

// Prints a line of information that is not a check.
void Note(const std::string& line);

// Prints "N passed, M failed" as the last line; returns the number of failed checks.
int CloseReport();

// UTF-8 form of a UTF-16 string, for printing.
std::string Utf8(const std::wstring& text);
