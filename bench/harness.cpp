// zarare-bench: the ingest benchmark of the monitor itself. Runs the real main window (offscreen, shown,
// its socket bound, every datagram counted, parsed and stored in the grid) pinned to one core, and the
// load generator on another.
//
// One measurement per process (so that peak memory belongs to it), printed as one line
// "result receiver=monitor load=MODE key=value ...":
//   zarare-bench drain  [--count N] [--hosts H] [--sensors S] [--warm] [--rcvbuf BYTES]
//       fills the socket while the event loop does not run, then drains it; --warm first stores one
//       reading of every host and sensor, so the measurement sees a full grid
//   zarare-bench paced  [--rate R] [--seconds T] [--hosts H] [--sensors S] [--probe]
//   zarare-bench flood  [--seconds T] [--probe]  full speed while the monitor reads, its own buffer
//       --probe: one probe reading a millisecond besides the load, for the arrival-to-cell delay
//   zarare-bench memory [--hosts H] [--sensors S] [--rounds K]
//   zarare-bench worst  [--unbounded]          32,767 hosts x 64 sensors with every cell as long as a
//       datagram allows and every name different, fed straight to the reception path: peak memory
//   zarare-bench path   [--count N] [--rounds K] [--hosts H] [--sensors S]   the reception path alone: N
//       of the load's readings (64,000) fed straight in K times (15), without the socket; the processor
//       time per reading, best and median round. Steadier than a drain for changes to the reading path.
//       --syscall-every M: a system call (getppid) before every M-th reading, as a drain makes one
//       receive call per batch: the rise over M = 0 is what the calls cost the reading path, their own
//       time and the caches refilled after them (a microsecond a call where the kernel isolates its
//       page tables without process tags)
//   zarare-bench sortflood [--hosts H] [--seconds T]   H hosts (32,767) with 64 of 500 distinct sensors,
//       the By Sensor view shown and sorted by a sensor, re-sorted by a click every 500 ms during a
//       full-speed flood over all hosts: the worst event-loop gap (--readings: the same load with the
//       Readings grid shown and nothing sorted)
//   zarare-bench soak   [--seconds T]          two generators at full speed for T s (default 60): the worst
//       event-loop gap, memory every second, and whether every datagram the kernel delivered was counted
// Sets of measurements, each run in a child process, with a table against the targets:
//   zarare-bench hosts    [--repeat K]         cost per datagram, 32,767 hosts against 10
//   zarare-bench shapes   [--repeat K]         cost per datagram, RFC 5424 readings against BSD ones
//   zarare-bench standard [--repeat K]         everything above, and the bare counter for reference
// drain, paced, flood and memory take --view sensors: the By Sensor view shown instead of the grid,
// --rules N: N alarm threshold lines, two of them matching the load's sensors, --rfc5424: the
// readings in the RFC 5424 shape (Readings.h) instead of the BSD one, and --shuffled: the hosts' turns
// scattered over the grid instead of in order.
// Common options: --cpu C (receiver core, default 0), --sender-cpu C (default 1), --window WxH (the
// window's size in pixels instead of the design-time 513 x 172, brought down to the screen's size as
// the program does, 800 x 600 offscreen: more cells painted each frame), --verbose (Qt's messages on
// standard error).

#include "BenchCommon.h"
#include "Readings.h"
#include "geometry/Twips.h"
#include "mainwindow/MainForm.h"
#include "rules/RulesFile.h"
#include "sensorview/SensorTableModel.h"
#include "sensorview/SensorView.h"
#include "settings/SettingsFile.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QHeaderView>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/syscall.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int BigBuffer = 1024 * 1024 * 1024; // holds a pre-queued million small datagrams
constexpr std::int64_t Quiet = 500000000;     // no datagram for this long: the rest was lost

struct Phase {
    long long sent = -1;
    long long counted = 0;
    double seconds = 0;
    double cpuUs = 0;
    double sysUs = 0; // the part spent in the kernel
    double maxGapMs = 0;
    double maxBusyMs = 0;    // the most the monitor itself worked without a tick
    double maxGapWaitMs = 0; // of the worst gap, the time it waited for its core
    long long rcvbufErrors = 0;
    long long sockDrops = 0;
    long long queued = 0;
    // With the delay probe: probes sent and received, the worst and 99th-percentile arrival-to-cell delay.
    long long probesSent = 0, probesReceived = 0;
    double delayMaxMs = 0, delayP99Ms = 0;
};

// A 10 ms timer on the monitor's event loop: the longest interval between two of its ticks is how long
// the window stopped answering. Calls `onTick` at every tick.
class GapTimer {
public:
    explicit GapTimer(std::function<void(std::int64_t now)> onTick) : onTick_(std::move(onTick)) {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const std::int64_t now = Bench::nowNs(), cpu = threadCpuNs(), wait = runQueueWaitNs();
            if (now - last_ > maxGap_)
                maxGapWait_ = wait - lastWait_;
            maxGap_ = std::max(maxGap_, now - last_);
            maxBusy_ = std::max(maxBusy_, cpu - lastCpu_);
            last_ = now;
            lastCpu_ = cpu;
            lastWait_ = wait;
            onTick_(now);
        });
        last_ = Bench::nowNs();
        lastCpu_ = threadCpuNs();
        lastWait_ = runQueueWaitNs();
        timer_.start();
    }
    double maxGapMs() const { return double(maxGap_) * 1e-6; }
    // The most processor time the event loop's thread used between two ticks: the longest stretch of the
    // monitor's own work, without the time it waited for a core that other programs held.
    double maxBusyMs() const { return double(maxBusy_) * 1e-6; }
    // Of the longest interval, the time the thread was ready to run but waited for its core.
    double maxGapWaitMs() const { return double(maxGapWait_) * 1e-6; }

