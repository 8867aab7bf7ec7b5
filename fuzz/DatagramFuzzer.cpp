// Feeds every input, as one datagram, through the whole reception path: bytes to text, both traffic
// counters, the parser and the host grid on a real FlexGrid. The grid lives across inputs, as it does in
// the running program, so readings pile up into full rows and many hosts; after every input the grid's
// rules are checked and a breach aborts with a message.
//
// Memory stays bounded: the grid is rebuilt after ResetEvery inputs (or once the datagrams kept for
// reproduction pass HistoryBytes). Every PrefillEvery-th grid starts with all but a few of its 32,767
// host rows taken, so the last rows and the dropping of further hosts are fuzzed too.
//
// Every input that is not one of the other syslog layouts (ReadingCut::shapeOf says Bsd) must be cut
// exactly as the frozen reference cutting (FrozenBsdCut) cuts it, slice for slice.
//
// A breach found after many inputs depends on all of them: the datagrams fed to the grid since it was
// rebuilt are written to grid-history-<pid>.bin (in $ZARARE_FUZZ_HISTORY_DIR, else the current folder),
// and `ZARARE_FUZZ_REPLAY=that-file fuzz_datagram` feeds them again with the same checks.

#include "FrozenBsdCut.h"
#include "core/ReadingCut.h"
#include "grid/FlexGrid.h"
#include "net/UdpSocket.h"
#include "reception/DatagramReception.h"
#include "reception/DatagramText.h"
#include "reception/HostGrid.h"
#include "reception/ReadingParser.h"
#include "text/TextBuffer.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>

#if __has_include(<sanitizer/lsan_interface.h>)
#include <sanitizer/lsan_interface.h>
#define ZARARE_LEAK_CHECK 1
#endif

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int ResetEvery = 4096;
constexpr qint64 HistoryBytes = 32 * 1024 * 1024;
constexpr int FullCheckEvery = 1024;
constexpr int PrefillEvery = 16;
constexpr int PrefillFree = 8;    // host rows left free in a prefilled grid
constexpr int LeakCheckEvery = 8; // grids; a leak check scans the whole heap
constexpr int Cap = 255;          // every remainder of a datagram is cut to this many characters
constexpr char HistoryMagic[] = "ZARARE-DATAGRAMS-1\n";

struct Grid {
    UdpSocket socket; // never bound: datagrams are handed to processDatagram directly
    FlexGrid cells;
    DatagramReception reception{socket, cells};
    QHash<QString, int> rows; // our own record of host name -> row, kept apart from the grid's index
    double packets = 0;
    double bytes = 0;
    int fed = 0;    // datagrams fed, prefill included
    int fuzzed = 0; // inputs of the fuzzer fed
    bool prefilled = false;
    std::vector<QByteArray> history;
    qint64 historyBytes = 0;
};

std::unique_ptr<Grid> grid;
int gridsMade = 0;
bool replaying = false;

void writeHistory(const std::vector<QByteArray> &history) {
    if (replaying)
        return;
    QByteArray dir = qgetenv("ZARARE_FUZZ_HISTORY_DIR");
    if (dir.isEmpty())
        dir = ".";
    const QString path = QString::fromLocal8Bit(dir) +
                         QStringLiteral("/grid-history-%1.bin").arg(QCoreApplication::applicationPid());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
        return;
    }
    file.write(HistoryMagic);
    for (const QByteArray &d : history) {
        const quint32 n = quint32(d.size());
        const char len[4] = {char(n & 0xFF), char((n >> 8) & 0xFF), char((n >> 16) & 0xFF),
                             char((n >> 24) & 0xFF)};
        file.write(len, 4);
        file.write(d);
    }
    std::fprintf(stderr, "the %zu datagrams fed since the grid was made are in %s\n", history.size(),
                 qPrintable(path));
}

QString quoted(const QString &s) {
    return QLatin1Char('\'') + s.left(80) + (s.size() > 80 ? QStringLiteral("...'") : QStringLiteral("'"));
}

[[noreturn]] void breach(const char *rule, int row, int col, const QString &subject) {
    std::fprintf(stderr, "\n== grid rule broken: %s (row %d, column %d) %s\n", rule, row, col,
                 subject.isNull() ? "" : qPrintable(quoted(subject)));
    if (grid)
        writeHistory(grid->history);
    std::abort();
}

