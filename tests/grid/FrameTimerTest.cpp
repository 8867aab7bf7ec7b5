#include "grid/FrameTimer.h"
#include "TestRegistry.h"

#include <QSignalSpy>
#include <QTest>

class FrameTimerTest : public QObject {
    Q_OBJECT
private slots:
    // Any number of requests in a frame fire once; a request made while firing fires once more, a frame
    // later; without requests nothing fires.
    void firesOncePerFrameOfRequests_data() {
        QTest::addColumn<int>("requests");
        QTest::addColumn<int>("requestsWhileFiring");
        QTest::addColumn<int>("fires");
        QTest::newRow("none") << 0 << 0 << 0;
        QTest::newRow("one") << 1 << 0 << 1;
        QTest::newRow("many") << 1000 << 0 << 1;
        QTest::newRow("again while firing") << 3 << 5 << 2;
    }
    void firesOncePerFrameOfRequests() {
        QFETCH(int, requests);
        QFETCH(int, requestsWhileFiring);
        QFETCH(int, fires);
        FrameTimer frame;
        QSignalSpy fired(&frame, &FrameTimer::fires);
        bool first = true;
        connect(&frame, &FrameTimer::fires, this, [&] {
            QVERIFY(!frame.pending());
            if (std::exchange(first, false))
                for (int i = 0; i < requestsWhileFiring; ++i)
                    frame.request();
        });
        for (int i = 0; i < requests; ++i)
            frame.request();
        QCOMPARE(frame.pending(), requests > 0);
        QTRY_COMPARE(int(fired.count()), fires);
        QTest::qWait(FrameTimer::FrameMs * 4); // and no more after them
        QCOMPARE(int(fired.count()), fires);
        QVERIFY(!frame.pending());
    }
};

ZARARE_TEST(FrameTimerTest)
#include "FrameTimerTest.moc"