private:
    QTimer timer_;
    std::function<void(std::int64_t)> onTick_;
    std::int64_t last_ = 0, maxGap_ = 0, lastCpu_ = 0, maxBusy_ = 0, lastWait_ = 0, maxGapWait_ = 0;

    static std::int64_t threadCpuNs() {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return std::int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
    }
    // The kernel's count of the time this thread spent runnable on a run queue (0 where unknown).
    static std::int64_t runQueueWaitNs() {
        long long run = 0, wait = 0;
        if (FILE *f = std::fopen("/proc/thread-self/schedstat", "r")) {
            if (std::fscanf(f, "%lld %lld", &run, &wait) != 2)
                wait = 0;
            std::fclose(f);
        }
        return wait;
    }
};

// The arrival-to-cell delay, sampled: a thread on the sender's core sends one probe reading a
// millisecond ("<14>... ZZ-DELAY-PROBE probe[Seq]: Seq=N") to the monitor's port and notes when it sent
// it; on loopback that is the moment the datagram enters the socket's receive queue (its arrival). A
// handler connected to the socket after the window's own sees the probe right after the window stored
// it in its cell. The probe thread's own CPU time is left out of the receiver's.
class DelayProbe {
public:
    DelayProbe(unsigned port, int cpu, double seconds)
        : sentAt_(std::size_t(seconds * 1000 * 2 + 2000), 0), port_(port), cpu_(cpu) {
        thread_ = std::thread([this] { send(); });
    }
    ~DelayProbe() { stop(); }
    void stop() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }

    // Called for every datagram the socket delivers, after the window has stored it.
    void seen(QByteArrayView d) {
        if (d.size() < 4 || d[2] != '4' || d[1] != '1')
            return; // not a probe: the generator's readings have priority 13
        const std::int64_t now = Bench::nowNs();
        long long seq = 0;
        for (qsizetype i = d.lastIndexOf('=') + 1; i > 0 && i < d.size() && d[i] >= '0' && d[i] <= '9'; ++i)
            seq = seq * 10 + (d[i] - '0');
        ++received_;
        if (seq < sent_.load(std::memory_order_acquire))
            delaysUs_.push_back(double(now - sentAt_[std::size_t(seq)]) * 1e-3);
    }

    long long received() const { return received_; }
    long long sent() const { return sent_.load(); }
    std::int64_t cpuUs() const { return cpuUs_.load(); }
    // The worst and the p-th quantile of the delays seen, in milliseconds.
    double worstMs() const {
        return delaysUs_.empty() ? 0 : *std::max_element(delaysUs_.begin(), delaysUs_.end()) * 1e-3;
    }
    double quantileMs(double p) const {
        if (delaysUs_.empty())
            return 0;
        std::vector<double> v = delaysUs_;
        const auto k = std::size_t(std::min(double(v.size() - 1), p * double(v.size())));
        std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(k), v.end());
        return v[k] * 1e-3;
    }

private:
    void send() {
        Bench::pinToCpu(cpu_);
        const int fd = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(uint16_t(port_));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        char text[128];
        std::int64_t next = Bench::nowNs();
        long long seq = 0;
        while (!stop_ && std::size_t(seq) < sentAt_.size()) {
            next += 1000000;
            const timespec at{time_t(next / 1000000000), long(next % 1000000000)};
            clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr);
            const int n = std::snprintf(text, sizeof text,
                                        "<14>Dec  6 19:40:53 ZZ-DELAY-PROBE probe[Seq]: Seq=%lld", seq);
            sentAt_[std::size_t(seq)] = Bench::nowNs();
            sent_.store(seq + 1, std::memory_order_release);
            if (sendto(fd, text, size_t(n), 0, reinterpret_cast<sockaddr *>(&to), sizeof to) == n)
                ++seq;
        }
        sent_.store(seq, std::memory_order_release);
        close(fd);
        timespec cpu{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
        cpuUs_ = std::int64_t(cpu.tv_sec) * 1000000 + cpu.tv_nsec / 1000;
    }

    std::vector<std::int64_t> sentAt_;
    std::vector<double> delaysUs_;
    std::atomic<long long> sent_{0};
    std::atomic<std::int64_t> cpuUs_{0};
    std::atomic<bool> stop_{false};
    long long received_ = 0;
    unsigned port_;
    int cpu_;
    std::thread thread_;
};

// The monitor under test and the means to feed it.
class Subject {
public:
    // `window`: the window's size in pixels (width, height); empty for the design-time size.
    Subject(int senderCpu, QSize window) : senderCpu_(senderCpu) {
        // The bench relies on these members of the main window only: Form_Load, show, DudUDP (Close,
        // bindPort, isBound, localPort, receiveBufferBytes), reception.PacketsReceived.value() and
        // grid.Rows(); and on the settings file's folder for tests and its record. The monitor starts from
        // a settings file of its own that names a free port, so that Form_Load never binds the port the
        // user configured (nor 514, which tests running beside the bench may want).
        const unsigned wanted = freeDualStackPort();
        SettingsFile::setFolderForTesting(settings_.path());
        QFile record(SettingsFile::path());
        // Height and width in twips, then top and left.
        const QByteArray size = window.isEmpty()
                                    ? QByteArray("2580,7695")
                                    : QByteArray::number(qRound(window.height() * Twips::perPixelY())) + "," +
                                          QByteArray::number(qRound(window.width() * Twips::perPixelX()));
        if (record.open(QIODevice::WriteOnly))
            record.write(QByteArray::number(wanted) + "," + size + ",1200,900");
        record.close();
        form_.Form_Load();
        if (!form_.DudUDP.isBound() || form_.DudUDP.localPort() != wanted) { // taken meanwhile
            form_.DudUDP.Close();
            form_.DudUDP.bindPort(0);
        }
        port_ = form_.DudUDP.localPort();
        form_.show();
        settle(300);
        fd_ = Bench::findUdpFd(port_);
        inode_ = Bench::inodeOfFd(fd_);
        ownBuffer_ = form_.DudUDP.receiveBufferBytes();
    }

