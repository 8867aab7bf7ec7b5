// zarare-extdrain: measures another receiver process that writes one line per datagram to a file (a
// syslog daemon run by hand), with the same loads as zarare-bare and zarare-bench.
//
//   zarare-extdrain drain --pid PID --port P --file OUT --count N [--hosts H --sensors S] [--name NAME]
//       stops the process (SIGSTOP), fills its socket, lets it go on (SIGCONT) and times the file until
//       it holds every line
//   zarare-extdrain paced --pid PID --port P --file OUT --rate R --seconds T [...]
// The watcher runs on --cpu (default 1, the sender's core), never on the receiver's.
// Ends with one line: result receiver=NAME load=... sent= counted= ... rate= cpu_us= ...

#include "BenchCommon.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// Counts the lines a file gains, reading only what was added since the last call.
class LineCounter {
public:
    explicit LineCounter(const std::string &path) : path_(path) {}
    ~LineCounter() {
        if (fd_ >= 0)
            close(fd_);
    }
    long long lines() {
        if (fd_ < 0)
            fd_ = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0)
            return 0;
        char buf[1 << 16];
        ssize_t n;
        while ((n = read(fd_, buf, sizeof buf)) > 0) {
            const char *p = buf, *end = buf + n;
            while ((p = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)))) != nullptr) {
                ++lines_;
                ++p;
            }
        }
        return lines_;
    }

private:
    std::string path_;
    int fd_ = -1;
    long long lines_ = 0;
};

} // namespace

int main(int argc, char **argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    const Bench::Options opt(argc, argv, 2);
    const pid_t pid = pid_t(opt.number("pid", 0));
    const unsigned port = unsigned(opt.number("port", 0));
    const std::string file = opt.text("file", "");
    if ((mode != "drain" && mode != "paced") || pid <= 0 || port == 0 || file.empty()) {
        std::fprintf(stderr, "usage: zarare-extdrain drain|paced --pid PID --port P --file OUT "
                             "[--count N | --rate R --seconds T] [--hosts H] [--sensors S] [--name NAME]\n");
        return 2;
    }
    const bool drain = mode == "drain";
    Bench::pinToCpu(int(opt.number("cpu", 1)));
    const unsigned long inode = Bench::udpInodeOfPort(port);

    const Bench::Load load = Bench::comparisonLoad(opt, drain, port);
    const std::string loadgen = Bench::programDir() + "/zarare-loadgen";

    LineCounter counter(file);
    const long long lines0 = counter.lines();
    const std::int64_t errors0 = Bench::udpRcvbufErrors();
    const std::int64_t drops0 = Bench::socketDrops(inode);
    long long sent = -1;
    std::int64_t queued = 0;
    if (drain) {
        kill(pid, SIGSTOP);
        Bench::Sender sender = Bench::startSender(loadgen, load);
        Bench::senderDone(sender, &sent, true);
        queued = Bench::socketRxQueue(inode);
    }
    const std::int64_t cpu0 = Bench::otherProcessCpuUs(pid);
    const std::int64_t t0 = Bench::nowNs();
    Bench::Sender sender;
    if (drain)
        kill(pid, SIGCONT);
    else
        sender = Bench::startSender(loadgen, load);

    bool senderRunning = !drain;
    long long counted = 0;
    std::int64_t last = t0, cpuEnd = cpu0;
    for (;;) {
        const long long now_lines = counter.lines() - lines0;
        const std::int64_t now = Bench::nowNs();
        if (now_lines != counted) {
            counted = now_lines;
            last = now;
        }
        if (senderRunning)
            senderRunning = !Bench::senderDone(sender, &sent, false);
        if (!senderRunning && counted >= sent) {
            cpuEnd = Bench::otherProcessCpuUs(pid);
            break;
        }
        if (!senderRunning && now - last > 1000000000) {
            cpuEnd = Bench::otherProcessCpuUs(pid);
            break; // some were lost: nothing more will come
        }
        usleep(500);
    }
    const double seconds = double(last - t0) * 1e-9;
    const long long dropped = Bench::socketDrops(inode) - drops0;
    const long long rcvbufErrors = Bench::udpRcvbufErrors() - errors0;
    const double cpuUs = double(cpuEnd - cpu0);
    std::printf(
        "result receiver=%s load=%s sent=%lld counted=%lld lost=%lld rcvbuf_errors=%lld sock_drops=%lld "
        "seconds=%.4f rate=%.0f cpu_us=%.3f busy_pct=%.1f hwm_mb=%.1f queued_bytes=%lld\n",
        opt.text("name", "external").c_str(), mode.c_str(), sent, counted, sent - counted, rcvbufErrors,
        dropped, seconds, seconds > 0 ? double(counted) / seconds : 0.0,
        counted ? cpuUs / double(counted) : 0.0, seconds > 0 ? cpuUs / (seconds * 1e4) : 0.0,
        double(Bench::peakMemoryKb(pid)) / 1024, (long long)queued);
    return 0;
}
