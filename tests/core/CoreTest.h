#pragma once

// A small test harness for the plain C++ core, which builds where the toolkit does not (the Windows
// cross-build runs it under Wine): checks count, failures are printed with their place, and the run
// ends with "N passed, N failed".

#include <cstdio>
#include <string>

namespace CoreTest {

struct Tally {
    int passed = 0;
    int failed = 0;
};
Tally &tally();

inline void check(bool ok, const char *what, const char *file, int line) {
    if (ok) {
        ++tally().passed;
    } else {
        ++tally().failed;
        std::printf("FAIL %s:%d: %s\n", file, line, what);
    }
}

template <typename A, typename B>
void checkEqual(const A &actual, const B &expected, const char *what, const char *file, int line) {
    const bool ok = actual == expected;
    check(ok, what, file, line);
}

using Suite = void (*)();
int add(const char *name, Suite suite);

} // namespace CoreTest

#define CHECK(cond) CoreTest::check((cond), #cond, __FILE__, __LINE__)
#define CHECK_EQ(actual, expected)                                                                           \
    CoreTest::checkEqual((actual), (expected), #actual " == " #expected, __FILE__, __LINE__)
#define CORE_SUITE(name)                                                                                     \
    static void name();                                                                                      \
    static const int name##Registered = CoreTest::add(#name, name);                                          \
    static void name()
