#include "CoreTest.h"

int main() {
    for (const CoreTest::Suite suite : CoreTest::suites())
        suite();
    std::printf("%d passed, %d failed\n", CoreTest::passed, CoreTest::failed);
    return CoreTest::failed == 0 ? 0 : 1;
}
