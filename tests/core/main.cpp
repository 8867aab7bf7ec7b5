#include "CoreTest.h"

int main() {
    for (const auto &[name, suite] : CoreTest::suites()) {
        const int failedBefore = CoreTest::tally().failed;
        suite();
        std::printf("%s %s\n", CoreTest::tally().failed == failedBefore ? "ok  " : "FAIL", name);
    }
    std::printf("%d passed, %d failed\n", CoreTest::tally().passed, CoreTest::tally().failed);
    return CoreTest::tally().failed == 0 ? 0 : 1;
}
