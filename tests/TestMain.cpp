#include "TestRegistry.h"

#include <QApplication>
#include <QMetaMethod>
#include <QTest>

#include <memory>

std::vector<TestRegistry::Factory> &TestRegistry::all() {
    static std::vector<Factory> factories;
    return factories;
}

namespace {
bool hasTestFunction(const QObject *test, const QByteArray &name) {
    const qsizetype colon = name.indexOf(':'); // "function:dataTag"
    const QByteArray function = colon < 0 ? name : name.left(colon);
    const QMetaObject *meta = test->metaObject();
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i)
        if (meta->method(i).name() == function)
            return true;
    return false;
}
} // namespace

// Runs every registered test class. Test functions named on the command line run in the classes that
// have them; the other classes are passed over.
int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zar-Are"));
    int failed = 0;
    for (const auto factory : TestRegistry::all()) {
        std::unique_ptr<QObject> test(factory());
        QStringList args{QString::fromLocal8Bit(argv[0])};
        bool named = false, mine = false;
        for (int i = 1; i < argc; ++i) {
            const QByteArray arg(argv[i]);
            const bool option = arg.startsWith('-') || (i > 1 && QByteArray(argv[i - 1]) == "-o");
            if (!option) {
                named = true;
                if (!hasTestFunction(test.get(), arg))
                    continue;
                mine = true;
            }
            args << QString::fromLocal8Bit(arg);
        }
        if (named && !mine)
            continue;
        failed += QTest::qExec(test.get(), args);
    }
    return failed == 0 ? 0 : 1;
}
