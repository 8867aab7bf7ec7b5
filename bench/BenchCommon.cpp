#include "BenchCommon.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>

namespace Bench {

std::int64_t nowNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return std::int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

bool pinToCpu(int cpu) {
    if (cpu < 0)
        return true;
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    return sched_setaffinity(0, sizeof set, &set) == 0;
}

int cpuCount() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0)
        return 1;
    return CPU_COUNT(&set);
}

namespace {

std::vector<std::string> words(const std::string &line) {
    std::vector<std::string> out;
    std::istringstream in(line);
    std::string w;
    while (in >> w)
        out.push_back(w);
    return out;
}

// Reads one column of a "Name: header..." / "Name: values..." pair of lines.
std::int64_t snmpField(const char *path, const std::string &table, const std::string &field) {
    std::ifstream in(path);
    std::string header, values;
    while (std::getline(in, header)) {
        if (header.rfind(table + ":", 0) != 0)
            continue;
        if (!std::getline(in, values))
            break;
        const auto names = words(header), numbers = words(values);
        for (size_t i = 1; i < names.size() && i < numbers.size(); ++i)
            if (names[i] == field)
                return std::atoll(numbers[i].c_str());
        break;
    }
    return 0;
}

// Reads a "Name value" line from /proc/net/snmp6.
std::int64_t snmp6Field(const std::string &field) {
    std::ifstream in("/proc/net/snmp6");
    std::string line;
    while (std::getline(in, line)) {
        const auto w = words(line);
        if (w.size() == 2 && w[0] == field)
            return std::atoll(w[1].c_str());
    }
    return 0;
}

// Calls `visit(fields)` for every socket line of /proc/net/udp and /proc/net/udp6; stops on true.
template <typename Visit> void eachUdpSocket(Visit visit) {
    for (const char *path : {"/proc/net/udp", "/proc/net/udp6"}) {
        std::ifstream in(path);
        std::string line;
        std::getline(in, line); // header
        while (std::getline(in, line)) {
            const auto w = words(line);
            if (w.size() < 13)
                continue;
            if (visit(w))
                return;
        }
    }
}

unsigned portOf(const std::string &address) {
    const auto colon = address.rfind(':');
    return colon == std::string::npos ? 0 : unsigned(std::strtoul(address.c_str() + colon + 1, nullptr, 16));
}

std::int64_t statusField(pid_t pid, const char *name) {
    const std::string path = pid ? "/proc/" + std::to_string(pid) + "/status" : "/proc/self/status";
    std::ifstream in(path);
    std::string line;
    const std::string prefix = std::string(name) + ":";
    while (std::getline(in, line))
        if (line.rfind(prefix, 0) == 0)
            return std::atoll(line.c_str() + prefix.size());
    return 0;
}

} // namespace

std::int64_t udpRcvbufErrors() {
    return snmpField("/proc/net/snmp", "Udp", "RcvbufErrors") + snmp6Field("Udp6RcvbufErrors");
}

std::int64_t socketDrops(unsigned long inode) {
    std::int64_t drops = -1;
    eachUdpSocket([&](const std::vector<std::string> &w) {
        if (std::strtoul(w[9].c_str(), nullptr, 10) != inode)
            return false;
        drops = std::atoll(w[12].c_str());
        return true;
    });
    return drops;
}

std::int64_t socketRxQueue(unsigned long inode) {
    std::int64_t queue = -1;
    eachUdpSocket([&](const std::vector<std::string> &w) {
        if (std::strtoul(w[9].c_str(), nullptr, 10) != inode)
            return false;
        const auto colon = w[4].find(':');
        queue = std::int64_t(std::strtoull(w[4].c_str() + colon + 1, nullptr, 16));
        return true;
    });
    return queue;
}

unsigned long udpInodeOfPort(unsigned port) {
    unsigned long inode = 0;
    eachUdpSocket([&](const std::vector<std::string> &w) {
        if (portOf(w[1]) != port)
            return false;
        inode = std::strtoul(w[9].c_str(), nullptr, 10);
        return true;
    });
    return inode;
}

unsigned long inodeOfFd(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISSOCK(st.st_mode))
        return 0;
    return st.st_ino;
}

int findUdpFd(unsigned port) {
    DIR *dir = opendir("/proc/self/fd");
    if (!dir)
        return -1;
    int found = -1;
    while (const dirent *e = readdir(dir)) {
        const int fd = std::atoi(e->d_name);
        if (e->d_name[0] < '0' || e->d_name[0] > '9' || fd == dirfd(dir) || !inodeOfFd(fd))
            continue;
        int type = 0;
        socklen_t len = sizeof type;
        if (getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &len) != 0 || type != SOCK_DGRAM)
            continue;
        sockaddr_storage a{};
        len = sizeof a;
        if (getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) != 0)
            continue;
        unsigned p = 0;
        if (a.ss_family == AF_INET6)
            p = ntohs(reinterpret_cast<sockaddr_in6 *>(&a)->sin6_port);
        else if (a.ss_family == AF_INET)
            p = ntohs(reinterpret_cast<sockaddr_in *>(&a)->sin_port);
        if (p == port) {
            found = fd;
            break;
        }
    }
    closedir(dir);
    return found;
}

int forceReceiveBuffer(int fd, int bytes) {
    if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0)
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
    int got = 0;
    socklen_t len = sizeof got;
    getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &got, &len);
    return got;
}

std::int64_t processCpuUs() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (std::int64_t(u.ru_utime.tv_sec) + u.ru_stime.tv_sec) * 1000000 + u.ru_utime.tv_usec +
           u.ru_stime.tv_usec;
}

