#include "sensorview/SensorTableModel.h"
#include "TestRegistry.h"
#include "grid/FlexGrid.h"
#include "net/UdpSocket.h"
#include "reception/DatagramReception.h"
#include "sensorview/SensorView.h"

#include <QAbstractItemModelTester>
#include <QBrush>
#include <QMainWindow>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include <memory>

namespace {
// One monitor's reception path with the sensor table over it, set up as the main window does; the grid and
// the table read the test's clock, and the table's model contract is checked all along.
struct Rig {
    qint64 clock = 0; // ms
    UdpSocket socket;
    FlexGrid grid;
    DatagramReception reception{socket, grid};
    SensorTableModel model{grid, reception.hostGrid};
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::QtTest};
    Rig() {
        reception.hostGrid.reset();
        reception.hostGrid.writeHeaderRow();
        grid.flush();
        grid.setClock([this] { return clock; });
        model.setClock([this] { return clock; });
    }
    void send(const QString &host, const QString &sensor, const QString &value) {
        reception.processDatagram(
            QStringLiteral("<13>Sep  9 20:04:58 %1 sensor[%2]: Temp=%3").arg(host, sensor, value).toUtf8());
    }
    // Each "host:sensor=value[@seconds]" as one datagram written at that time ("@-": without a time, no
    // "@": at the time before), then one frame.
    void sendAll(const QStringList &readings) {
        for (const QString &r : readings) {
            const QString at = r.section(u'@', 1), reading = r.section(u'@', 0, 0);
            if (!at.isEmpty() && at != QLatin1String("-"))
                clock = at.toLongLong() * 1000;
            grid.setWriteTime(at == QLatin1String("-") ? -1 : clock);
            const QString sensor = reading.section(u':', 1).section(u'=', 0, 0);
            send(reading.section(u':', 0, 0), sensor, reading.section(u'=', 1));
        }
        model.refreshNow();
    }
};

// Hosts; sensors (export headers); cells as exported, of the shown columns ("Last reading" first).
QString shown(const SensorTableModel &m) {
    QStringList hosts, sensors, cells;
    for (int c = 1; c < m.columnCount(); ++c)
        if (m.columnShown(c))
            sensors << m.headerData(c, Qt::Horizontal, SensorTableModel::ExportRole).toString();
    for (int r = 0; r < m.rowCount(); ++r) {
        hosts << m.headerData(r, Qt::Vertical).toString();
        QStringList line;
        for (int c = 0; c < m.columnCount(); ++c)
            if (m.columnShown(c))
                line << m.index(r, c).data(SensorTableModel::ExportRole).toString();
        cells << line.join(u',');
    }
    return QStringList{hosts.join(u'|'), sensors.join(u'|'), cells.join(u'|')}.join(u';');
}
} // namespace

// The sensor table over the real reception path: datagrams in, aligned, sorted and filtered rows out.
class SensorTableModelTest : public QObject {
    Q_OBJECT
    std::unique_ptr<Rig> rig;

private slots:
    void init() { rig = std::make_unique<Rig>(); }
    void cleanup() { rig.reset(); }

    // The model's contract holds while datagrams create hosts and sensors, frames publish them, and rows
    // are sorted, filtered and hidden in between, and ages are repainted.
    void modelContractDuringTraffic() {
        for (int round = 0; round < 6; ++round) {
            for (int h = 0; h < 40; ++h)
                for (int s = 0; s < 5 + h % 7; ++s)
                    rig->send(QStringLiteral("host-%1").arg(h), QStringLiteral("S%1").arg((s * 3 + h) % 11),
                              QString::number((h * 7 + s + round) % 23) + QStringLiteral(" C"));
            QTest::qWait(FrameTimer::FrameMs * 2); // the grid's own frame
            if (round == 1)
                rig->model.sort(3, Qt::DescendingOrder);
            if (round == 2 || round == 4)
                rig->model.setFilterText(round == 2 ? QStringLiteral("host-1*") : QStringLiteral("s1"));
            if (round == 3)
                rig->model.setHiddenHosts({QStringLiteral("host-12")});
            rig->grid.refreshAges();
        }
        rig->model.sort(0);
        rig->model.refreshNow();
    }