    bool ready() const { return form_.DudUDP.isBound() && fd_ >= 0; }
    // Hands the window's reception path one datagram directly, as the socket would.
    void feed(QByteArrayView datagram) { form_.reception.processDatagram(datagram); }
    void unboundText() {
        form_.reception.hostGrid.setTextBudgetForTesting(std::numeric_limits<qint64>::max());
    }
    qint64 textChars() const { return form_.grid.textChars(); }
    unsigned port() const { return port_; }
    int ownBuffer() const { return ownBuffer_; }
    int rows() const { return form_.grid.Rows(); }
    int enlargeBuffer(int bytes) { return Bench::forceReceiveBuffer(fd_, bytes); }
    SensorView &sensorView() { return *form_.sensorView; }
    // Alarm bounds as a rules file would give them: `count` threshold lines, two of which match the
    // load's sensors (so that cells go amber and red), the others other names.
    void applyRules(int count) {
        QString text = QStringLiteral("CPU* warn 60 crit 70\n*Fan* low-warn 900 low-crit 700\n");
        for (int k = 2; k < count; ++k)
            text += QStringLiteral("Rail %1* warn 1 crit 2\n").arg(k);
        form_.grid.setRules(RulesFile::parse(text).rules);
    }
    void showSensors() {
        form_.sensorView->showBySensor(true);
        settle(100);
    }

    // Lets the event loop run for a while (first paint, frame timers).
    static void settle(int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }

    // Sends `load` (first into the paused socket when `preQueue`, else while the event loop runs) and runs
    // the event loop until every datagram is counted, or none has come for a while after the sender ended.
    Phase run(Bench::Load load, bool preQueue, bool probe = false) {
        load.port = port_;
        load.cpu = senderCpu_;
        Phase p;
        const double count0 = form_.reception.PacketsReceived.value();
        const std::int64_t errors0 = Bench::udpRcvbufErrors(), drops0 = Bench::socketDrops(inode_);
        const std::string loadgen = Bench::programDir() + "/zarare-loadgen";
        Bench::Sender sender;
        if (preQueue) {
            sender = Bench::startSender(loadgen, load);
            Bench::senderDone(sender, &p.sent, true); // the event loop does not run: the socket fills
            p.queued = Bench::socketRxQueue(inode_);
        }
        const std::int64_t t0 = Bench::nowNs(), cpu0 = Bench::processCpuUs(),
                           sys0 = Bench::processSystemCpuUs();
        std::unique_ptr<DelayProbe> delay;
        QMetaObject::Connection probed;
        if (probe) {
            delay = std::make_unique<DelayProbe>(port_, senderCpu_, load.seconds > 0 ? load.seconds : 60);
            probed = QObject::connect(&form_.DudUDP, &UdpSocket::DataArrival,
                                      [&](int) { delay->seen(form_.DudUDP.GetData()); });
        }
        if (!preQueue)
            sender = Bench::startSender(loadgen, load);
        bool running = !preQueue, done = false;
        long long lastCount = 0;
        std::int64_t lastChange = t0, end = t0, cpuEnd = cpu0, sysEnd = sys0;

        QEventLoop loop;
        // Probes sent in the run's last moments may still wait in the socket when the last reading is
        // counted: the loop goes on for them, outside the timing, up to this long.
        constexpr std::int64_t ProbeGrace = 200'000'000;
        std::int64_t probesUntil = 0;
        const GapTimer *ticks = nullptr; // the event loop's gaps, taken at the end like the times
        auto finish = [&](std::int64_t at) {
            done = true;
            end = at;
            cpuEnd = Bench::processCpuUs();
            sysEnd = Bench::processSystemCpuUs();
            p.maxGapMs = ticks->maxGapMs();
            p.maxBusyMs = ticks->maxBusyMs();
            p.maxGapWaitMs = ticks->maxGapWaitMs();
            if (!delay) {
                loop.quit();
                return;
            }
            delay->stop();
            probesUntil = Bench::nowNs() + ProbeGrace;
        };
        auto check = [&] {
            const std::int64_t now = Bench::nowNs();
            if (done) {
                if (!delay || delay->received() >= delay->sent() || now > probesUntil)
                    loop.quit();
                return;
            }
            const auto counted = (long long)(form_.reception.PacketsReceived.value() - count0) -
                                 (delay ? delay->received() : 0);
            if (counted != lastCount) {
                lastCount = counted;
                lastChange = now;
            }
            if (running) {
                running = !Bench::senderDone(sender, &p.sent, false);
                if (!running && delay)
                    delay->stop();
            }
            if (!running && p.sent >= 0 && counted >= p.sent)
                finish(now);
            else if (!running && now - lastChange > Quiet)
                finish(lastChange);
        };
        GapTimer tick([&](std::int64_t) { check(); });
        ticks = &tick;
        const auto idle = QObject::connect(QAbstractEventDispatcher::instance(),
                                           &QAbstractEventDispatcher::aboutToBlock, check);
        loop.exec();
        QObject::disconnect(idle);
        if (delay) {
            QObject::disconnect(probed);
            delay->stop();
            cpuEnd -= delay->cpuUs();
            p.probesSent = delay->sent();
            p.probesReceived = delay->received();
            p.delayMaxMs = delay->worstMs();
            p.delayP99Ms = delay->quantileMs(0.99);
        }

        p.counted = lastCount;
        p.seconds = double(end - t0) * 1e-9;
        p.cpuUs = double(cpuEnd - cpu0);
        p.sysUs = double(sysEnd - sys0);
        p.rcvbufErrors = Bench::udpRcvbufErrors() - errors0;
        p.sockDrops = Bench::socketDrops(inode_) - drops0;
        return p;
    }