// `subject`, the text the rule is about, is only read when the rule is broken.
const QString noSubject;
void expect(bool ok, const char *rule, int row = -1, int col = -1, const QString &subject = noSubject) {
    if (!ok)
        breach(rule, row, col, subject);
}

// A stored name is one space and the tag (the tag at most 253 characters, the bracket pair being inside
// the 255-character remainder); a stored value is a space, at most 255 characters and a space. An
// empty cell is one never written, or written with the empty name of a reading that never had a tag.
void checkCells(const FlexGrid &cells, int row) {
    const QString &host = cells.textAt(row, 0);
    expect(host.size() <= Cap, "host name longer than 255 characters", row, 0);
    expect(cells.textAt(row, 1).size() <= 6, "date longer than 6 characters", row, 1);
    expect(cells.textAt(row, 2).size() <= 8, "time longer than 8 characters", row, 2);
    std::array<QStringView, 64> names;
    size_t count = 0;
    for (int c = HostGrid::FirstNameCol; c <= HostGrid::LastNameCol; c += 2) {
        const QString &name = cells.textAt(row, c);
        const QString &value = cells.textAt(row, c + 1);
        if (!name.isEmpty()) {
            expect(name.front() == QLatin1Char(' ') && name.size() <= 1 + Cap,
                   "sensor name not a space and at most 255 characters", row, c, name);
            expect(cells.foreColorAt(row, c) == FlexGrid::Blue, "sensor name not blue", row, c);
        }
        if (!value.isEmpty())
            expect(value.size() >= 2 && value.front() == QLatin1Char(' ') &&
                       value.back() == QLatin1Char(' ') && value.size() <= 2 + Cap,
                   "sensor value not a space, at most 255 characters and a space", row, c + 1, value);
        const QStringView key = TextBuffer::trimSpaces(name);
        if (!key.isEmpty()) // an empty tag may stand in any number of slots: it counts as a free slot
            names[count++] = key;
    }
    std::sort(names.begin(), names.begin() + count);
    const auto twice = std::adjacent_find(names.begin(), names.begin() + count);
    expect(twice == names.begin() + count, "sensor name twice in one row", row, -1,
           twice == names.begin() + count ? noSubject : twice->toString());
}

// Every host row against our record and the grid's own index: one row per name, in order of arrival.
void checkAll(Grid &g) {
    const int hosts = g.reception.hostGrid.hostcount();
    expect(g.rows.size() == hosts, "host count differs from the hosts fed", hosts);
    for (int r = 1; r <= hosts; ++r) {
        const QString &host = g.cells.textAt(r, 0);
        expect(g.rows.value(host, 0) == r, "host row not where it was appended", r, 0, host);
        expect(g.reception.hostGrid.rowOf(host) == r, "host index differs from a scan of column 0", r, 0,
               host);
        checkCells(g.cells, r);
    }
    g.cells.flush();
    expect(g.cells.rowCount() == hosts, "grid model rows differ from the host rows");
}

// Every slice of a cut lies within the text it was cut from: the parser takes the fields it stands for
// without checking bounds again.
void expectWithin(const ReadingCut::Result &r, std::size_t size, const QString &text) {
    for (const ReadingCut::Slice s : {r.date, r.time, r.host, r.sensor, r.value, r.unit, r.rest})
        expect(std::size_t(s.pos) + s.len <= size, "a slice of the cut reaches past the text", -1, -1, text);
}

// A BSD reading is cut as it always was; any other shape starts with a strict priority.
void compareWithFrozen(const QString &text) {
    const std::u16string_view t(reinterpret_cast<const char16_t *>(text.utf16()), size_t(text.size()));
    const ReadingCut::Result now = ReadingCut::cut(t);
    expectWithin(now, t.size(), text);
    if (now.shape != ReadingCut::Shape::Bsd) {
        expect(text.startsWith(QLatin1Char('<')), "a text without a leading priority taken for a new layout",
               -1, -1, text);
        return;
    }
    const ReadingCut::Result old = FrozenBsdCut::cut(t);
    expect(now.date == old.date && now.time == old.time && now.hasHost == old.hasHost &&
               now.host == old.host && now.hasSensor == old.hasSensor && now.sensor == old.sensor &&
               now.value == old.value && now.rest == old.rest && !now.dateMade && !now.stampFromClock &&
               !now.hostFromSender,
           "a BSD reading is cut differently from the frozen reference", -1, -1, text);
}

