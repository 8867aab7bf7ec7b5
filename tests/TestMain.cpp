#include "TestRegistry.h"

#include <QApplication>
#include <QTest>

#include <memory>

std::vector<TestRegistry::Factory> &TestRegistry::all() {
    static std::vector<Factory> factories;
    return factories;
}

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zar-Are"));
    int failed = 0;
    for (const auto factory : TestRegistry::all()) {
        std::unique_ptr<QObject> test(factory());
        failed += QTest::qExec(test.get(), argc, argv);
    }
    return failed == 0 ? 0 : 1;
}
