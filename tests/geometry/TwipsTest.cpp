#include "geometry/Twips.h"
#include "TestRegistry.h"

#include <QTest>

#include <limits>

class TwipsTest : public QObject {
    Q_OBJECT
private slots:
    // At 96 dpi (offscreen) a pixel is 15 twips; halves round to the even pixel; anything beyond what a
    // window system takes is held at its edge.
    void toPixels_data() {
        QTest::addColumn<float>("twips");
        QTest::addColumn<int>("pixels");
        QTest::newRow("whole") << 5430.0f << 362;
        QTest::newRow("negative") << -120.0f << -8;
        QTest::newRow("half to even, down") << 22.5f << 2;
        QTest::newRow("half to even, up") << 37.5f << 2;
        QTest::newRow("huge") << 1e38f << Twips::MaxPixels;
        QTest::newRow("huge negative") << -1e38f << -Twips::MaxPixels;
        QTest::newRow("beyond 32 bits") << 64424509440.0f << Twips::MaxPixels;
        QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN() << -Twips::MaxPixels;
    }
    void toPixels() {
        QFETCH(float, twips);
        QFETCH(int, pixels);
        QCOMPARE(Twips::toPixelsX(twips), pixels);
        QCOMPARE(Twips::toPixelsY(twips), pixels);
    }
};

ZARARE_TEST(TwipsTest)
#include "TwipsTest.moc"
