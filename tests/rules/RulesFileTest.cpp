#include "rules/RulesFile.h"
#include "TestRegistry.h"

#include <QTemporaryDir>
#include <QTest>

#include <cmath>

Q_DECLARE_METATYPE(AlarmLevel)

class RulesFileTest : public QObject {
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
    void goodLines() {
        const RulesFile::Parsed p = RulesFile::parse(u"# comments and blank lines are ignored\n\n"
                                                     u"stale 90s                       # also 45, 2m, 1h\r\n"
                                                     u"CPU*        warn 70  crit 85\n"
                                                     u"*Fan*\tlow-warn 600  low-crit 0,8\n"
                                                     u"CPU Temp    crit 99\n");
        QVERIFY(p.errors.empty());
        QCOMPARE(p.rules.staleMs, 90000);
        QCOMPARE(p.rules.thresholds.size(), size_t(3));
        QCOMPARE(p.rules.thresholds[1].bounds.lowCrit, 0.8);
        // First match wins, on the trimmed name, in any case; a pattern matches the whole name.
        QCOMPARE(p.rules.boundsFor(u" cpu temp ")->crit, 85.0);
        QCOMPARE(p.rules.boundsFor(u"CPU Fan")->crit, 85.0);
        QCOMPARE(p.rules.boundsFor(u"Case Fan 2")->lowWarn, 600.0);
        QVERIFY(!p.rules.boundsFor(u"Vcore"));
        // The other forms of a stale time; an empty (or missing) file has the default.
        const std::pair<const char16_t *, qint64> stale[] = {
            {u"stale 45", 45000},         {u"stale 2m", 120000}, {u"STALE 1H", 3600000},
            {u"stale 604800", 604800000}, {u"stale 0", 0},       {u"", RuleSet::DefaultStaleMs}};
        for (const auto &[line, ms] : stale) {
            const RulesFile::Parsed q = RulesFile::parse(line);
            QVERIFY(q.errors.empty());
            QCOMPARE(q.rules.staleMs, ms);
        }
    }