    // Two generators at full speed for `seconds` while the event loop runs, sending different halves of
    // the host x sensor sequence; the resident memory is sampled every second. Ends when every datagram
    // the kernel delivered to the socket is counted, or none has come for a while after the senders ended.
    struct Soak {
        long long sent = 0;
        long long counted = 0;
        long long sockDrops = 0;
        double maxGapMs = 0;
        std::vector<double> rssMb; // one sample a second
    };
    Soak soak(Bench::Load load, double seconds) {
        load.port = port_;
        load.cpu = senderCpu_;
        load.seconds = seconds;
        Bench::Load second = load;
        second.start = (long long)load.hosts * load.sensors / 2;
        const std::string loadgen = Bench::programDir() + "/zarare-loadgen";
        Soak r;
        const double count0 = form_.reception.PacketsReceived.value();
        const std::int64_t drops0 = Bench::socketDrops(inode_);
        Bench::Sender senders[2] = {Bench::startSender(loadgen, load), Bench::startSender(loadgen, second)};
        long long sent[2] = {-1, -1};
        bool running[2] = {true, true};
        const std::int64_t t0 = Bench::nowNs();
        std::int64_t lastSample = t0, lastChange = t0;
        long long lastCount = 0;
        QEventLoop loop;
        GapTimer tick([&](std::int64_t now) {
            if (now - lastSample >= 1000000000) {
                r.rssMb.push_back(double(Bench::residentMemoryKb()) / 1024);
                lastSample = now;
            }
            const auto counted = (long long)(form_.reception.PacketsReceived.value() - count0);
            if (counted != lastCount) {
                lastCount = counted;
                lastChange = now;
            }
            for (int i = 0; i < 2; ++i)
                if (running[i])
                    running[i] = !Bench::senderDone(senders[i], &sent[i], false);
            if (running[0] || running[1])
                return;
            const long long delivered = sent[0] + sent[1] - (Bench::socketDrops(inode_) - drops0);
            if (counted >= delivered || now - lastChange > Quiet)
                loop.quit();
        });
        loop.exec();
        r.sent = sent[0] + sent[1];
        r.counted = lastCount;
        r.sockDrops = Bench::socketDrops(inode_) - drops0;
        r.maxGapMs = tick.maxGapMs();
        return r;
    }

private:
    // A port free for IPv4 and IPv6 alike, as the monitor binds both.
    static unsigned freeDualStackPort() {
        const int s = socket(AF_INET6, SOCK_DGRAM, 0);
        int off = 0;
        setsockopt(s, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
        sockaddr_in6 a{};
        a.sin6_family = AF_INET6;
        a.sin6_addr = in6addr_any;
        socklen_t len = sizeof a;
        unsigned port = 0;
        if (bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
            getsockname(s, reinterpret_cast<sockaddr *>(&a), &len) == 0)
            port = ntohs(a.sin6_port);
        close(s);
        return port;
    }

    QTemporaryDir settings_; // before the window: it outlives the window's last look at its settings
    MainForm form_;
    int senderCpu_;
    unsigned port_ = 0;
    int fd_ = -1;
    unsigned long inode_ = 0;
    int ownBuffer_ = 0;
};

// Qt's notes about the offscreen platform (no tray, no size hints) are not part of a measurement.
void quietMessages(QtMsgType type, const QMessageLogContext &, const QString &text) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(text));
}

