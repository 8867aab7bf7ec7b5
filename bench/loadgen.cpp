// zarare-loadgen: sends sensor readings as syslog datagrams to 127.0.0.1, in sendmmsg batches, paced or
// at full speed, from H hosts with S sensors each (see Readings.h for what they look like).
//
//   zarare-loadgen --port P [--count N] [--rate R --seconds T] [--hosts H] [--sensors S] [--start I]
//                  [--cpu C] [--batch B] [--address A] [--rfc5424] [--shuffled]
// Ends with one line: sent=N seconds=T rate=R
//   zarare-loadgen --print N [--hosts H] [--sensors S] [--start I]
// prints the first N datagrams instead, one a line.

#include "BenchCommon.h"
#include "Readings.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

int main(int argc, char **argv) {
    const Bench::Options opt(argc, argv, 1);
    const unsigned port = unsigned(opt.number("port", 0));
    const long long rate = opt.number("rate", 0);
    const double seconds = opt.real("seconds", 0);
    long long count = opt.number("count", 0);
    const int hosts = int(std::clamp<long long>(opt.number("hosts", 100), 1, 1000000));
    const int sensors = int(std::clamp<long long>(opt.number("sensors", 16), 1, 64));
    const long long start = opt.number("start", 0);
    const std::string address = opt.text("address", "127.0.0.1");
    const Bench::Shape shape = opt.flag("rfc5424") ? Bench::Shape::Rfc5424 : Bench::Shape::Bsd;
    if (const long long print = opt.number("print", 0); print > 0) { // show instead of sending
        Bench::ReadingComposer composer(hosts, sensors, shape, opt.flag("shuffled"));
        char text[512];
        for (long long i = 0; i < print; ++i)
            std::printf("%.*s\n", int(composer.compose(start + i, text)), text);
        return 0;
    }
    if (port == 0 || (count <= 0 && seconds <= 0)) {
        std::fprintf(
            stderr,
            "usage: zarare-loadgen --port P (--count N | --seconds T) [--rate R] [--hosts H] "
            "[--sensors S] [--start I] [--cpu C] [--batch B] [--rfc5424] | --print N [--hosts H] ...\n");
        return 2;
    }
    if (count <= 0 && rate > 0)
        count = (long long)(double(rate) * seconds);
    const int batch = int(std::clamp<long long>(
        opt.number("batch", rate > 0 ? std::clamp<long long>(rate / 5000, 1, 64) : 64), 1, 256));
    if (!Bench::pinToCpu(int(opt.number("cpu", -1))))
        std::fprintf(stderr, "zarare-loadgen: could not pin to CPU %lld\n", opt.number("cpu", -1));

    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(uint16_t(port));
    if (inet_pton(AF_INET, address.c_str(), &to.sin_addr) != 1 ||
        connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) != 0) {
        std::perror("zarare-loadgen: connect");
        return 1;
    }

    Bench::ReadingComposer composer(hosts, sensors, shape, opt.flag("shuffled"));
    constexpr size_t SlotBytes = 512;
    std::vector<char> buffers(size_t(batch) * SlotBytes);
    std::vector<mmsghdr> msgs(static_cast<size_t>(batch));
    std::vector<iovec> iov(static_cast<size_t>(batch));
    for (int i = 0; i < batch; ++i) {
        iov[size_t(i)].iov_base = buffers.data() + size_t(i) * SlotBytes;
        msgs[size_t(i)] = mmsghdr{};
        msgs[size_t(i)].msg_hdr.msg_iov = &iov[size_t(i)];
        msgs[size_t(i)].msg_hdr.msg_iovlen = 1;
    }

    const std::int64_t t0 = Bench::nowNs();
    const std::int64_t deadline = seconds > 0 ? t0 + std::int64_t(seconds * 1e9) : 0;
    long long sent = 0, errors = 0;
    while (count <= 0 || sent < count) {
        const std::int64_t now = Bench::nowNs();
        if (deadline && now >= deadline && rate == 0)
            break;
        long long want = batch;
        if (rate > 0) {
            const long long due = (long long)(double(now - t0) * 1e-9 * double(rate)) + 1;
            if (due <= sent) {
                const std::int64_t next = t0 + std::int64_t(double(sent) * 1e9 / double(rate));
                const std::int64_t wait = std::min<std::int64_t>(next - now, 1000000);
                if (wait > 2000) {
                    timespec ts{0, long(wait)};
                    nanosleep(&ts, nullptr);
                }
                continue;
            }
            want = std::min<long long>(due - sent, batch);
        }
        if (count > 0)
            want = std::min(want, count - sent);
        composer.refreshStamp();
        for (int i = 0; i < want; ++i)
            iov[size_t(i)].iov_len =
                composer.compose(start + sent + i, static_cast<char *>(iov[size_t(i)].iov_base));
        const int n = sendmmsg(fd, msgs.data(), unsigned(want), 0);
        if (n < 0) {
            // A refused datagram on loopback (nobody bound yet) or a full send buffer: try again.
            ++errors;
            if (errno != ECONNREFUSED && errno != ENOBUFS && errno != EAGAIN && errno != EINTR) {
                std::perror("zarare-loadgen: sendmmsg");
                break;
            }
            continue;
        }
        sent += n;
    }
    const double took = double(Bench::nowNs() - t0) * 1e-9;
    std::printf("sent=%lld seconds=%.3f rate=%.0f errors=%lld\n", sent, took, double(sent) / took, errors);
    close(fd);
    return 0;
}
