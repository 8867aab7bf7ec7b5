// zarare-bench-selftest: checks the benchmark's own parts, so that a figure it prints means what it says:
// the generator's readings are in the layout the monitor accepts and carry the host, sensor and value
// they claim; the /proc readers find the right socket; the option and result parsers read what the
// programs write. Ends with the line "N passed, M failed".

#include "BenchCommon.h"
#include "Readings.h"
#include "reception/ReadingParser.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <regex>
#include <set>
#include <string>

namespace {

int passed = 0, failed = 0;

void check(bool ok, const std::string &what) {
    if (ok) {
        ++passed;
        return;
    }
    ++failed;
    std::printf("FAIL: %s\n", what.c_str());
}

std::string formatted(const Bench::Sensor &s, const std::string &valueText) {
    return s.name + "=" + valueText + " " + s.unit;
}

void readingsAreInTheAcceptedLayout(Bench::Shape shape) {
    // <13>Mmm dd hh:mm:ss HOST sensor[LABEL]: Name=VALUE UNIT
    // <13>1 yyyy-mm-ddThh:mm:ss.uuuuuu+hh:mm HOST sensor[LABEL] - - [timeQuality ...] Name=VALUE UNIT
    const std::regex bsd(R"(<13>[A-Z][a-z]{2} [ 123][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9] )"
                         R"(([^ ]+) sensor\[([^\]]+)\]: ([A-Za-z]+)=([0-9]+(\.[0-9]+)?) ([^ ]+))");
    const std::regex rfc5424(
        R"(<13>1 20[0-9]{2}-[01][0-9]-[0-3][0-9]T[0-2][0-9]:[0-5][0-9]:[0-5][0-9]\.[0-9]{6})"
        R"([+-][0-9]{2}:[0-9]{2} ([^ ]+) sensor\[([^\]]+)\] - - )"
        R"(\[timeQuality tzKnown="1" isSynced="1"\] ([A-Za-z]+)=([0-9]+(\.[0-9]+)?) ([^ ]+))");
    const std::regex &layout = shape == Bench::Shape::Bsd ? bsd : rfc5424;
    const std::string what = shape == Bench::Shape::Bsd ? "BSD" : "RFC 5424";
    const int hosts = 40, sensors = 64;
    Bench::ReadingComposer composer(hosts, sensors, shape);
    ReadingParser parser;
    char text[512];
    int bad = 0, misparsed = 0;
    std::set<std::string> seen;
    for (long long i = 0; i < 2LL * hosts * sensors; ++i) {
        const std::string datagram(text, composer.compose(i, text));
        std::smatch m;
        if (!std::regex_match(datagram, m, layout)) {
            if (bad++ == 0)
                std::printf("not in the layout: %s\n", datagram.c_str());
            continue;
        }
        const Bench::Sensor &sensor = composer.sensorOf(i);
        const std::string host = Bench::hostName(composer.hostOf(i));
        // The monitor's own parser must find what the generator put there.
        parser.udpdata = QString::fromStdString(datagram);
        parser.parseudp();
        const bool right =
            m[1] == host && m[2] == sensor.label && m[3] == sensor.name && parser.understood &&
            parser.hostname.toStdString() == host && parser.sensorname.toStdString() == " " + sensor.label &&
            parser.sensorvalue.toStdString() == " " + m[4].str() + " " &&
            parser.udpdata.toStdString() == formatted(sensor, m[4].str()) && m[6] == sensor.unit;
        if (!right && misparsed++ == 0)
            std::printf("carries the wrong fields: %s\n", datagram.c_str());
        seen.insert(host + "|" + sensor.label);
    }
    check(bad == 0, what + ": every reading is in the accepted layout");
    check(misparsed == 0, what + ": every reading carries its host, sensor and value");
    check(seen.size() == size_t(hosts) * sensors, what + ": every host reports every sensor");
}

void hostsAndSensorsAreDistinct() {
    std::set<std::string> names;
    for (int h = 0; h < 32767; ++h)
        names.insert(Bench::hostName(h));
    check(names.size() == 32767, "32,767 distinct host names");
    std::set<std::string> labels;
    for (const auto &s : Bench::sensorTable())
        labels.insert(s.label);
    check(labels.size() == 64 && Bench::sensorTable().size() == 64, "64 distinct sensors");
}

// Shuffled, each round still visits every host once, each sending its sensors one after another, and
// the hosts of turns in a row lie apart.
void shuffledHostsTakeTurnsApart() {
    for (const int hosts : {3, 10, 100, 32767}) {
        const Bench::ReadingComposer composer(hosts, 4, Bench::Shape::Bsd, true);
        std::set<int> round;
        int near = 0;
        for (long long t = 0; t < hosts; ++t) {
            const int h = composer.hostOf(t * 4);
            round.insert(h);
            for (int s = 1; s < 4; ++s)
                near += composer.hostOf(t * 4 + s) != h; // a burst stays with its host
            if (t > 0 && std::abs(h - composer.hostOf((t - 1) * 4)) <= 1)
                ++near;
        }
        check(int(round.size()) == hosts && (hosts < 10 || near == 0),
              "shuffled, " + std::to_string(hosts) + " hosts each take one turn a round, apart");
    }
}

void valuesChangeFromRoundToRound() {
    Bench::ReadingComposer composer(10, 8);
    char a[512], b[512];
    int changed = 0;
    for (long long i = 0; i < 80; ++i) {
        const std::string first(a, composer.compose(i, a)), next(b, composer.compose(i + 80, b));
        changed += first != next;
    }
    check(changed > 60, "values change from one round to the next");
}

void procReadersFindTheSocket() {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
    getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
    const unsigned port = ntohs(a.sin_port);
    const unsigned long inode = Bench::inodeOfFd(fd);
    check(inode != 0, "a socket has an inode");
    check(Bench::udpInodeOfPort(port) == inode, "the socket is found by its port in /proc/net/udp");
    check(Bench::findUdpFd(port) == fd, "the descriptor is found by its port");
    check(Bench::socketDrops(inode) == 0, "a new socket has dropped nothing");
    check(Bench::socketRxQueue(inode) == 0, "a new socket holds nothing");
    const int out = socket(AF_INET, SOCK_DGRAM, 0);
    for (int i = 0; i < 3; ++i)
        sendto(out, "x", 1, 0, reinterpret_cast<sockaddr *>(&a), sizeof a);
    check(Bench::socketRxQueue(inode) > 0, "datagrams waiting show in the receive queue");
    check(Bench::forceReceiveBuffer(fd, 1 << 20) >= 1 << 20 || getuid() != 0,
          "root can grow a receive buffer");
    close(out);
    close(fd);
    check(Bench::socketDrops(inode) == -1, "a closed socket is gone");
}

void optionsAndResults() {
    const char *argv[] = {"prog", "drain", "--count", "5", "--warm", "--cpu", "-1", "--seconds", "2.5"};
    const Bench::Options o(9, const_cast<char **>(argv), 2);
    check(o.number("count", 0) == 5 && o.number("cpu", 0) == -1 && o.real("seconds", 0) == 2.5 &&
              o.flag("warm") && !o.flag("hosts") && o.number("hosts", 7) == 7,
          "options are read as written");
    const auto f = Bench::parseFields("result receiver=bare rate=123 cpu_us=0.5");
    check(f.at("receiver") == "bare" && f.at("rate") == "123" && f.at("cpu_us") == "0.5" &&
              !f.count("result"),
          "result lines are read back");
}

} // namespace

int main() {
    readingsAreInTheAcceptedLayout(Bench::Shape::Bsd);
    readingsAreInTheAcceptedLayout(Bench::Shape::Rfc5424);
    hostsAndSensorsAreDistinct();
    shuffledHostsTakeTurnsApart();
    valuesChangeFromRoundToRound();
    procReadersFindTheSocket();
    optionsAndResults();
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
