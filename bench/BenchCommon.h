#pragma once

// Helpers shared by the benchmark programs: no Qt here, so that the bare receiver stays bare.

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace Bench {

// Monotonic clock in nanoseconds.
std::int64_t nowNs();

// Pins the calling thread (and what it starts later) to one CPU; false when the CPU does not exist.
bool pinToCpu(int cpu);
// The CPUs the process may run on.
int cpuCount();

// Kernel UDP counters of the whole machine: receive-buffer errors of IPv4 and IPv6 added up.
std::int64_t udpRcvbufErrors();

// The drops column of one socket in /proc/net/udp or /proc/net/udp6, found by inode; -1 when absent.
std::int64_t socketDrops(unsigned long inode);
// The receive queue (bytes held in the buffer) of one socket, found by inode; -1 when absent.
std::int64_t socketRxQueue(unsigned long inode);
// The inode of the first UDP socket of any process bound to this local port (IPv4 or IPv6), 0 if none.
unsigned long udpInodeOfPort(unsigned port);
// The inode behind a descriptor, 0 when it is not a socket.
unsigned long inodeOfFd(int fd);
// The descriptor of this process's UDP socket bound to `port`, -1 if none.
int findUdpFd(unsigned port);

// Grows a socket's receive buffer past the system cap where allowed (root); returns what it got.
int forceReceiveBuffer(int fd, int bytes);

// CPU time of this process (user + system), in microseconds; and the system part alone.
std::int64_t processCpuUs();
std::int64_t processSystemCpuUs();
// CPU time of every thread of another process, in microseconds, from /proc/PID/task/*/schedstat.
std::int64_t otherProcessCpuUs(pid_t pid);
// CPU seconds the whole machine has been busy (all cores, from /proc/stat), and the CPU seconds of this
// process's children that have ended: over a run, the difference is what other programs took.
double machineBusySeconds();
double childrenCpuSeconds();

// VmHWM and VmRSS of a process (0 for this one), in KiB.
std::int64_t peakMemoryKb(pid_t pid = 0);
std::int64_t residentMemoryKb(pid_t pid = 0);

// The load generator's arguments.
struct Load {
    unsigned port = 0;
    long long count = 0;   // datagrams to send; 0 = as many as `seconds` allow
    double seconds = 0;    // with rate: how long to send
    long long rate = 0;    // datagrams per second; 0 = full speed
    int hosts = 100;       // distinct hosts
    int sensors = 16;      // sensors per host
    long long start = 0;   // index of the first datagram in the host x sensor sequence
    int cpu = 1;           // where the sender runs; -1 = anywhere
    bool rfc5424 = false;  // the readings in the RFC 5424 shape (--rfc5424) instead of the BSD one
    bool shuffled = false; // the hosts' turns scattered over the grid (--shuffled) instead of in order
    std::vector<std::string> arguments() const;
};

class Options;
// The load the comparison programs run: `drain` (--count, default 1,000,000, at full speed) or paced
// (--rate, default 300,000/s, for --seconds, default 10), from --hosts x --sensors, sent from --sender-cpu.
Load comparisonLoad(const Options &opt, bool drain, unsigned port);

// A started load generator.
struct Sender {
    pid_t pid = -1;
    int out = -1; // its standard output
};

// Starts the generator (a program beside this one) and returns at once.
Sender startSender(const std::string &selfPath, const Load &load);
// Whether it has ended (without waiting); on end, fills `sent` from its report.
bool senderDone(Sender &s, long long *sent, bool wait);

// Path of the running program's folder.
std::string programDir();

// "key=value key=value" into a map.
std::map<std::string, std::string> parseFields(const std::string &line);

// Command-line options: --name value, --flag.
class Options {
public:
    Options(int argc, char **argv, int first);
    std::string text(const std::string &name, const std::string &fallback) const;
    long long number(const std::string &name, long long fallback) const;
    double real(const std::string &name, double fallback) const;
    bool flag(const std::string &name) const;

private:
    std::map<std::string, std::string> values_;
};

} // namespace Bench