    // Each bad line is named by number and skipped; the lines around it still apply.
    void badLines_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("what");
        const std::pair<const char *, const char *> rows[] = {
            {"colour red", "not a keyword"},
            {"stale", "\"stale\" needs a time"},
            {"stale 5 days", "\"stale\" needs a time"},
            {"stale -5s", "\"stale\" needs a time"},
            {"stale 604801", "\"stale\" needs a time"},
            {"warn 70", "sensor name is missing"},
            {"CPU* crit hot", "\"crit\" needs a number"},
            {"CPU* crit 1,5.2", "\"crit\" needs a number"},
            {"CPU* warn 70 loud 3", "\"loud\" is not warn"}};
        for (const auto &[line, what] : rows)
            QTest::newRow(line) << QString::fromLatin1(line) << QString::fromLatin1(what);
        QTest::newRow("binary") << QString::fromUtf8("CPU\x01\xff warn 3") << "not text";
    }
    void badLines() {
        QFETCH(QString, line);
        QFETCH(QString, what);
        const RulesFile::Parsed p =
            RulesFile::parse(QStringLiteral("stale 5s\n") + line + QStringLiteral("\nGPU crit 90"));
        QCOMPARE(p.errors.size(), size_t(1));
        QCOMPARE(p.errors[0].line, 2);
        QVERIFY2(p.errors[0].what.contains(what), qPrintable(p.errors[0].what));
        QCOMPARE(p.rules.staleMs, 5000);
        QCOMPARE(p.rules.thresholds.size(), size_t(1));
    }

    void levelsAroundBounds_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<AlarmLevel>("level");
        // warn 70 crit 85 low-warn 10 low-crit 5: at a bound is not beyond it
        const AlarmLevel none = AlarmLevel::None, warning = AlarmLevel::Warning,
                         critical = AlarmLevel::Critical;
        const std::pair<double, AlarmLevel> rows[] = {
            {40.0, none}, {70.0, none},   {70.1, warning}, {85.0, warning},  {85.01, critical},
            {10.0, none}, {9.9, warning}, {5.0, warning},  {-1.0, critical}, {std::nan(""), none}};
        for (const auto &[value, level] : rows)
            QTest::addRow("%g", value) << value << level;
    }
    void levelsAroundBounds() {
        QFETCH(double, value);
        const RulesFile::Parsed p = RulesFile::parse(u"x warn 70 crit 85 low-warn 10 low-crit 5");
        QTEST(p.rules.thresholds.at(0).bounds.level(value), "level");
        // A rule with only a critical bound never warns.
        const Bounds critOnly = RulesFile::parse(u"x crit 85").rules.thresholds.at(0).bounds;
        QCOMPARE(critOnly.level(value) == AlarmLevel::Warning, false);
    }

    void globs_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("matches");
        const std::tuple<const char *, const char *, bool> rows[] = {
            {"vcore", "VCore", true},   {"Vcore", "Vcore2", false}, {"*Fan*", "Fan", true},
            {"Core ?", "Core 7", true}, {"Core ?", "Core ", false}, {"*a*b", "aXaXbXb", true}};
        for (const auto &[pattern, name, matches] : rows)
            QTest::addRow("%s %s", pattern, name)
                << QString::fromLatin1(pattern) << QString::fromLatin1(name) << matches;
        QTest::newRow("long no match") << "*a*a*a*a*a*b" << QString(5000, QLatin1Char('a')) << false;
    }
    void globs() {
        QFETCH(QString, pattern);
        QFETCH(QString, name);
        QTEST(Glob::matches(pattern, name), "matches");
    }

    // A huge file: bounded reading, no freeze, the good lines before the damage still apply (a binary line
    // is a row of the bad lines).
    void hugeFileIsCut() {
        QTemporaryDir dir;
        const QString path = dir.filePath(RulesFile::FileName);
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("CPU* crit 85\n" + QByteArray(10 * 1024 * 1024, 'x'));
        f.close();
        const RulesFile::Parsed p = RulesFile::read(path);
        QVERIFY(p.truncated);
        QVERIFY(!p.errors.empty());
        QCOMPARE(p.rules.thresholds.at(0).pattern, QStringLiteral("CPU*"));
    }

    // Keywords read by others pass through the rules file: a quote inside a word opens no quoted text
    // (where a '#' would be theirs), their mistakes are named by line, and their lines can be rewritten
    // without touching anything else in the file. Arguments, comments and quoted '#' reach the allow
    // list and the view's lines in the start-up tests.
    void extensionLines_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("seen"); // the arguments given, then the lines with errors
        using L = QStringList;
        QTest::newRow("a quote inside a word is no quote") << "tag 3.5\" bay # note\n" << L{"3.5\" bay"};
        QTest::newRow("tab after the keyword") << "tag\ta\r\n" << L{"a"};
        QTest::newRow("mistake named by line") << "stale 5s\ntag bad\ntag ok\n" << L{"ok", "line 2"};
        QTest::newRow("unknown word is still a threshold line") << "tagged warn 5\n" << L{};
    }
    void extensionLines() {
        QFETCH(QString, text);
        QStringList seen;
        const RulesFile::Parsed parsed = RulesFile::parse(text, recorder(&seen));
        for (const RulesFile::LineError &e : parsed.errors)
            seen << QStringLiteral("line %1").arg(e.line);
        QTEST(seen, "seen");
    }

    void replaceLines_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("result");
        using L = QStringList;
        QTest::newRow("empty file") << "" << L{"tag x"} << "tag x\n";
        QTest::newRow("commented-out line is the user's") << "# tag old\n" << L{} << "# tag old\n";
        QTest::newRow("no final line end") << "stale 5s" << L{"tag x"} << "stale 5s\ntag x\n";
        QTest::newRow("trailing blank lines folded") << "stale 5s\n\n\n" << L{"tag x"} << "stale 5s\ntag x\n";
        QTest::newRow("ours removed entirely") << "tag old\n" << L{} << "";
    }
    void replaceLines() {
        QFETCH(QString, text);
        QFETCH(QStringList, lines);
        const auto ours = [](QStringView k) { return k == QLatin1String("tag"); };
        QTEST(RulesFile::replaceLines(text, ours, lines), "result");
    }
};
ZARARE_TEST(RulesFileTest)
#include "RulesFileTest.moc"
