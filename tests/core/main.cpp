#include "CoreTest.h"

#include <utility>
#include <vector>

namespace CoreTest {

Tally &tally() {
    static Tally t;
    return t;
}

static std::vector<std::pair<const char *, Suite>> &suites() {
    static std::vector<std::pair<const char *, Suite>> all;
    return all;
}

int add(const char *name, Suite suite) {
    suites().emplace_back(name, suite);
    return int(suites().size());
}

} // namespace CoreTest

int main() {
    for (const auto &[name, suite] : CoreTest::suites()) {
        const int failedBefore = CoreTest::tally().failed;
        suite();
        std::printf("%s %s\n", CoreTest::tally().failed == failedBefore ? "ok  " : "FAIL", name);
    }
    std::printf("%d passed, %d failed\n", CoreTest::tally().passed, CoreTest::tally().failed);
    return CoreTest::tally().failed == 0 ? 0 : 1;
}
