#pragma once

// The readings the load generator sends: H hosts with S sensors each, in the layout the monitor accepts
//   <13>Dec  6 19:40:53 WS-ACCT-0042 sensor[CPU Temp]: Temp=45.5 C
// or, with the RFC 5424 shape, as util-linux logger writes it by default
//   <13>1 2026-12-06T19:40:53.123456+01:00 WS-ACCT-0042 sensor[CPU Temp] - - [timeQuality tzKnown="1"
//   isSynced="1"] Temp=45.5 C
// Datagram i comes from sensor i % S of host (i / S) % H, so each host sends its sensors together, one
// host after the other, round after round; values change from round to round.

#include <cstddef>
#include <ctime>
#include <string>
#include <vector>

namespace Bench {

struct Sensor {
    std::string label; // the tag's text: sensor[label]
    std::string name;  // before the "="
    std::string unit;
    long base;   // in units of the last decimal
    long spread; // the value wanders by up to this much either way
    int decimals;
};

// The 64 sensors a host can report: temperatures, fans, voltages, loads, memory, disks, clocks...
std::vector<Sensor> sensorTable();
// Host names of a mixed office and server room, unique for every index.
std::string hostName(int h);

enum class Shape { Bsd, Rfc5424 };

class ReadingComposer {
public:
    // `shuffled`: the hosts take their turns in a fixed scattered order instead of one after the other,
    // as hosts all over a fleet do (each still sends its sensors one after another).
    ReadingComposer(int hosts, int sensors, Shape shape = Shape::Bsd, bool shuffled = false);

    // Takes the current second for the time stamps, when it changed.
    void refreshStamp();
    // Writes datagram `i` into `out` (room for 512 bytes) and returns its length.
    size_t compose(long long i, char *out) const;

    // What datagram `i` carries, for checking: its host, its sensor, the value's text.
    int hostOf(long long i) const;
    const Sensor &sensorOf(long long i) const;

private:
    std::vector<Sensor> sensors_;
    std::vector<std::string> hosts_;
    int perHost_;
    long long step_ = 1; // the host of turn t is t * step_ modulo the hosts: 1 in order
    Shape shape_;
    char stamp_[40];
    size_t stampLength_ = 0;
    time_t stampSecond_;
};

} // namespace Bench