    // Rows, columns and cells (as exported) for filters, hidden hosts and sort orders. Hosts that report
    // sensors in other orders get them in the same column; a column's unit is the first host's that has one.
    void rows_data() {
        QTest::addColumn<QStringList>("readings");
        // filter; hidden hosts; sort column and order (+ or -); then the outcome: hosts; sensors; cells of
        // the shown columns ("Last reading" in seconds first)
        QTest::addColumn<QString>("table");
        const QStringList fleet{"web-1:CPU Temp=40 C", "web-2:Fan=900", "db-1:Disk=30 C"};
        const QString all = QStringLiteral(";CPU Temp [C]|Fan|Disk [C];");
        // clang-format off
        QTest::newRow("hosts only") << fleet << "web;;;web-1|web-2" + all + "0,40,,|0,,900,";
        QTest::newRow("sensors only") << fleet << "FAN;;;web-1|web-2|db-1;Fan;0,|0,900|0,";
        QTest::newRow("both") << fleet << "d;;;db-1;Disk [C];0,30";
        QTest::newRow("no match") << fleet << "zzz;;;;;";
        QTest::newRow("hidden host and glob") << fleet << "web-*;WEB-1;;web-2" + all + "0,,900,";
        QTest::newRow("aligned, units") << QStringList{"a:CPU Temp=45.0 C", "a:Fan=1200", "b:Fan=900 RPM", "b:Vcore=1.2 V", "b: CPU Temp =50.5 F", "c:Vcore=1.3", "c:=7"}
            << ";;;a|b|c;CPU Temp [C]|Fan [RPM]|Vcore [V];0,45.0,1200,|0,50.5,900,1.2|0,,,1.3";
        const QStringList mixed{"a:T=10", "b:T=9.5", "c:X=1", "d:T=n/a", "e:T=-2", "f:T=100"};
        QTest::newRow("reversed, blanks still last") << mixed << ";;1-;f|a|b|e|d|c;T|X;0,100,|0,10,|0,9.5,|0,-2,|0,n/a,|0,,1";
        const QStringList times{"a:T=1@0", "b:T=1", "c:T=1", "c:T=2@5", "a:T=3@7", "d:T=4@-"};
        QTest::newRow("silent hosts first") << times << ";;0+;b|c|a|d;T;7,1|2,2|0,3|,4";
        QTest::newRow("silent hosts last") << times << ";;0-;a|c|b|d;T;0,3|2,2|7,1|,4";
        // clang-format on
    }
    void rows() {
        QFETCH(QStringList, readings);
        QFETCH(QString, table);
        const QStringList t = table.split(u';');
        rig->model.setFilterText(t[0]); // before and after the readings alike
        rig->sendAll(readings);
        rig->model.setHiddenHosts(t[1].split(u'|', Qt::SkipEmptyParts));
        if (!t[2].isEmpty())
            rig->model.sort(t[2].left(1).toInt(),
                            t[2].endsWith(u'-') ? Qt::DescendingOrder : Qt::AscendingOrder);
        QCOMPARE(shown(rig->model), table.section(u';', 3));
    }