int measure(const std::string &mode, const Bench::Options &opt, int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!opt.flag("verbose"))
        qInstallMessageHandler(quietMessages);
    const int cpu = int(opt.number("cpu", 0));
    Bench::pinToCpu(cpu); // before Qt starts any thread
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zar-Are"));

    QSize window;
    if (const std::string size = opt.text("window", ""); !size.empty()) {
        int width = 0, height = 0;
        if (std::sscanf(size.c_str(), "%dx%d", &width, &height) != 2 || width <= 0 || height <= 0) {
            std::fprintf(stderr, "zarare-bench: --window takes WIDTHxHEIGHT in pixels, such as 800x600\n");
            return 2;
        }
        window = QSize(width, height);
    }
    Subject subject(int(opt.number("sender-cpu", 1)), window);
    if (!subject.ready()) {
        std::fprintf(stderr, "zarare-bench: the monitor's socket is not bound\n");
        return 1;
    }
    if (opt.text("view", "") == "sensors")
        subject.showSensors();
    if (const int rules = int(opt.number("rules", 0)); rules > 0)
        subject.applyRules(rules);
    const double baseMb = double(Bench::residentMemoryKb()) / 1024;

    Bench::Load load;
    load.hosts = int(opt.number("hosts", mode == "memory" ? 32767 : 100));
    load.sensors = int(opt.number("sensors", mode == "memory" ? 64 : 16));
    load.rfc5424 = opt.flag("rfc5424");
    load.shuffled = opt.flag("shuffled");
    if (mode == "worst") {
        // Every cell at the longest a datagram allows (name and value share the 255 characters after the
        // priority), and every name different: the most text a stranger's datagrams can make the grid hold.
        if (opt.flag("unbounded"))
            subject.unboundText();
        const int hosts = int(opt.number("hosts", 32767)), sensors = int(opt.number("sensors", 64));
        QByteArray d;
        long long fed = 0;
        for (int h = 0; h < hosts; ++h) {
            for (int s = 0; s < sensors; ++s) {
                d = "<13>Dec  6 20:00:00 H" + QByteArray::number(h).rightJustified(5, '0') + " s[";
                d += QByteArray::number(h * 64 + s).rightJustified(8, '0') + QByteArray(87, 'n') + "]: v=";
                d += QByteArray::number(s) + QByteArray(128, 'v');
                subject.feed(d);
                ++fed;
            }
            if (h % 512 == 0)
                QCoreApplication::processEvents();
        }
        Subject::settle(200);
        std::printf("result receiver=monitor load=worst bounded=%s hosts=%d sensors=%d fed=%lld rows=%d "
                    "text_mchars=%.1f hwm_mb=%.1f rss_mb=%.1f base_mb=%.1f\n",
                    opt.flag("unbounded") ? "no" : "yes", hosts, sensors, fed, subject.rows() - 1,
                    double(subject.textChars()) / 1e6, double(Bench::peakMemoryKb()) / 1024,
                    double(Bench::residentMemoryKb()) / 1024, baseMb);
        std::fflush(stdout);
        return 0;
    }
    if (mode == "path") {
        // The reception path alone, without the socket and the system's part: the load's readings fed
        // straight in, round after round, timed by this thread's processor time. Painting happens
        // between rounds, outside the timing.
        const int count = int(opt.number("count", 64000)), rounds = int(opt.number("rounds", 15));
        const std::int64_t syscallEvery = std::int64_t(opt.number("syscall-every", 0));
        const Bench::ReadingComposer composer(load.hosts, load.sensors,
                                              load.rfc5424 ? Bench::Shape::Rfc5424 : Bench::Shape::Bsd,
                                              load.shuffled);
        std::vector<QByteArray> readings(size_t(std::max(count, 1)));
        char text[512];
        for (size_t i = 0; i < readings.size(); ++i)
            readings[i] = QByteArray(text, qsizetype(composer.compose((long long)i, text)));
        const auto cpuNs = [] {
            timespec t{};
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
            return std::int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
        };
        std::vector<double> ns;
        for (int r = 0; r < std::max(rounds, 1); ++r) {
            const std::int64_t t0 = cpuNs();
            std::int64_t k = 0;
            for (const QByteArray &d : readings) {
                if (syscallEvery > 0 && ++k % syscallEvery == 0)
                    ::syscall(SYS_getppid);
                subject.feed(d);
            }
            ns.push_back(double(cpuNs() - t0) / double(readings.size()));
            Subject::settle(20);
        }
        std::sort(ns.begin(), ns.end());
        std::printf("result receiver=monitor load=path shape=%s hosts=%d sensors=%d readings=%zu rounds=%zu "
                    "syscall_every=%lld best_ns=%.1f median_ns=%.1f rows=%d\n",
                    load.rfc5424 ? "rfc5424" : "bsd", load.hosts, load.sensors, readings.size(), ns.size(),
                    (long long)syscallEvery, ns.front(), ns[ns.size() / 2], subject.rows());
        std::fflush(stdout);
        return 0;
    }
    if (mode == "sortflood") {
        // Every host with the generator's 16 sensors (the flood's) and 48 of 484 more, 500 names in all.
        const int hosts = int(opt.number("hosts", 32767));
        Bench::ReadingComposer composer(hosts, 16);
        char text[512];
        for (int h = 0; h < hosts; ++h) {
            for (int s = 0; s < 16; ++s)
                subject.feed(QByteArrayView(text, qsizetype(composer.compose((long long)h * 16 + s, text))));
            const QByteArray host = QByteArray::fromStdString(Bench::hostName(h));
            for (int k = 0; k < 48; ++k)
                subject.feed("<13>Dec  6 20:00:00 " + host + " sensor[Probe " +
                             QByteArray::number((h * 48 + k) % 484) + "]: Temp=" + QByteArray::number(k) +
                             " C");
            if (h % 512 == 0)
                QCoreApplication::processEvents();
        }
        // --readings: the same load with the Readings grid shown and nothing sorted, for comparison.
        const bool sorting = !opt.flag("readings");
        SensorView &view = subject.sensorView();
        if (sorting) {
            subject.showSensors();
            view.table()->sortByColumn(1, Qt::DescendingOrder);
        }
        QTimer clicks;
        QObject::connect(&clicks, &QTimer::timeout, [&view] {
            QHeaderView *header = view.table()->horizontalHeader();
            view.table()->sortByColumn(1, header->sortIndicatorOrder() == Qt::AscendingOrder
                                              ? Qt::DescendingOrder
                                              : Qt::AscendingOrder);
        });
        if (sorting)
            clicks.start(500);
        load.hosts = hosts;
        load.sensors = 16;
        load.seconds = opt.real("seconds", 5);
        const Phase p = subject.run(load, false);
        std::printf(
            "result receiver=monitor load=sortflood view=%s hosts=%d sensors=500 columns=%d sent=%lld "
            "counted=%lld seconds=%.4f rate=%.0f gap_ms=%.1f gap_wait_ms=%.1f busy_ms=%.1f hwm_mb=%.1f "
            "rows=%d\n",
            sorting ? "sensors" : "readings", hosts, view.model()->columnCount() - 1, p.sent, p.counted,
            p.seconds, p.seconds > 0 ? double(p.counted) / p.seconds : 0.0, p.maxGapMs, p.maxGapWaitMs,
            p.maxBusyMs, double(Bench::peakMemoryKb()) / 1024, subject.rows() - 1);
        std::fflush(stdout);
        return 0;
    }
    if (mode == "soak") {
        const auto r = subject.soak(load, opt.real("seconds", 60));
        const std::size_t settled = std::min<std::size_t>(5, r.rssMb.size() ? r.rssMb.size() - 1 : 0);
        const double rssSettled = r.rssMb.empty() ? 0 : r.rssMb[settled];
        const double rssEnd = r.rssMb.empty() ? 0 : r.rssMb.back();
        std::printf("result receiver=monitor load=soak hosts=%d sensors=%d senders=2 sent=%lld counted=%lld "
                    "sock_drops=%lld delivered=%lld counted_is_delivered=%s gap_ms=%.1f rss_5s_mb=%.1f "
                    "rss_end_mb=%.1f rss_growth_mb=%.1f hwm_mb=%.1f samples=%zu rows=%d\n",
                    load.hosts, load.sensors, r.sent, r.counted, r.sockDrops, r.sent - r.sockDrops,
                    r.counted == r.sent - r.sockDrops ? "yes" : "no", r.maxGapMs, rssSettled, rssEnd,
                    rssEnd - rssSettled, double(Bench::peakMemoryKb()) / 1024, r.rssMb.size(),
                    subject.rows() - 1);
        std::fflush(stdout);
        return 0;
    }
    bool preQueue = false;
    int rcvbuf = int(opt.number("rcvbuf", 0));
    if (mode == "drain") {
        load.count = opt.number("count", 1000000);
        preQueue = true;
        if (!opt.flag("rcvbuf"))
            rcvbuf = BigBuffer;
    } else if (mode == "paced") {
        load.rate = opt.number("rate", 300000);
        load.seconds = opt.real("seconds", 10);
    } else if (mode == "flood") {
        load.seconds = opt.real("seconds", 5);
    } else { // memory: every host and sensor, full speed while the monitor reads; a big buffer loses none
        load.count = (long long)load.hosts * load.sensors * opt.number("rounds", 1);
        if (!opt.flag("rcvbuf"))
            rcvbuf = BigBuffer;
    }
    const int granted = rcvbuf > 0 ? subject.enlargeBuffer(rcvbuf) : subject.ownBuffer();
    if (preQueue && double(granted) < double(load.count) * 850)
        std::fprintf(stderr,
                     "zarare-bench: the receive buffer granted (%d bytes) holds about %.0f of the %lld "
                     "datagrams to queue; run as root (SO_RCVBUFFORCE) or raise net.core.rmem_max\n",
                     granted, double(granted) / 850, load.count);

    Phase cold;
    if (opt.flag("warm")) {
        Bench::Load first = load;
        first.rate = 0;
        first.seconds = 0;
        first.count = (long long)load.hosts * load.sensors;
        cold = subject.run(first, true);
        load.start = first.count;
    }
    const Phase p = subject.run(load, preQueue, opt.flag("probe"));
    std::printf(
        "result receiver=monitor load=%s shape=%s hosts=%d sensors=%d sent=%lld counted=%lld lost=%lld "
        "rcvbuf_errors=%lld sock_drops=%lld seconds=%.4f rate=%.0f cpu_us=%.3f sys_us=%.3f "
        "busy_pct=%.1f gap_ms=%.1f "
        "hwm_mb=%.1f rss_mb=%.1f base_mb=%.1f rows=%d rcvbuf=%d own_rcvbuf=%d queued_bytes=%lld",
        mode.c_str(), load.rfc5424 ? "rfc5424" : "bsd", load.hosts, load.sensors, p.sent, p.counted,
        p.sent - p.counted, p.rcvbufErrors, p.sockDrops, p.seconds,
        p.seconds > 0 ? double(p.counted) / p.seconds : 0.0, p.counted ? p.cpuUs / double(p.counted) : 0.0,
        p.counted ? p.sysUs / double(p.counted) : 0.0, p.seconds > 0 ? p.cpuUs / (p.seconds * 1e4) : 0.0,
        p.maxGapMs, double(Bench::peakMemoryKb()) / 1024, double(Bench::residentMemoryKb()) / 1024, baseMb,
        subject.rows() - 1, granted, subject.ownBuffer(), p.queued);
    if (p.probesSent > 0)
        std::printf(" probes=%lld probes_lost=%lld delay_max_ms=%.2f delay_p99_ms=%.2f", p.probesSent,
                    p.probesSent - p.probesReceived, p.delayMaxMs, p.delayP99Ms);
    if (cold.sent > 0)
        std::printf(" cold_sent=%lld cold_counted=%lld cold_rate=%.0f cold_cpu_us=%.3f", cold.sent,
                    cold.counted, cold.seconds > 0 ? double(cold.counted) / cold.seconds : 0.0,
                    cold.counted ? cold.cpuUs / double(cold.counted) : 0.0);
    std::printf("\n");
    std::fflush(stdout);
    return 0;
}

