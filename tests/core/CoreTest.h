#pragma once

// A small test harness for the plain C++ core, which builds where the toolkit does not (the Windows
// cross-build runs it under Wine): checks count, failures are printed with their place, and the run
// ends with "N passed, N failed".

#include <cstdio>
#include <utility>
#include <vector>

namespace CoreTest {

inline int passed = 0, failed = 0; // constant-initialised, so counted from the first suite on

inline void check(bool ok, const char *what, const char *file, int line) {
    if (!ok)
        std::printf("FAIL %s:%d: %s\n", file, line, what);
    ++(ok ? passed : failed);
}

using Suite = void (*)();
inline std::vector<std::pair<const char *, Suite>> &suites() {
    static std::vector<std::pair<const char *, Suite>> all;
    return all;
}

} // namespace CoreTest

#define CHECK(cond) CoreTest::check((cond), #cond, __FILE__, __LINE__)
#define CORE_SUITE(name)                                                                                     \
    static void name();                                                                                      \
    static const bool name##Registered = (CoreTest::suites().emplace_back(#name, name), true);               \
    static void name()
