#include "PacingSchedule.h"
#include "TestRegistry.h"

#include <QTest>

#include <algorithm>
#include <random>

using namespace sender;
using namespace std::chrono_literals;
using Time = PacingSchedule::Time;

namespace {

struct Run {
    std::vector<Time> sends;       // when each datagram went
    std::vector<Time> roundStarts; // when each round's first datagram was due
};

// A sender on a made-up clock: each sleep ends late by up to `jitter`, each batch costs 2 us, and the
// first round loses 50 ms once before its datagram `stallAt` (0: never).
Run drive(PacingSchedule schedule, std::size_t perRound, int rounds, Time jitter, std::size_t stallAt = 0) {
    std::mt19937 random(42);
    std::uniform_int_distribution<std::int64_t> late(0, jitter.count());
    Run run;
    Time clock = 0ns;
    for (int r = 0; r < rounds; ++r) {
        if (clock < schedule.nextRoundStart())
            clock = schedule.nextRoundStart() + Time(late(random));
        schedule.beginRound(perRound, clock);
        run.roundStarts.push_back(schedule.due(0));
        for (std::size_t i = 0; i < perRound;) {
            if (r == 0 && i == stallAt && stallAt > 0)
                clock += 50ms;
            const std::size_t n = schedule.ready(i, clock); // none: sleep until the next is due
            run.sends.insert(run.sends.end(), n, clock);
            i += n;
            clock = n == 0 ? schedule.due(i) + Time(late(random)) : clock + 2us;
        }
    }
    return run;
}

// The most datagrams that went within any `window`.
std::size_t busiest(const std::vector<Time> &sends, Time window) {
    std::size_t most = 0; // the sends are in order
    for (auto begin = sends.begin(); begin != sends.end(); ++begin)
        most = std::max(most, std::size_t(std::lower_bound(begin, sends.end(), *begin + window) - begin));
    return most;
}

} // namespace

class PacingScheduleTest : public QObject {
    Q_OBJECT

private slots:
    // The rate holds over every stretch of time, small or large, however late the sender wakes and
    // whether or not it stalls; where nothing holds the sender back it reaches the rate.
    void rateIsACeiling_data() {
        // rate per second; interval (ms); datagrams a round; rounds; the stall's datagram (0: none)
        QTest::addColumn<QString>("table");
        QTest::newRow("slow") << "50 0 10 20 0";
        QTest::newRow("fast, back to back") << "100000 0 1000 50 0";
        QTest::newRow("fast, small rounds") << "100000 0 3 5000 0";
        QTest::newRow("rounds longer than the interval") << "2000 100 500 10 0";
        QTest::newRow("stall inside a round") << "100000 0 20000 2 5000";
    }
    void rateIsACeiling() {
        QFETCH(QString, table);
        const QStringList t = table.split(u' ');
        const double rate = t[0].toDouble();
        const std::size_t perRound = t[2].toULong(), rounds = t[3].toULong(), stallAt = t[4].toULong();
        const PacingSchedule schedule(rate, std::chrono::milliseconds(t[1].toInt()));
        const Run run = drive(schedule, perRound, int(rounds), 80us, stallAt);
        QCOMPARE(run.sends.size(), perRound * rounds);
        for (const Time window : {1ms, 10ms, 100ms, 1000ms}) {
            const double allowed =
                rate * std::chrono::duration<double>(window).count() + double(schedule.batch());
            QVERIFY2(double(busiest(run.sends, window)) <= allowed + 1,
                     qPrintable(QString::number(window.count())));
        }
        const double seconds = std::chrono::duration<double>(run.sends.back() - run.sends.front()).count();
        if (t[1] == QLatin1String("0") && stallAt == 0)
            QVERIFY2(double(run.sends.size() - 1) / seconds > rate * 0.99,
                     qPrintable(QString::number(seconds)));
    }

    // Paced rounds keep their grid, or follow each other when they take longer. Without a rate a round
    // goes at once, in batches; rounds missed in a stall are dropped, not heaped.
    void roundStarts() {
        QCOMPARE(drive(PacingSchedule(10000, 1s), 100, 3, 50us).roundStarts, (std::vector<Time>{0s, 1s, 2s}));
        // 300 datagrams at 100 a second take 3 s.
        QCOMPARE(drive(PacingSchedule(100, 1s), 300, 3, 0ns).roundStarts, (std::vector<Time>{0s, 3s, 6s}));
        PacingSchedule unpaced(0, 1s);
        unpaced.beginRound(100, 0ns);
        QCOMPARE(unpaced.ready(0, 0ns), PacingSchedule::MaxBatch);
        QCOMPARE(unpaced.ready(64, 0ns), std::size_t(36));
        QCOMPARE(unpaced.nextRoundStart(), Time(1s));
        unpaced.beginRound(10, 3500ms);
        QCOMPARE(unpaced.due(0), Time(3500ms));
        QCOMPARE(unpaced.nextRoundStart(), Time(4s));
    }
};

ZARARE_TEST(PacingScheduleTest)
#include "PacingScheduleTest.moc"
