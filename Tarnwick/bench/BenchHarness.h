// What the benchmarks share: the clock, medians, failure, the tables of medians, and a whole
// unattended removal timed. Each benchmark is a function of its own file that runs, prints a line
// per run and returns its table, which main prints once every benchmark has run.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

const int kRuns = 5;

// Numbers of keys in a tree and of entries in a folder.
const int kSizes[] = {1000, 10000, 50000};

// The folder below which the benchmarks create their files: the throwaway prefix takes it with it.
const char kBenchFolder[] = "C:\\tarnwick-bench";

// Seconds since an arbitrary start, from the performance counter.
double Now();

double Median(std::vector<double> samples);

// Prints what failed, where, and its code, and ends the program with exit code 1.
[[noreturn]] void Fail(const char* what, const char* where, long code);

// The engine takes Unicode names; the conversion happens before the clock starts.
void Widen(const char* text, WCHAR (&wide)[MAX_PATH]);

void MakeFolder(const char* path);

// A whole unattended removal, quiet, reaching every profile; it must end with exit code 0.
double TimeRemoval();

struct Row {
    int count;
    double ours;    // seconds, median
    double theirs;  // seconds, median
    double setup;   // seconds to create both copies, median
};

// A table of medians by count, with each side's time per entry.
void PrintTable(const char* title, const char* unit, const char* ourName, const char* theirName,
                const std::vector<Row>& rows);

// Prints a benchmark's tables of medians; main calls it after every benchmark's lines per run.
using TablePrinter = std::function<void()>;

// The benchmarks, in the order main runs them.
TablePrinter RunRegTreeBench();
TablePrinter RunSweepBench();
TablePrinter RunProfilesBench();
TablePrinter RunInterfacesBench();
