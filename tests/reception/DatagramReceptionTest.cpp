#include "reception/DatagramReception.h"
#include "TestRegistry.h"
#include "grid/FlexGrid.h"
#include "net/UdpSocket.h"
#include "reception/DatagramText.h"
#include "reception/TrafficCounter.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <numeric>

using namespace Qt::StringLiterals;

namespace {
// A reception of its own, over a socket that is not bound unless a case binds it.
struct Receiver {
    UdpSocket socket;
    FlexGrid grid;
    DatagramReception rx{socket, grid};
};

// Reading number seq of a steady stream from five hosts.
QByteArray reading(int seq) {
    return "<13>Dec  7 06:00:00 H" + QByteArray::number(seq % 5) +
           " sensor[Seq]: Seq=" + QByteArray::number(seq) + '\n'; // the framing is counted too
}

// A receiver that notes the number each delivered datagram carried, as the handlers saw them.
struct Stream : Receiver {
    QList<int> order;
    Stream() {
        rx.hostGrid.writeHeaderRow();
        QObject::connect(&socket, &UdpSocket::DataArrival, &socket, [this](int) {
            const QByteArrayView d = socket.GetData();
            order << d.sliced(d.lastIndexOf('=') + 1).trimmed().toInt();
        });
    }
    // Host H<h> as its row shows it: host, sensor name and value (one sensor per host: its first slot).
    QString value(int host) const {
        const int r = rx.hostGrid.rowOf(u"H%1"_s.arg(host));
        return r ? grid.textAt(r, 0) + grid.textAt(r, 3) + u'=' + grid.textAt(r, 4).trimmed() : QString();
    }
};

} // namespace