    // A re-sort read in slices between turns of the event loop ends in order, with the hosts that came
    // and the readings that changed meanwhile, and the current cell still on its host.
    void slicedSortEndsInOrder() {
        rig->model.setSortSliceForTesting(0);
        for (int h = 0; h < 2000; ++h)
            rig->send(QStringLiteral("h%1").arg(h), QStringLiteral("T"), QString::number((h * 7919) % 1009));
        rig->model.refreshNow();
        const QPersistentModelIndex held = rig->model.index(5, 1);
        rig->model.sort(1, Qt::DescendingOrder);
        QCOMPARE(rig->model.headerData(0, Qt::Vertical).toString(), QStringLiteral("h0")); // not yet sorted
        rig->send(QStringLiteral("late"), QStringLiteral("T"), QStringLiteral("5000"));
        rig->send(QStringLiteral("h3"), QStringLiteral("T"), QStringLiteral("-1"));
        // The next re-sort takes them in.
        QTRY_COMPARE(rig->model.headerData(0, Qt::Vertical).toString(), QStringLiteral("late"));
        QCOMPARE(rig->model.headerData(2000, Qt::Vertical).toString(), QStringLiteral("h3"));
        for (int r = 1; r < rig->model.rowCount(); ++r)
            QVERIFY(rig->model.index(r - 1, 1).data().toDouble() >= rig->model.index(r, 1).data().toDouble());
        QCOMPARE(rig->model.headerData(held.row(), Qt::Vertical).toString(), QStringLiteral("h5"));
    }

    // Stale grey, alarm backgrounds and the description are the grid's, for the cell, the host and its
    // "Last reading" (rule: cpu* warns above 80, is critical above 90).
    void colours_data() {
        // value; now (s, the reading came at 0, stale after 60); then the cell's text colour; background;
        // description; the host's colour
        QTest::addColumn<QString>("table");
        QTest::newRow("fresh, warning") << "85 C;10;;#ffbf00;85 C, 10 s ago;";
        QTest::newRow("stale, critical") << "95 C;61;#808080;#ff6060;95 C, 1 min 1 s ago;#808080";
    }
    void colours() {
        QFETCH(QString, table);
        const QStringList t = table.split(u';');
        rig->grid.setRules(RuleSet{60000, {{QStringLiteral("cpu*"), Bounds{80, 90}}}});
        rig->sendAll({QStringLiteral("a:CPU Temp=%1@0").arg(t[0])});
        rig->clock = t[1].toInt() * 1000;
        const auto colour = [](const QVariant &v) {
            return v.isValid() ? v.value<QBrush>().color().name() : QString();
        };
        const QModelIndex cell = rig->model.index(0, 1), age = rig->model.index(0, 0);
        QModelRoleData roles[] = {QModelRoleData(Qt::ForegroundRole), QModelRoleData(Qt::BackgroundRole),
                                  QModelRoleData(Qt::AccessibleDescriptionRole)};
        rig->model.multiData(cell, roles); // as a view paints; then one role at a time as well
        QStringList got{colour(roles[0].data()), colour(roles[1].data()), roles[2].data().toString()};
        got << colour(rig->model.headerData(0, Qt::Vertical, Qt::ForegroundRole))
            << colour(cell.data(Qt::BackgroundRole)) << colour(age.data(Qt::ForegroundRole));
        QCOMPARE(got, t.mid(2) << t[3] << t[5]);   // the host's "Last reading" as its name
        const QString ago = age.data().toString(); // the cell's own age, with "ago"
        QVERIFY2(cell.data(Qt::ToolTipRole).toString().endsWith(QLatin1String(", ") + ago), qPrintable(ago));
    }

