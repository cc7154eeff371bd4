// Times the removal engine against Windows' own routines on the same work, in one process, on
// fresh data for every run: each benchmark prints a line per run, then the tables of medians follow
// in the same order. Every timed operation is checked afterwards; a wrong result ends the program
// with exit code 1. The folders are left behind in kBenchFolder for the throwaway prefix to take
// with it.
#include <stdio.h>

#include "BenchHarness.h"

int main()
{
    const double benchStart = Now();
    const TablePrinter printRegTreeTable = RunRegTreeBench();
    MakeFolder(kBenchFolder);  // the sweep's folders and the profiles' hives go there
    const TablePrinter printSweepTable = RunSweepBench();
    const TablePrinter printProfilesTable = RunProfilesBench();
    const TablePrinter printInterfacesTable = RunInterfacesBench();

    printf("\nMedians of %d runs; setup: creating both copies of the data.\n", kRuns);
    printRegTreeTable();
    printSweepTable();
    printProfilesTable();
    printInterfacesTable();
    printf("\nWhole benchmark: %.0f s\n", Now() - benchStart);
    return 0;
}