// The cutter that reuses the last reading's head cuts as cut() does: the text itself (after the inputs
// before it), then the text with a character more and with its last one gone, which share its head.
void compareCutter(const QString &text) {
    static ReadingCut::Cutter cutter;
    const std::u16string whole(reinterpret_cast<const char16_t *>(text.utf16()), size_t(text.size()));
    for (const std::u16string &t :
         {whole, whole + u"]", whole.substr(0, whole.empty() ? 0 : whole.size() - 1)}) {
        const ReadingCut::Result r = cutter.cut(t);
        const QString subject = QString::fromStdU16String(t);
        expectWithin(r, t.size(), subject);
        expect(r == ReadingCut::cut(t), "the cutter cut a text otherwise than cut()", -1, -1, subject);
    }
}

void feed(Grid &g, QByteArrayView bytes) {
    DatagramReception &rx = g.reception;
    HostGrid &hosts = rx.hostGrid;

    // What the reading will be: a copy of the reading fields (they carry over between datagrams)
    // parsed the same way, so the row and slot the grid must choose are known beforehand.
    ReadingParser next = rx.reading;
    next.udpdata = DatagramText::decode(bytes);
    compareWithFrozen(next.udpdata);
    compareCutter(next.udpdata);
    next.parseudp();
    const int hostsBefore = hosts.hostcount();
    const int knownRow = g.rows.value(next.hostname, 0);
    std::array<QString, FlexGrid::Columns> before;
    if (knownRow > 0)
        for (int c = 0; c < FlexGrid::Columns; ++c)
            before[size_t(c)] = g.cells.textAt(knownRow, c);

    rx.processDatagram(bytes);
    g.packets += 1;
    g.bytes += double(bytes.size());
    ++g.fed;

    expect(rx.PacketsReceived.value() == g.packets, "packet counter differs from the datagrams fed");
    expect(rx.ReceivedBytes.value() == g.bytes, "byte counter differs from the bytes fed");
    expect(rx.reading.hostname == next.hostname && rx.reading.sensorname == next.sensorname &&
               rx.reading.sensorvalue == next.sensorvalue,
           "the same datagram parsed twice gave two readings");

    const int hostsNow = hosts.hostcount();
    expect(hostsNow >= 1 && hostsNow <= HostGrid::MaxHosts, "host count out of range", hostsNow);
    expect(g.cells.Rows() == hostsNow + 1, "row count is not host count + 1", g.cells.Rows());

    int row = knownRow;
    if (knownRow > 0) {
        expect(hostsNow == hostsBefore, "a known host made a new row", hostsNow, 0, next.hostname);
    } else if (hostsBefore < HostGrid::MaxHosts) {
        expect(hostsNow == hostsBefore + 1, "a new host did not make exactly one new row", hostsNow, 0,
               next.hostname);
        row = hostsNow;
        g.rows.insert(next.hostname, row);
    } else {
        expect(hostsNow == hostsBefore && hosts.hostrow() == 0, "a host beyond the last row was stored",
               hostsNow, 0, next.hostname);
        expect(hosts.rowOf(next.hostname) == 0, "a dropped host is in the index", 0, 0, next.hostname);
        return;
    }
    expect(hosts.hostrow() == row, "reading stored in another host's row", hosts.hostrow(), 0, next.hostname);
    expect(g.cells.textAt(row, 0) == next.hostname, "host row does not carry the host name", row, 0);
    expect(hosts.rowOf(next.hostname) == row, "host index does not point at the host's row", row, 0);

    // The slot: the last name column already holding this name (compared without surrounding spaces),
    // else the first empty one, else none.
    const QStringView wanted = TextBuffer::trimSpaces(next.sensorname);
    int slot = 0;
    for (int c = HostGrid::FirstNameCol; c <= HostGrid::LastNameCol; c += 2) {
        const QStringView cell = TextBuffer::trimSpaces(before[size_t(c)]);
        if (cell == wanted)
            slot = c;
        else if (cell.isEmpty() && slot == 0)
            slot = c;
    }
    expect(hosts.sensorcol() == slot, "reading stored in the wrong sensor slot", row, hosts.sensorcol());
    if (slot > 0) {
        expect(g.cells.textAt(row, slot) == next.sensorname, "sensor name not stored", row, slot);
        expect(g.cells.textAt(row, slot + 1) == next.sensorvalue, "sensor value not stored", row, slot + 1);
        // From the reading itself: a line without a time stamp takes the receiving time, which may have
        // moved on by a second since the copy above was parsed.
        expect(g.cells.textAt(row, 1) == rx.reading.msgdate && g.cells.textAt(row, 2) == rx.reading.msgtime,
               "date and time of the reading not stored", row, 1);
    }
    // Nothing else in the row may change (a new row had nothing before).
    if (knownRow > 0) {
        for (int c = 0; c < FlexGrid::Columns; ++c) {
            if (slot > 0 && (c == 1 || c == 2 || c == slot || c == slot + 1))
                continue;
            expect(g.cells.textAt(row, c) == before[size_t(c)], "a cell the reading does not own changed",
                   row, c);
        }
    }
    checkCells(g.cells, row);

    if (!g.prefilled && g.fed % FullCheckEvery == 0) {
        checkAll(g);
        QCoreApplication::processEvents(); // let the frame timers publish, as the event loop would
    }
}