// ---- sets of measurements, each in a child process ----

using Fields = std::map<std::string, std::string>;

Fields child(const std::string &program, const std::string &args) {
    const std::string command = program + " " + args;
    std::fprintf(stderr, "  running: %s\n", command.c_str());
    Fields out;
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe)
        return out;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe))
        if (std::string(line).rfind("result ", 0) == 0)
            out = Bench::parseFields(line);
    pclose(pipe);
    if (out.empty())
        std::fprintf(stderr, "  (no result from: %s)\n", command.c_str());
    return out;
}

double num(const Fields &f, const char *key) {
    const auto it = f.find(key);
    return it == f.end() ? 0.0 : std::atof(it->second.c_str());
}

double median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

double medianOf(const std::vector<Fields> &runs, const char *key) {
    std::vector<double> v;
    for (const auto &r : runs)
        v.push_back(num(r, key));
    return median(v);
}

double maxOf(const std::vector<Fields> &runs, const char *key) {
    double m = 0;
    for (const auto &r : runs)
        m = std::max(m, num(r, key));
    return m;
}

std::string loadAverage() {
    FILE *f = std::fopen("/proc/loadavg", "r");
    char buf[128] = "?";
    if (f) {
        if (!std::fgets(buf, sizeof buf, f))
            buf[0] = 0;
        std::fclose(f);
    }
    std::string s(buf);
    while (!s.empty() && s.back() == '\n')
        s.pop_back();
    return s;
}

struct Row {
    std::string what, figure, target;
    bool met;
};

void printRows(const std::vector<Row> &rows) {
    std::printf("\n%-58s %-30s %-14s %s\n", "measurement", "figure", "target", "met");
    for (const auto &r : rows)
        std::printf("%-58s %-30s %-14s %s\n", r.what.c_str(), r.figure.c_str(), r.target.c_str(),
                    r.target.empty() ? "" : (r.met ? "yes" : "NO"));
}

