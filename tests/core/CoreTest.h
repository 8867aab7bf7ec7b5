#pragma once

// A small test harness for the plain C++ core, which builds where the toolkit does not (the Windows
// cross-build runs it under Wine): checks count, failures are printed with their place, and the run
// ends with "N passed, N failed".

#include <cstdio>
#include <vector>

namespace CoreTest {

inline int passed = 0, failed = 0; // constant-initialised, so counted from the first suite on

inline void check(bool ok, const char *what, const char *file, int line) {
    if (!ok)
        std::printf("FAIL %s:%d: %s\n", file, line, what);
    ++(ok ? passed : failed);
}

using Suite = void (*)();
inline std::vector<Suite> &suites() {
    static std::vector<Suite> all;
    return all;
}

} // namespace CoreTest

#define CHECK(cond) CoreTest::check((cond), #cond, __FILE__, __LINE__)
#define CORE_SUITE(name)                                                                                     \
    static void name();                                                                                      \
    static const bool name##Registered = (CoreTest::suites().push_back(name), true);                         \
    static void name()