    // Changes reach views once per frame as one range, new sensors as inserted columns, a unit that comes
    // after its sensor's first readings as a header change; the grid's repaint of ages is one range too.
    void oneChangePerFrame() {
        rig->sendAll({"a:T=1", "a:F=1"});
        QSignalSpy changed(&rig->model, &QAbstractItemModel::dataChanged);
        QSignalSpy columns(&rig->model, &QAbstractItemModel::columnsInserted);
        QSignalSpy headers(&rig->model, &QAbstractItemModel::headerDataChanged);
        for (int i = 0; i < 200; ++i)
            rig->send("h" + QString::number(i % 20), "S" + QString::number(i % 3), QString::number(i));
        rig->send(QStringLiteral("a"), QStringLiteral("F"), QStringLiteral("2 RPM"));
        QTRY_COMPARE(rig->model.rowCount(), 21);
        int frames = 0; // the ages' own refresh (column 0 only) aside
        for (const auto &args : changed)
            frames += args.at(1).toModelIndex().column() > 0;
        QCOMPARE(frames, 1);
        QCOMPARE(columns.count(), 1);
        QCOMPARE(rig->model.headerData(2, Qt::Horizontal, Qt::ToolTipRole).toString(), QStringLiteral("RPM"));
        QCOMPARE(headers.count(), 2); // the new hosts, the unit
        changed.clear();
        headers.clear();
        rig->model.sort(1);
        rig->grid.refreshAges();
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed[0][0].toModelIndex(), rig->model.index(0, 0));
        QCOMPARE(changed[0][1].toModelIndex(), rig->model.index(20, 5));
        QVERIFY(changed[0][2].value<QList<int>>().contains(Qt::AccessibleDescriptionRole));
        QCOMPARE(headers.count(), 1);
    }

    // setPrefs applies the view shown, hidden columns and hidden hosts without telling; each change the
    // user makes is told once with the whole prefs, one that changes nothing is not told.
    void prefs_data() {
        // rules file lines applied before the readings; steps (cN, hN: hide column or host row N; C, H: show
        // all); changes told; lines after; hosts; sensors shown
        QTest::addColumn<QString>("table");
        // clang-format off
        QTest::newRow("applied silently") << "view by-sensor,hide cpu*,hide-host b;;0;view by-sensor,hide cpu*,hide-host b;a|c;Fan";
        QTest::newRow("hide a column, show all") << "hide-host ?,hide-host x;c1 C H;3;view readings;a|b|c;CPU 1 [C]|Fan|CPU 2 [C]";
        QTest::newRow("nothing changes") << "hide Fan;c0 c2 H;0;view readings,hide Fan;a|b|c;CPU 1 [C]|CPU 2 [C]";
        QTest::newRow("host, then column") << ";h0 c3;2;view readings,hide CPU 2,hide-host a;b|c;CPU 1 [C]|Fan";
        // clang-format on
    }
    void prefs() {
        QFETCH(QString, table);
        const QStringList t = table.split(u';');
        QMainWindow window;
        QMenu *file = window.menuBar()->addMenu(QStringLiteral("File"));
        auto *readings = new QTableView(&window);
        SensorView view({&window, readings, file, file->addAction(QStringLiteral("Exit")),
                         window.menuBar()->addMenu(QStringLiteral("Help"))},
                        rig->grid, rig->reception.hostGrid);
        QSignalSpy told(&view, &SensorView::prefsChanged);
        SensorViewPrefs prefs;
        for (const QString &line : t[0].split(u',', Qt::SkipEmptyParts))
            QVERIFY(prefs.parse(line.section(u' ', 0, 0), line.section(u' ', 1)));
        view.setPrefs(prefs);
        QCOMPARE(view.isHidden(), !prefs.bySensor); // the remembered view takes the grid's place
        QCOMPARE(readings->isHidden(), prefs.bySensor);
        rig->sendAll({"a:CPU 1=40 C", "a:Fan=900", "b:CPU 2=41 C", "c:Fan=1"});
        view.model()->refreshNow();
        for (const QString &step : t[1].split(u' ', Qt::SkipEmptyParts)) {
            const int n = step.mid(1).toInt();
            step[0] == u'c'   ? view.hideColumn(n)
            : step[0] == u'h' ? view.hideHost(n)
            : step[0] == u'C' ? view.showAllColumns()
                              : view.showAllHosts();
        }
        // The view hides what the model says.
        QCOMPARE(view.table()->isColumnHidden(1), !view.model()->columnShown(1));
        QCOMPARE(int(told.count()), t[2].toInt());
        QCOMPARE(view.prefs().lines().join(u','), t[3]);
        QCOMPARE(shown(*view.model()).section(u';', 0, 1), table.section(u';', 4));
        if (!told.isEmpty())
            QCOMPARE(told.last().at(0).value<SensorViewPrefs>(), view.prefs());
    }
};
ZARARE_TEST(SensorTableModelTest)
#include "SensorTableModelTest.moc"