std::int64_t processSystemCpuUs() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return std::int64_t(u.ru_stime.tv_sec) * 1000000 + u.ru_stime.tv_usec;
}

std::int64_t otherProcessCpuUs(pid_t pid) {
    const std::string base = "/proc/" + std::to_string(pid) + "/task";
    DIR *dir = opendir(base.c_str());
    if (!dir)
        return 0;
    std::int64_t ns = 0;
    while (const dirent *e = readdir(dir)) {
        if (e->d_name[0] < '0' || e->d_name[0] > '9')
            continue;
        std::ifstream in(base + "/" + e->d_name + "/schedstat");
        long long run = 0;
        if (in >> run)
            ns += run;
    }
    closedir(dir);
    return ns / 1000;
}

double machineBusySeconds() {
    std::ifstream in("/proc/stat");
    std::string line;
    std::getline(in, line);
    const auto w = words(line); // cpu user nice system idle iowait irq softirq steal ...
    if (w.size() < 9 || w[0] != "cpu")
        return 0;
    const double ticks = double(sysconf(_SC_CLK_TCK));
    double busy = 0;
    // User, nice and system time. Interrupt and softirq time is left out: on loopback the receive path
    // runs as softirq on the sender's core, charged to no process.
    for (const size_t i : {1, 2, 3})
        busy += std::atof(w[i].c_str());
    return busy / ticks;
}

double childrenCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

std::int64_t peakMemoryKb(pid_t pid) {
    return statusField(pid, "VmHWM");
}

std::int64_t residentMemoryKb(pid_t pid) {
    return statusField(pid, "VmRSS");
}

std::vector<std::string> Load::arguments() const {
    std::vector<std::string> a = {"--port",    std::to_string(port),    "--hosts", std::to_string(hosts),
                                  "--sensors", std::to_string(sensors), "--start", std::to_string(start),
                                  "--cpu",     std::to_string(cpu)};
    if (count > 0) {
        a.push_back("--count");
        a.push_back(std::to_string(count));
    }
    if (seconds > 0) {
        a.push_back("--seconds");
        a.push_back(std::to_string(seconds));
    }
    if (rate > 0) {
        a.push_back("--rate");
        a.push_back(std::to_string(rate));
    }
    if (rfc5424)
        a.push_back("--rfc5424");
    if (shuffled)
        a.push_back("--shuffled");
    return a;
}

std::string programDir() {
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return ".";
    std::string path(buf, size_t(n));
    return path.substr(0, path.rfind('/'));
}

// Spawned, not forked: a fork marks every page of the receiver's process copy-on-write, and the
// receiver would then pay a page fault for the first write to each page after it (with a large grid,
// through the whole measurement), which the monitor on its own never does.
Sender startSender(const std::string &program, const Load &load) {
    int pipeFds[2];
    Sender s;
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return s;
    const auto args = load.arguments();
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(program.c_str()));
    for (const auto &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    pid_t pid = -1;
    const int err = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (err != 0) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), std::strerror(err));
        close(pipeFds[0]);
        return s;
    }
    s.pid = pid;
    s.out = pipeFds[0];
    return s;
}

bool senderDone(Sender &s, long long *sent, bool wait) {
    if (s.pid < 0)
        return true;
    int status = 0;
    const pid_t r = waitpid(s.pid, &status, wait ? 0 : WNOHANG);
    if (r == 0)
        return false;
    std::string text;
    char buf[512];
    ssize_t n;
    while ((n = read(s.out, buf, sizeof buf)) > 0)
        text.append(buf, size_t(n));
    close(s.out);
    s.pid = -1;
    s.out = -1;
    const auto fields = parseFields(text);
    const auto it = fields.find("sent");
    *sent = it == fields.end() ? -1 : std::atoll(it->second.c_str());
    return true;
}

std::map<std::string, std::string> parseFields(const std::string &line) {
    std::map<std::string, std::string> out;
    for (const auto &w : words(line)) {
        const auto eq = w.find('=');
        if (eq != std::string::npos)
            out[w.substr(0, eq)] = w.substr(eq + 1);
    }
    return out;
}

Options::Options(int argc, char **argv, int first) {
    for (int i = first; i < argc; ++i) {
        std::string a = argv[i];
        if (a.rfind("--", 0) != 0)
            continue;
        a = a.substr(2);
        if (i + 1 < argc && std::strncmp(argv[i + 1], "--", 2) != 0)
            values_[a] = argv[++i];
        else
            values_[a] = "";
    }
}

std::string Options::text(const std::string &name, const std::string &fallback) const {
    const auto it = values_.find(name);
    return it == values_.end() ? fallback : it->second;
}

long long Options::number(const std::string &name, long long fallback) const {
    const auto it = values_.find(name);
    return it == values_.end() || it->second.empty() ? fallback : std::atoll(it->second.c_str());
}

double Options::real(const std::string &name, double fallback) const {
    const auto it = values_.find(name);
    return it == values_.end() || it->second.empty() ? fallback : std::atof(it->second.c_str());
}

bool Options::flag(const std::string &name) const {
    return values_.count(name) != 0;
}

} // namespace Bench

namespace Bench {

Load comparisonLoad(const Options &opt, bool drain, unsigned port) {
    Load load;
    load.port = port;
    load.hosts = int(opt.number("hosts", 100));
    load.sensors = int(opt.number("sensors", 16));
    load.cpu = int(opt.number("sender-cpu", 1));
    load.count = drain ? opt.number("count", 1000000) : 0;
    load.rate = drain ? 0 : opt.number("rate", 300000);
    load.seconds = drain ? 0 : opt.real("seconds", 10);
    load.rfc5424 = opt.flag("rfc5424");
    return load;
}

} // namespace Bench