void remember(Grid &g, QByteArrayView bytes) {
    g.history.emplace_back(bytes.data(), bytes.size());
    g.historyBytes += bytes.size();
}

std::unique_ptr<Grid> makeGrid(bool prefill) {
    auto g = std::make_unique<Grid>();
    g->reception.hostGrid.reset();
    g->reception.hostGrid.writeHeaderRow();
    if (prefill) {
        // Hosts h0 ... with one sensor each, fed as datagrams like any other (and counted).
        // Checked as a whole once they are in, not one by one.
        for (int i = 0; i < HostGrid::MaxHosts - PrefillFree; ++i) {
            const QByteArray d = "<13>Sep  9 20:04:58 h" + QByteArray::number(i) + " sensor[t]: v=1 C";
            remember(*g, d);
            g->reception.processDatagram(d);
            g->packets += 1;
            g->bytes += double(d.size());
            ++g->fed;
            g->rows.insert(QStringLiteral("h%1").arg(i), i + 1);
        }
        expect(g->reception.PacketsReceived.value() == g->packets &&
                   g->reception.ReceivedBytes.value() == g->bytes,
               "counters differ from the datagrams fed");
        checkAll(*g);
        g->prefilled = true;
    }
    return g;
}

// The grid's last full check; then, with the grid gone, nothing of what it allocated may be left
// unreachable (checked for every LeakCheckEvery-th grid: the check scans the whole heap). The fuzzer's
// own check after each input cannot be used: a grid that keeps what it is fed allocates more than it
// frees on purpose.
void retire() {
    checkAll(*grid);
    std::vector<QByteArray> history = std::move(grid->history);
    grid.reset();
#ifdef ZARARE_LEAK_CHECK
    if (gridsMade % LeakCheckEvery == 0 && __lsan_do_recoverable_leak_check() != 0) {
        std::fprintf(stderr, "\n== memory of a grid was leaked\n");
        writeHistory(history);
        std::abort();
    }
#endif
}

void ensureApplication() {
    static int argc = 1;
    static char name[] = "fuzz_datagram";
    static char *argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv); // lives for the whole run
}

void replay(const char *path) {
    replaying = true;
    QFile file(QString::fromLocal8Bit(path));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot open %s\n", path);
        std::exit(2);
    }
    const QByteArray all = file.readAll();
    qsizetype at = qsizetype(sizeof HistoryMagic - 1);
    if (!all.startsWith(HistoryMagic)) {
        std::fprintf(stderr, "%s is not a datagram history\n", path);
        std::exit(2);
    }
    Grid g;
    g.reception.hostGrid.reset();
    g.reception.hostGrid.writeHeaderRow();
    int count = 0;
    while (at + 4 <= all.size()) {
        const auto *p = reinterpret_cast<const unsigned char *>(all.constData() + at);
        const qsizetype n = qsizetype(p[0] | (p[1] << 8) | (p[2] << 16) | (quint32(p[3]) << 24));
        at += 4;
        if (n > all.size() - at)
            break;
        feed(g, QByteArrayView(all.constData() + at, n));
        at += n;
        ++count;
    }
    checkAll(g);
    std::fprintf(stderr, "replayed %d datagrams: every rule held\n", count);
    std::exit(0);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    ensureApplication();
    if (const char *path = std::getenv("ZARARE_FUZZ_REPLAY"))
        replay(path);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (!grid || grid->fuzzed >= ResetEvery || grid->historyBytes >= HistoryBytes) {
        if (grid)
            retire();
        grid = makeGrid(++gridsMade % PrefillEvery == 0);
    }
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    remember(*grid, bytes);
    ++grid->fuzzed;
    feed(*grid, bytes);
    return 0;
}
