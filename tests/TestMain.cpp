#include "TestRegistry.h"

#include <QApplication>
#include <QTest>

#include <memory>

// Runs every registered test class. Test functions named on the command line ("function" or
// "function:dataTag") run in the classes that have them; the other classes are passed over.
int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zar-Are"));
    int failed = 0;
    for (const auto factory : TestRegistry::all()) {
        std::unique_ptr<QObject> test(factory());
        const QMetaObject *meta = test->metaObject();
        QStringList args{QString::fromLocal8Bit(argv[0])};
        bool named = false, mine = false;
        for (int i = 1; i < argc; ++i) {
            const QByteArray arg(argv[i]);
            const bool option = arg.startsWith('-') || (i > 1 && QByteArray(argv[i - 1]) == "-o");
            const bool here =
                !option && meta->indexOfMethod(arg.split(':')[0] + "()") >= meta->methodOffset();
            named |= !option, mine |= here;
            if (option || here)
                args << QString::fromLocal8Bit(arg);
        }
        if (!named || mine)
            failed += QTest::qExec(test.get(), args);
    }
    return failed == 0 ? 0 : 1;
}
