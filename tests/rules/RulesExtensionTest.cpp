#include "TestRegistry.h"
#include "rules/RulesFile.h"

#include <QTest>

// Keywords read by others pass through the rules file: comments stay out of their arguments (but a
// quoted '#' is theirs), their mistakes are named by line, and their lines can be rewritten without
// touching anything else in the file.
class RulesExtensionTest : public QObject {
    Q_OBJECT

    // "tag WORDS": records what it was given; "tag bad" is a mistake.
    static RulesFile::Extensions recorder(QStringList *seen) {
        return {{[](QStringView k) { return k == QLatin1String("tag"); },
                 [seen](QStringView, QStringView args, QString *error) {
                     if (args == QLatin1String("bad")) {
                         *error = QStringLiteral("bad tag");
                         return false;
                     }
                     *seen << args.toString();
                     return true;
                 }}};
    }

private slots:
    void extensionLines_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("seen");
        QTest::addColumn<QList<int>>("errorLines");
        QTest::newRow("arguments") << "tag a b\n" << QStringList{"a b"} << QList<int>{};
        QTest::newRow("comment removed") << "tag a # note\n" << QStringList{"a"} << QList<int>{};
        QTest::newRow("quoted hash kept") << "tag \"a # b\" # note\n"
                                          << QStringList{"\"a # b\""} << QList<int>{};
        QTest::newRow("a quote inside a word is no quote") << "tag 3.5\" bay # note\n"
                                                           << QStringList{"3.5\" bay"} << QList<int>{};
        QTest::newRow("tab after the keyword") << "tag\ta\r\n" << QStringList{"a"} << QList<int>{};
        QTest::newRow("mistake named by line") << "stale 5s\ntag bad\ntag ok\n"
                                               << QStringList{"ok"} << QList<int>{2};
        QTest::newRow("own keywords come first") << "stale 5s\n" << QStringList{} << QList<int>{};
        QTest::newRow("unknown word is still a threshold line") << "tagged warn 5\n"
                                                                << QStringList{} << QList<int>{};
    }
    void extensionLines() {
        QFETCH(QString, text);
        QStringList seen;
        const RulesFile::Parsed parsed = RulesFile::parse(text, recorder(&seen));
        QTEST(seen, "seen");
        QList<int> lines;
        for (const RulesFile::LineError &e : parsed.errors)
            lines << e.line;
        QTEST(lines, "errorLines");
    }

    void replaceLines_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("result");
        QTest::newRow("empty file") << "" << QStringList{"tag x"} << "tag x\n";
        QTest::newRow("others kept, ours replaced at the end")
            << "# mine\ntag old\nCPU* warn 5\n"
            << QStringList{"tag x", "tag y"} << "# mine\nCPU* warn 5\ntag x\ntag y\n";
        QTest::newRow("commented-out line is the user's") << "# tag old\n" << QStringList{} << "# tag old\n";
        QTest::newRow("no final line end") << "stale 5s" << QStringList{"tag x"} << "stale 5s\ntag x\n";
        QTest::newRow("trailing blank lines folded") << "stale 5s\n\n\n"
                                                     << QStringList{"tag x"} << "stale 5s\ntag x\n";
        QTest::newRow("ours removed entirely") << "tag old\n" << QStringList{} << "";
    }
    void replaceLines() {
        QFETCH(QString, text);
        QFETCH(QStringList, lines);
        const auto ours = [](QStringView k) { return k == QLatin1String("tag"); };
        QTEST(RulesFile::replaceLines(text, ours, lines), "result");
    }
};

ZARARE_TEST(RulesExtensionTest)
#include "RulesExtensionTest.moc"
