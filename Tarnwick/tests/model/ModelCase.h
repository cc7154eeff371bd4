// Runs randomized cases against the in-memory machine, each from a seed of its own, so that any
// failing case can be replayed alone.
//
//   TARNWICK_SEED   the first seed (default 1)
//   TARNWICK_CASES  how many cases, seeds TARNWICK_SEED, TARNWICK_SEED + 1, ... (default: the
//                   test's own count, or 1 when TARNWICK_SEED is given)
//
// Every failure carries its seed and the command that reruns it.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#endif

#include <exception>
#include <random>
#include <string>
#include <vector>

#include "FakeMachine.h"

namespace model {

// The random choices of one case. The draws are plain arithmetic on the engine's output, so a
// seed gives the same case with every standard library.
class Random {
public:
    explicit Random(uint32_t seed) : engine_(seed) {}

    uint32_t below(uint32_t n) { return engine_() % n; }
    int between(int low, int high) { return low + (int)below((uint32_t)(high - low + 1)); }
    bool percent(int chance) { return below(100) < (uint32_t)chance; }
    template <typename T>
    const T& pick(const std::vector<T>& items) { return items[below((uint32_t)items.size())]; }

private:
    std::mt19937 engine_;
};

// The name with the letters a-z and A-Z each turned to upper or lower case at random.
inline std::string RandomCase(Random& random, std::string name)
{
    for (char& c : name) {
        if (c >= 'a' && c <= 'z' && random.percent(50))
            c = c - 'a' + 'A';
        else if (c >= 'A' && c <= 'Z' && random.percent(50))
            c = c - 'A' + 'a';
    }
    return name;
}

// The letters a-z turned into A-Z, every other byte as it is.
inline std::string UpperAscii(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = c - 'a' + 'A';
    return text;
}

// Text with bytes outside printable ASCII written as \xNN, for failure messages.
inline std::string Printable(const std::string& text)
{
    std::string out;
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7F) {
            out += (char)c;
        } else {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\x%02X", c);
            out += escaped;
        }
    }
    return out;
}

inline bool ReadNumber(const char* name, unsigned long& value)
{
    const char* text = getenv(name);
    if (text == nullptr || *text == '\0')
        return false;
    char* end;
    value = strtoul(text, &end, 10);
    if (*end != '\0') {
        ADD_FAILURE() << name << " is not a number: " << text;
        value = 0;
    }
    return true;
}

// The rerun line of the case under way, for the failures that end the process before any
// assertion can report them: an abort, or a sanitizer's report.
inline char g_rerun[512];

inline void PrintRerun()
{
    ssize_t written = write(2, g_rerun, strlen(g_rerun));
    (void)written;
}

inline void PrintRerunAndAbort(int signal)
{
    PrintRerun();
    ::signal(signal, SIG_DFL);
    raise(signal);
}

// Runs runCase(random) for each seed on a freshly reset machine. After each case every key handle,
// search, file handle and ID list the engine obtained must have been released and no call may have
// misused the platform. Stops at the first failing case.
template <typename RunCase>
void RunCases(unsigned long defaultCount, RunCase runCase)
{
    unsigned long first = 1, count = defaultCount;
    if (ReadNumber("TARNWICK_SEED", first))
        count = 1;
    ReadNumber("TARNWICK_CASES", count);
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string filter = std::string(test->test_suite_name()) + "." + test->name();

    signal(SIGABRT, PrintRerunAndAbort);
#if defined(__SANITIZE_ADDRESS__)
    __sanitizer_set_death_callback(PrintRerun);
#endif
    for (unsigned long i = 0; i < count; ++i) {
        const unsigned long seed = first + i;
        const std::string rerun = "seed " + std::to_string(seed) + "; rerun: TARNWICK_SEED=" + std::to_string(seed) +
                                  " tarnwick_model_tests --gtest_filter=" + filter;
        snprintf(g_rerun, sizeof g_rerun, "case ended the process: %s\n", rerun.c_str());
        SCOPED_TRACE(rerun);
        fake::reset();
        Random random((uint32_t)seed);
        try {
            runCase(random);
        } catch (const std::exception& error) {
            ADD_FAILURE() << "exception: " << error.what();
        }
        const fake::Counters& counters = fake::counters();
        EXPECT_EQ(counters.keysOpened, counters.keysClosed) << "registry keys left open";
        EXPECT_EQ(counters.searchesOpened, counters.searchesClosed) << "file searches left open";
        EXPECT_EQ(counters.idListsObtained, counters.idListsFreed) << "ID lists not freed";
        EXPECT_EQ(counters.filesOpened, counters.filesClosed) << "file handles left open";
        EXPECT_EQ(fake::problems(), std::vector<std::string>()) << "platform misused";
        if (::testing::Test::HasFailure())
            break;
    }
    signal(SIGABRT, SIG_DFL);
#if defined(__SANITIZE_ADDRESS__)
    __sanitizer_set_death_callback(nullptr);
#endif
    if (!::testing::Test::HasFailure())
        printf("[  model   ] %s: %lu cases, seeds %lu to %lu\n", filter.c_str(), count, first, first + count - 1);
}

}  // namespace model