std::string fmt(const char *format, double a, double b = 0, double c = 0) {
    char buf[128];
    std::snprintf(buf, sizeof buf, format, a, b, c);
    return buf;
}

std::vector<Fields> repeat(int times, const std::function<Fields()> &once) {
    std::vector<Fields> out;
    for (int i = 0; i < times; ++i)
        out.push_back(once());
    return out;
}

// The arrival-to-cell delay of a run with the probe: worst and 99th percentile, and probes lost.
void delayRows(const Fields &run, std::vector<Row> &rows) {
    const double worst = num(run, "delay_max_ms");
    rows.push_back({"  arrival-to-cell delay, worst / 99th percentile (ms)",
                    fmt("%.2f / %.2f", worst, num(run, "delay_p99_ms")), "< 16",
                    num(run, "probes") > 0 && worst < 16});
    rows.push_back({"  delay probes sent / lost",
                    fmt("%.0f / %.0f", num(run, "probes"), num(run, "probes_lost")), "", true});
}

void hostRows(const std::string &self, const std::string &common, int times, std::vector<Row> &rows) {
    std::vector<Fields> few, many;
    for (int i = 0; i < times; ++i) { // interleaved, so that a disturbance hits both sides alike
        few.push_back(child(self, "drain --warm --hosts 10 --sensors 8 --count 1000000" + common));
        many.push_back(child(self, "drain --warm --hosts 32767 --sensors 8 --count 1000000" + common));
    }
    const double a = medianOf(few, "cpu_us"), b = medianOf(many, "cpu_us");
    const double ratio = a > 0 ? b / a : 0;
    rows.push_back({"cost, 10 hosts x 8 sensors, grid full (us/datagram)", fmt("%.3f", a), "", true});
    rows.push_back({"cost, 32,767 hosts x 8 sensors, grid full (us/datagram)", fmt("%.3f", b), "", true});
    rows.push_back(
        {"cost ratio 32,767 hosts / 10 hosts", fmt("%.2f", ratio), "<= 1.2", ratio > 0 && ratio <= 1.2});
    rows.push_back({"first reading of each of 32,767 x 8 (cold, us/datagram)",
                    fmt("%.3f", medianOf(many, "cold_cpu_us")), "", true});
}

// The cost of an RFC 5424 reading against a BSD one: the same sensors of the same hosts, drained.
void shapeRows(const std::string &self, const std::string &common, int times, std::vector<Row> &rows) {
    std::vector<Fields> bsd, rfc5424;
    const std::string load = "drain --count 1000000 --hosts 100 --sensors 16" + common;
    for (int i = 0; i < times; ++i) { // interleaved, so that a disturbance hits both sides alike
        bsd.push_back(child(self, load));
        rfc5424.push_back(child(self, load + " --rfc5424"));
    }
    const double a = medianOf(bsd, "cpu_us"), b = medianOf(rfc5424, "cpu_us");
    const double ratio = a > 0 ? b / a : 0;
    rows.push_back({"drain 100 x 16, BSD readings: rate / us per datagram",
                    fmt("%.0f / %.3f", medianOf(bsd, "rate"), a), "", true});
    rows.push_back(
        {"  the same in the RFC 5424 shape", fmt("%.0f / %.3f", medianOf(rfc5424, "rate"), b), "", true});
    rows.push_back({"  cost ratio RFC 5424 / BSD", fmt("%.2f", ratio), "<= 1.3", ratio > 0 && ratio <= 1.3});
}

