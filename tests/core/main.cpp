#include "CoreTest.h"

int main() {
    for (const auto &[name, suite] : CoreTest::suites()) {
        const int failedBefore = CoreTest::failed;
        suite();
        std::printf("%s %s\n", CoreTest::failed == failedBefore ? "ok  " : "FAIL", name);
    }
    std::printf("%d passed, %d failed\n", CoreTest::passed, CoreTest::failed);
    return CoreTest::failed == 0 ? 0 : 1;
}