class DatagramReceptionTest : public QObject {
    Q_OBJECT
private slots:
    void bytesToText_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("utf-8") << QByteArray("b\xc3\xbcro \xc2\xb0") << u"büro °"_s;
        QTest::newRow("truncated utf-8 is latin-1") << QByteArray("a\xc3") << u"a\u00c3"_s;
        QTest::newRow("overlong is latin-1") << QByteArray("\xc0\xaf") << u"\u00c0\u00af"_s;
        QTest::newRow("surrogate is latin-1") << QByteArray("\xed\xa0\x80") << u"\u00ed\u00a0\u0080"_s;
        QTest::newRow("four-byte utf-8") << QByteArray("\xf0\x9f\x8c\xa1") << u"\U0001F321"_s;
        QTest::newRow("framing removed") << QByteArray("line\r\n\0\0", 8) << u"line"_s;
        QTest::newRow("inner framing") << QByteArray("a\r\nb\0c", 6) << QString::fromLatin1("a\r\nb\0c", 6);
        QTest::newRow("leading bom") << QByteArray("\xef\xbb\xbf<13>x") << u"<13>x"_s;
        QTest::newRow("bom after priority") << QByteArray("<13>\xef\xbb\xbfSep") << u"<13>Sep"_s;
        QTest::newRow("other bom kept") << QByteArray("<13>a\xef\xbb\xbf") << u"<13>a\ufeff"_s;
        QTest::newRow("only framing") << QByteArray("\n\r\n") << QString();
        QByteArray all(255, '\1'); // every byte value, the framing characters kept inside
        std::iota(all.begin(), all.end(), '\1');
        QTest::newRow("every byte value") << all + 'x' << QString::fromLatin1(all + 'x');
        QTest::newRow("latin-1 past the 16-byte blocks")
            << QByteArray(40, 'z') + "\xb0" << QString(40, u'z') + QChar(0xB0);
    }
    // Into a text that is still held elsewhere (a grid cell), then in place into its own.
    void bytesToText() {
        QFETCH(QByteArray, bytes);
        QString text = u"a long enough earlier datagram, longer than most rows"_s;
        const QString held = text;
        DatagramText::decodeInto(bytes, text);
        QTEST(text, "text");
        QCOMPARE(held, u"a long enough earlier datagram, longer than most rows"_s);
        const QChar *storage = text.constData();
        DatagramText::decodeInto(bytes, text);
        QTEST(text, "text");
        if (!text.isEmpty() && text == QString::fromLatin1(bytes.first(text.size()))) // byte for byte
            QCOMPARE(text.constData(), storage);
        QTEST(DatagramText::decode(bytes), "text");
    }

    // A text set from outside is shown as it is, one that is no number starts the count over, and a sum
    // beyond the number range is not stored.
    void countersAddAndFormat() {
        const auto counted = [](const QString &start, double add) {
            TrafficCounter counter;
            counter.setText(start);
            if (add != 0)
                counter.add(add);
            return counter.text();
        };
        QCOMPARE(counted(u"999999999999999"_s, 1), u"1E+15"_s);
        QCOMPARE(counted(u"garbage"_s, 0), u"garbage"_s);
        QCOMPARE(counted(u"garbage"_s, 3), u"3"_s);
        QCOMPARE(counted(u"1.7E+308"_s, 1.7e308), u"1.7E+308"_s);
    }

    // The unit of a reading travels from the datagram into its value cell's tooltip, while the cell's
    // text stays the value alone.
    void unitInTooltip_data() {
        QTest::addColumn<QByteArrayList>("datagrams");
        QTest::addColumn<QString>("tooltip");
        const QByteArray bsd = "<13>Sep  9 20:04:58 office sensor[CPU Temp]: ";
        const QByteArray rfc = "<13>1 2026-09-09T20:04:58Z office sensor[CPU Temp] - - ";
        QTest::newRow("spaces around the unit") << QByteArrayList{bsd + "Temp=45.0    C  "} << u"45.0 C"_s;
        QTest::newRow("several words") << QByteArrayList{bsd + "Fan=1200 RPM (max)"} << u"1200 RPM (max)"_s;
        QTest::newRow("rfc 5424") << QByteArrayList{rfc + "Temp=45.0 C"} << u"45.0 C"_s;
        QTest::newRow("unit dropped") << QByteArrayList{bsd + "Temp=45.0 C", bsd + "Temp=46.0"} << u"46.0"_s;
        QTest::newRow("unit changed")
            << QByteArrayList{bsd + "Temp=45.0 C", bsd + "Temp=113.0 F"} << u"113.0 F"_s;
    }
    void unitInTooltip() {
        QFETCH(QByteArrayList, datagrams);
        QFETCH(QString, tooltip);
        Receiver r;
        r.grid.setClock([] { return qint64(5000); });
        r.grid.setWriteTime(5000);
        for (const QByteArray &d : datagrams)
            r.rx.processDatagram(d);
        r.grid.flush();
        QCOMPARE(r.grid.textAt(1, 4), u' ' + tooltip.section(u' ', 0, 0) + u' '); // the value alone
        QCOMPARE(r.grid.data(r.grid.index(0, 3), Qt::ToolTipRole).toString(), tooltip + u", 0 s ago"_s);
    }

    // Every datagram may bring a unit never seen: only so many are kept, and the rest show none
    // rather than growing memory without bound.
    void unitsAreBounded() {
        Receiver r;
        r.grid.setWriteTime(0);
        const auto unitOf = [&r](int n) { // the unit the reading with unit u<n> leaves in its cell
            r.rx.processDatagram("<13>Sep  9 20:04:58 office sensor[S]: v=1 u" + QByteArray::number(n));
            return r.grid.unitAt(1, 4).toString();
        };
        for (int n = 1; n < FlexGrid::MaxUnits - 1; ++n)
            unitOf(n);
        QCOMPARE(unitOf(FlexGrid::MaxUnits - 1), u"u%1"_s.arg(FlexGrid::MaxUnits - 1));
        QCOMPARE(unitOf(FlexGrid::MaxUnits), QString());
        QCOMPARE(unitOf(7), u"u7"_s); // a unit kept before is still found
    }

    // The socket reads a steady stream in gathered batches; whatever the schedule, every datagram is
    // delivered once, in the order it was sent, counted, and stored; the views are told of it at most once a
    // frame; and a datagram that comes alone after them is still read.
    void burstsArriveCompleteAndInOrder_data() {
        QTest::addColumn<int>("bursts");
        QTest::addColumn<int>("perBurst");
        QTest::newRow("one datagram") << 1 << 1; // then the lone one comes to an idle socket
        QTest::newRow("exactly one read") << 1 << UdpSocket::ReadBatch;
        QTest::newRow("one read and one more") << 1 << UdpSocket::ReadBatch + 1;
        QTest::newRow("many reads in one burst") << 1 << 2000; // then the lone one while reads gather
        // Each burst goes out after the event loop has turned: most land while the socket gathers.
        QTest::newRow("a stream of small bursts") << 300 << 3;
        QTest::newRow("a stream of read-sized bursts") << 20 << UdpSocket::ReadBatch;
    }
    // Then one more datagram, alone, reaches its cell (how soon: zarare-bench paced --probe).
    void burstsArriveCompleteAndInOrder() {
        QFETCH(int, bursts);
        QFETCH(int, perBurst);
        Stream r;
        QVERIFY(r.socket.bindPort(0));
        QSignalSpy counters(&r.rx, &DatagramReception::countersChanged);
        QUdpSocket out;
        qint64 bytes = 0;
        int seq = 0;
        for (int b = 0; b < bursts; ++b) {
            for (int i = 0; i < perBurst; ++i, ++seq) // a datagram not sent is missing from the count
                bytes += out.writeDatagram(reading(seq), QHostAddress::LocalHost, r.socket.localPort());
            if (bursts > 1)
                QTest::qWait(1);
        }
        const int total = bursts * perBurst;
        QTRY_COMPARE(r.rx.PacketsReceived.value(), double(total));
        QCOMPARE(r.rx.ReceivedBytes.value(), double(bytes));
        QCOMPARE(r.order.size(), total); // one DataArrival per datagram
        for (int i = 0; i < total; ++i)
            QCOMPARE(r.order[i], i);
        // Stored in order too: each host's cell holds the last reading it sent.
        for (int h = 0; h < 5 && h < total; ++h)
            QCOMPARE(r.value(h), u"H%1 Seq=%2"_s.arg(h).arg(total - 1 - (total - 1 - h) % 5));
        QTRY_VERIFY(counters.count() >= 1);
        // At most once per frame, not once per datagram: the datagrams of a burst share their frames.
        QVERIFY2(counters.count() <= std::max(1, total / 2), qPrintable(QString::number(counters.count())));
        out.writeDatagram(reading(total), QHostAddress::LocalHost, r.socket.localPort());
        QTRY_COMPARE(r.value(total % 5), u"H%1 Seq=%2"_s.arg(total % 5).arg(total));
    }

    // logger sends to a real rsyslogd (Debian's, unpacked by scripts/fetch-rsyslog and run with a
    // configuration of its own), which forwards in each of its three formats to a monitor of its own; every
    // monitor shows the sender's host, not the relay's, with both readings.
    void relayKeepsTheOriginalHost() {
#ifdef Q_OS_WIN
        QSKIP("rsyslogd and logger are Linux programs");
#endif
        QProcess fetch;
        fetch.start(u"" ZARARE_SOURCE_DIR "/scripts/fetch-rsyslog"_s,
                    {u"" ZARARE_BINARY_DIR "/rsyslog-cache"_s});
        if (!fetch.waitForFinished(180000) || fetch.exitCode() != 0) {
            const QByteArray why = "rsyslog could not be had: " + fetch.readAllStandardError();
            if (qgetenv("CI") == "true")
                QFAIL(why.constData());
            QSKIP(why.constData()); // here, not in a helper: a skip there would not end this test
        }
        const QString rsyslogd = QString(fetch.readAllStandardOutput()).trimmed().split('\n').last();

        const char *formats[] = {"RSYSLOG_TraditionalForwardFormat", "RSYSLOG_ForwardFormat",
                                 "RSYSLOG_SyslogProtocol23Format"};
        Receiver monitors[3];
        QTemporaryDir dir;
        QUdpSocket probe; // a free port for the relay's input
        QVERIFY(probe.bind(QHostAddress::LocalHost, 0));
        const quint16 relayPort = probe.localPort();
        probe.close();
        QString conf =
            u"global(workDirectory=\"%1\" localHostname=\"zarare-relay\")\nmodule(load=\"imudp\")\n"
            "input(type=\"imudp\" address=\"127.0.0.1\" port=\"%2\")\n"_s.arg(dir.path(),
                                                                              QString::number(relayPort));
        for (int i = 0; i < 3; ++i) {
            QVERIFY(monitors[i].socket.bindPort(0));
            conf +=
                u"action(type=\"omfwd\" target=\"127.0.0.1\" port=\"%1\" protocol=\"udp\" template=\"%2\")\n"_s
                    .arg(QString::number(monitors[i].socket.localPort()), QLatin1String(formats[i]));
        }
        QFile file(dir.filePath(u"rsyslog.conf"_s));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(conf.toUtf8()) == conf.toUtf8().size());
        file.close();

        const QString modules = QFileInfo(rsyslogd).absolutePath() + u"/../lib/x86_64-linux-gnu/rsyslog"_s;
        QProcess relay;
        relay.setProcessChannelMode(QProcess::MergedChannels);
        relay.start(rsyslogd, {"-n", "-f", file.fileName(), "-i", dir.filePath(u"pid"_s), "-M", modules});
        QVERIFY2(relay.waitForStarted(), qPrintable(relay.errorString()));
        // Our own child, ended by its PID.
        const auto stop = qScopeGuard([&] { relay.kill(), relay.waitForFinished(); });
        // Until the relay's input is open: a probe datagram to it comes through to the first monitor.
        QUdpSocket sender;
        QTRY_VERIFY_WITH_TIMEOUT(
            (sender.writeDatagram("<13>Sep  9 20:04:58 probe p[x]: v=0", QHostAddress::LocalHost, relayPort),
             monitors[0].rx.statistics().accepted > 0),
            10000);

        const QStringList toRelay{"-n", "127.0.0.1", "-P", QString::number(relayPort)};
        for (const QStringList &args : {QStringList{"--rfc3164", "-t", "sensor[Fan1]", "Speed=1200 RPM"},
                                        QStringList{"--rfc5424", "-t", "sensor[Pump]", "Flow=3.5 l/min"}})
            QCOMPARE(QProcess::execute(u"logger"_s, toRelay + args), 0);

        const QString host = QSysInfo::machineHostName().section(u'.', 0, 0);
        for (int i = 0; i < 3; ++i) {
            auto &[socket, grid, rx] = monitors[i];
            // The protocol format turns a BSD tag "sensor[Fan1]" into application "sensor", process id
            // "Fan1": only the RFC 5424 reading keeps its name through it.
            const auto holds = [&](const QString &name, const QString &value) {
                const int r = rx.hostGrid.rowOf(host);
                for (int c = HostGrid::FirstNameCol; r > 0 && c <= HostGrid::LastNameCol; c += 2)
                    if (grid.textAt(r, c) == name && grid.textAt(r, c + 1) == value)
                        return true;
                return false;
            };
            QTRY_VERIFY2_WITH_TIMEOUT(holds(u" Pump"_s, u" 3.5 "_s), formats[i], 10000);
            QVERIFY2(i == 2 || holds(u" Fan1"_s, u" 1200 "_s), formats[i]);
            QVERIFY2(!rx.hostGrid.rowOf(u"zarare-relay"_s) && !rx.hostGrid.rowOf(u"127.0.0.1"_s), formats[i]);
        }
    }
};

ZARARE_TEST(DatagramReceptionTest)
#include "DatagramReceptionTest.moc"