int measureSet(const std::string &mode, const Bench::Options &opt) {
    const std::string self = Bench::programDir() + "/zarare-bench";
    const std::string bare = Bench::programDir() + "/zarare-bare";
    const int times = int(opt.number("repeat", 3));
    const std::string common = " --cpu " + std::to_string(opt.number("cpu", 0)) + " --sender-cpu " +
                               std::to_string(opt.number("sender-cpu", 1));
    std::fprintf(stderr, "zarare-bench %s: load average before: %s\n", mode.c_str(), loadAverage().c_str());
    const double busy0 = Bench::machineBusySeconds(), children0 = Bench::childrenCpuSeconds();
    const std::int64_t start = Bench::nowNs();
    std::vector<Row> rows;
    if (mode == "hosts") {
        hostRows(self, common, times, rows);
    } else if (mode == "shapes") {
        shapeRows(self, common, times, rows);
    } else {
        const std::string drainLoad = " --count 1000000 --hosts 100 --sensors 16";
        const auto monitor = repeat(times, [&] { return child(self, "drain" + drainLoad + common); });
        const auto floor = repeat(times, [&] { return child(bare, "drain" + drainLoad + common); });
        const double rate = medianOf(monitor, "rate"), bareRate = medianOf(floor, "rate");
        rows.push_back({"drain, 1,000,000 pre-queued, 100 x 16 (datagrams/s)", fmt("%.0f", rate), "", true});
        rows.push_back({"  CPU per datagram (us)", fmt("%.3f", medianOf(monitor, "cpu_us")), "", true});
        rows.push_back(
            {"  lost (worst run)", fmt("%.0f", maxOf(monitor, "lost")), "0", maxOf(monitor, "lost") == 0});
        rows.push_back({"bare recvmmsg counter, same load (datagrams/s)", fmt("%.0f", bareRate), "", true});
        rows.push_back({"  CPU per datagram (us)", fmt("%.3f", medianOf(floor, "cpu_us")), "", true});
        const double ratio = bareRate > 0 ? rate / bareRate : 0;
        rows.push_back({"drain ratio monitor / bare", fmt("%.2f", ratio), ">= 0.6", ratio >= 0.6});
        rows.push_back({"worst event-loop gap while draining (ms)", fmt("%.1f", maxOf(monitor, "gap_ms")),
                        "< 50", maxOf(monitor, "gap_ms") < 50});
        const auto withRules =
            repeat(times, [&] { return child(self, "drain --rules 20" + drainLoad + common); });
        const double rulesRate = medianOf(withRules, "rate");
        const double rulesRatio = rate > 0 ? rulesRate / rate : 0;
        rows.push_back({"drain with 20 alarm rules (datagrams/s)", fmt("%.0f", rulesRate), "", true});
        rows.push_back({"  ratio to no rules", fmt("%.2f", rulesRatio), ">= 0.9", rulesRatio >= 0.9});
        const auto bySensor =
            repeat(times, [&] { return child(self, "drain --view sensors" + drainLoad + common); });
        const double sensorRate = medianOf(bySensor, "rate");
        const double viewRatio = rate > 0 ? sensorRate / rate : 0;
        rows.push_back(
            {"drain with the By Sensor view shown (datagrams/s)", fmt("%.0f", sensorRate), "", true});
        rows.push_back({"  ratio to the Readings view", fmt("%.2f", viewRatio), ">= 0.9", viewRatio >= 0.9});
        const auto sorting = child(self, "sortflood --hosts 32767 --seconds 5" + common);
        rows.push_back({"sorting 32,767 hosts x 500 sensors in a flood: gap (ms)",
                        fmt("%.1f", num(sorting, "gap_ms")), "< 50",
                        num(sorting, "gap_ms") < 50 && !sorting.empty()});
        rows.push_back({"  of it, the window's own work between two ticks (ms)",
                        fmt("%.1f", num(sorting, "busy_ms")), "", true});

        const auto paced =
            child(self, "paced --probe --rate 300000 --seconds 10 --hosts 100 --sensors 16" + common);
        const double drops = num(paced, "sock_drops"), lost = num(paced, "lost");
        rows.push_back({"paced 300,000/s for 10 s: sent / counted",
                        fmt("%.0f / %.0f", num(paced, "sent"), num(paced, "counted")), "", true});
        rows.push_back({"  kernel drops of the socket / of the machine",
                        fmt("%.0f / %.0f", drops, num(paced, "rcvbuf_errors")), "0",
                        drops == 0 && !paced.empty()});
        rows.push_back({"  lost readings", fmt("%.0f", lost), "0", lost == 0 && !paced.empty()});
        rows.push_back({"  receiver core busy (%)", fmt("%.1f", num(paced, "busy_pct")), "", true});
        rows.push_back({"  worst event-loop gap (ms)", fmt("%.1f", num(paced, "gap_ms")), "< 50",
                        num(paced, "gap_ms") < 50});
        delayRows(paced, rows);
        // A larger window paints more cells every frame.
        const auto large =
            child(self, "paced --rate 300000 --seconds 5 --hosts 100 --sensors 16 --window 800x600" + common);
        rows.push_back({"  the same for 5 s, an 800 x 600 window: core busy (%)",
                        fmt("%.1f", num(large, "busy_pct")), "", !large.empty()});

        const auto flood = child(self, "flood --probe --seconds 5 --hosts 100 --sensors 16" + common);
        rows.push_back({"full-speed flood 5 s, own buffer: sent / counted",
                        fmt("%.0f / %.0f", num(flood, "sent"), num(flood, "counted")), "", true});
        rows.push_back({"  worst event-loop gap (ms)", fmt("%.1f", num(flood, "gap_ms")), "< 50",
                        num(flood, "gap_ms") < 50 && !flood.empty()});
        rows.push_back({"  receive buffer granted (bytes)", fmt("%.0f", num(flood, "own_rcvbuf")), "", true});
        delayRows(flood, rows);

        hostRows(self, common, times, rows);
        shapeRows(self, common, times, rows);

        const auto memory = child(self, "memory --hosts 32767 --sensors 64" + common);
        rows.push_back({"memory, 32,767 hosts x 64 sensors: peak (VmHWM, MB)",
                        fmt("%.1f", num(memory, "hwm_mb")), "< 300",
                        num(memory, "hwm_mb") > 0 && num(memory, "hwm_mb") < 300});
        rows.push_back({"  of which before any reading (MB)", fmt("%.1f", num(memory, "base_mb")), "", true});
        const auto memorySensors = child(self, "memory --view sensors --hosts 32767 --sensors 64" + common);
        const double more = num(memorySensors, "hwm_mb") - num(memory, "hwm_mb");
        rows.push_back({"  with the By Sensor view shown: peak (MB) / more",
                        fmt("%.1f / %+.1f", num(memorySensors, "hwm_mb"), more), "< +30",
                        !memorySensors.empty() && more < 30});
        rows.push_back(
            {"  rows / counted / lost",
             fmt("%.0f / %.0f / %.0f", num(memory, "rows"), num(memory, "counted"), num(memory, "lost")), "",
             true});
    }
    printRows(rows);
    const double elapsed = double(Bench::nowNs() - start) * 1e-9;
    const double others =
        std::max(0.0, (Bench::machineBusySeconds() - busy0) - (Bench::childrenCpuSeconds() - children0));
    std::printf(
        "load average after: %s; over %.0f s other programs took %.1f s of CPU (%.0f%% of one core)%s\n",
        loadAverage().c_str(), elapsed, others, 100 * others / elapsed,
        others / elapsed > 0.1 ? ": DISTURBED, repeat when the machine is quiet" : "");
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    const Bench::Options opt(argc, argv, 2);
    if (mode == "drain" || mode == "paced" || mode == "flood" || mode == "memory" || mode == "soak" ||
        mode == "worst" || mode == "sortflood" || mode == "path")
        return measure(mode, opt, argc, argv);
    if (mode == "hosts" || mode == "shapes" || mode == "standard")
        return measureSet(mode, opt);
    std::fprintf(stderr,
                 "usage: zarare-bench "
                 "drain|paced|flood|memory|soak|worst|sortflood|path|hosts|shapes|standard [options]\n"
                 "  see the comment at the top of bench/harness.cpp\n");
    return 2;
}
