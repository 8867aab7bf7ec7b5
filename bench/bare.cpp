// zarare-bare: the floor of the comparison, a receiver that only counts. One IPv4 UDP socket on
// 127.0.0.1, read with recvmmsg in batches of 64, nothing else done with the bytes.
//
//   zarare-bare drain --count N [--hosts H --sensors S] [--rcvbuf BYTES] [--cpu C --sender-cpu C2]
//       the load generator fills the socket while this program does not read, then the queue is drained
//   zarare-bare paced --rate R --seconds T [...]
//       the load generator sends at R per second while this program reads
// Ends with one line: result receiver=bare load=... sent= counted= ... rate= cpu_us= ...

#include "BenchCommon.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int Batch = 64;
constexpr size_t SlotBytes = 2048;

struct Receiver {
    int fd = -1;
    std::vector<char> buffers = std::vector<char>(Batch * SlotBytes);
    mmsghdr msgs[Batch];
    iovec iov[Batch];
    long long count = 0;
    long long bytes = 0;

    Receiver() {
        std::memset(msgs, 0, sizeof msgs);
        for (int i = 0; i < Batch; ++i) {
            iov[i].iov_base = buffers.data() + size_t(i) * SlotBytes;
            iov[i].iov_len = SlotBytes;
            msgs[i].msg_hdr.msg_iov = &iov[i];
            msgs[i].msg_hdr.msg_iovlen = 1;
        }
    }

    // One call: blocks up to the socket's receive timeout for the first datagram, then takes what waits.
    int take() {
        const int n = recvmmsg(fd, msgs, Batch, MSG_WAITFORONE, nullptr);
        if (n <= 0)
            return 0;
        count += n;
        for (int i = 0; i < n; ++i)
            bytes += msgs[i].msg_len;
        return n;
    }
};

} // namespace

int main(int argc, char **argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode != "drain" && mode != "paced") {
        std::fprintf(stderr, "usage: zarare-bare drain --count N | paced --rate R --seconds T "
                             "[--hosts H] [--sensors S] [--rcvbuf BYTES] [--cpu C] [--sender-cpu C]\n");
        return 2;
    }
    const Bench::Options opt(argc, argv, 2);
    const bool drain = mode == "drain";
    const int cpu = int(opt.number("cpu", 0));
    Bench::pinToCpu(cpu);

    Receiver r;
    r.fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (bind(r.fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 ||
        getsockname(r.fd, reinterpret_cast<sockaddr *>(&a), &len) != 0) {
        std::perror("zarare-bare: bind");
        return 1;
    }
    const int rcvbuf = Bench::forceReceiveBuffer(
        r.fd, int(opt.number("rcvbuf", drain ? 1024 * 1024 * 1024 : 16 * 1024 * 1024)));
    timeval tick{0, 20000};
    setsockopt(r.fd, SOL_SOCKET, SO_RCVTIMEO, &tick, sizeof tick);
    const unsigned long inode = Bench::inodeOfFd(r.fd);

    const Bench::Load load = Bench::comparisonLoad(opt, drain, ntohs(a.sin_port));
    const std::string loadgen = Bench::programDir() + "/zarare-loadgen";

    const std::int64_t errors0 = Bench::udpRcvbufErrors();
    const std::int64_t drops0 = Bench::socketDrops(inode);
    long long sent = -1;
    Bench::Sender sender = Bench::startSender(loadgen, load);
    std::int64_t queued = 0;
    if (drain) {
        Bench::senderDone(sender, &sent, true); // the receiver does not read while the queue fills
        queued = Bench::socketRxQueue(inode);
    }

    const std::int64_t t0 = Bench::nowNs(), cpu0 = Bench::processCpuUs(), sys0 = Bench::processSystemCpuUs();
    std::int64_t last = t0, cpuEnd = cpu0, sysEnd = sys0, lastCheck = t0;
    bool senderRunning = !drain;
    for (;;) {
        const int n = r.take();
        const std::int64_t now = Bench::nowNs();
        if (n > 0)
            last = now;
        if (senderRunning && now - lastCheck > 10000000) {
            lastCheck = now;
            senderRunning = !Bench::senderDone(sender, &sent, false);
        }
        if (!senderRunning && sent >= 0 && r.count >= sent) {
            cpuEnd = Bench::processCpuUs();
            sysEnd = Bench::processSystemCpuUs();
            break;
        }
        if (!senderRunning && n == 0 && now - last > 300000000) {
            cpuEnd = Bench::processCpuUs();
            sysEnd = Bench::processSystemCpuUs();
            break; // some were lost: nothing more will come
        }
    }
    const double seconds = double(last - t0) * 1e-9;
    const long long dropped = Bench::socketDrops(inode) - drops0;
    const long long rcvbufErrors = Bench::udpRcvbufErrors() - errors0;
    std::printf(
        "result receiver=bare load=%s sent=%lld counted=%lld lost=%lld rcvbuf_errors=%lld sock_drops=%lld "
        "seconds=%.4f rate=%.0f cpu_us=%.3f sys_us=%.3f busy_pct=%.1f hwm_mb=%.1f rcvbuf=%d "
        "queued_bytes=%lld\n",
        mode.c_str(), sent, r.count, sent - r.count, rcvbufErrors, dropped, seconds,
        seconds > 0 ? double(r.count) / seconds : 0.0,
        r.count ? double(cpuEnd - cpu0) / double(r.count) : 0.0,
        r.count ? double(sysEnd - sys0) / double(r.count) : 0.0,
        seconds > 0 ? double(cpuEnd - cpu0) / (seconds * 1e4) : 0.0, double(Bench::peakMemoryKb()) / 1024,
        rcvbuf, (long long)queued);
    close(r.fd);
    return 0;
}
