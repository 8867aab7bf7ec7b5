#include "Readings.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <numeric>

namespace Bench {

namespace {

std::uint64_t mix(std::uint64_t x) {
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ULL;
    x ^= x >> 33;
    return x;
}

// The current local time as "Mmm dd hh:mm:ss ", or with the RFC 5424 shape as
// "1 yyyy-mm-ddThh:mm:ss.uuuuuu+hh:mm "; returns its length.
size_t stamp(char out[40], Shape shape) {
    static const char *const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    if (shape == Shape::Bsd)
        return size_t(std::snprintf(out, 40, "%s %2d %02d:%02d:%02d ", months[local.tm_mon], local.tm_mday,
                                    local.tm_hour, local.tm_min, local.tm_sec));
    const long offset = std::labs(local.tm_gmtoff) / 60;
    return size_t(std::snprintf(out, 40, "1 %04d-%02d-%02dT%02d:%02d:%02d.%06ld%c%02ld:%02ld ",
                                local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                                local.tm_min, local.tm_sec, now.tv_nsec / 1000,
                                local.tm_gmtoff < 0 ? '-' : '+', offset / 60, offset % 60));
}

char *number(char *p, long value, int decimals) {
    char digits[24];
    int n = 0;
    do {
        digits[n++] = char('0' + value % 10);
        value /= 10;
    } while (value > 0 || n <= decimals);
    for (int i = n - 1; i >= 0; --i) {
        *p++ = digits[i];
        if (i == decimals && decimals > 0)
            *p++ = '.';
    }
    return p;
}

} // namespace

std::vector<Sensor> sensorTable() {
    std::vector<Sensor> t;
    auto add = [&](const std::string &label, const char *name, const char *unit, long base, long spread,
                   int decimals) {
        t.push_back({label, name, unit, base, spread, decimals});
    };
    add("CPU Temp", "Temp", "C", 450, 150, 1);
    for (int c = 0; c < 8; ++c)
        add("Core " + std::to_string(c) + " Temp", "Temp", "C", 470, 180, 1);
    add("GPU Temp", "Temp", "C", 520, 200, 1);
    add("Mainboard Temp", "Temp", "C", 380, 60, 1);
    for (int d = 0; d < 4; ++d)
        add("HDD" + std::to_string(d) + " Temp", "Temp", "C", 36, 6, 0);
    add("CPU Fan", "Fan", "RPM", 1200, 400, 0);
    for (int f = 1; f <= 4; ++f)
        add("Case Fan " + std::to_string(f), "Fan", "RPM", 900, 300, 0);
    add("Vcore", "Volt", "V", 1232, 40, 3);
    add("+3.3V", "Volt", "V", 330, 5, 2);
    add("+5V", "Volt", "V", 502, 6, 2);
    add("+12V", "Volt", "V", 1204, 12, 2);
    add("VBAT", "Volt", "V", 304, 3, 2);
    add("CPU Load", "Load", "%", 350, 350, 1);
    for (int c = 0; c < 8; ++c)
        add("Core " + std::to_string(c) + " Load", "Load", "%", 400, 400, 1);
    add("Memory Used", "Mem", "MB", 8192, 3000, 0);
    add("Memory Load", "Load", "%", 520, 300, 1);
    add("Swap Used", "Mem", "MB", 256, 200, 0);
    for (const char *d : {"C", "D", "E", "F"})
        add(std::string("Disk ") + d + " Free", "Free", "GB", 1200, 800, 1);
    for (const char *d : {"C", "D", "E", "F"})
        add(std::string("Disk ") + d + " Load", "Load", "%", 80, 80, 0);
    add("Net In", "Rate", "KB/s", 2400, 2300, 0);
    add("Net Out", "Rate", "KB/s", 900, 850, 0);
    add("GPU Load", "Load", "%", 300, 300, 1);
    add("GPU Fan", "Fan", "RPM", 1500, 500, 0);
    add("GPU Clock", "Clock", "MHz", 1400, 400, 0);
    add("CPU Clock", "Clock", "MHz", 3400, 800, 0);
    for (int c = 0; c < 8; ++c)
        add("Core " + std::to_string(c) + " Clock", "Clock", "MHz", 3400, 800, 0);
    add("CPU Power", "Power", "W", 650, 400, 1);
    add("GPU Power", "Power", "W", 1200, 800, 1);
    add("PSU Temp", "Temp", "C", 410, 50, 1);
    add("Uptime", "Uptime", "h", 5000, 5000, 0);
    add("Battery", "Charge", "%", 80, 20, 0);
    return t;
}

std::string hostName(int h) {
    static const char *const prefixes[] = {"WS-ACCT", "srv-web", "LAB-PC", "OFFICE",
                                           "render",  "NAS",     "kiosk",  "dev-box"};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s-%04d", prefixes[h % 8], h / 8);
    return buf;
}

ReadingComposer::ReadingComposer(int hosts, int sensors, Shape shape, bool shuffled)
    : sensors_(sensorTable()), hosts_(size_t(hosts)), perHost_(sensors), shape_(shape) {
    // A step near the golden section of the hosts, prime to their number, visits every host once a round.
    if (shuffled && hosts > 2) {
        step_ = std::max<long long>(2, (long long)(hosts * 0.618));
        while (std::gcd(step_, (long long)hosts) != 1)
            ++step_;
    }
    for (int h = 0; h < hosts; ++h)
        hosts_[size_t(h)] = hostName(h);
    sensors_.resize(size_t(sensors));
    stampLength_ = stamp(stamp_, shape_);
    stampSecond_ = time(nullptr);
}

void ReadingComposer::refreshStamp() {
    const time_t t = time(nullptr);
    if (t != stampSecond_) {
        stampSecond_ = t;
        stampLength_ = stamp(stamp_, shape_);
    }
}

int ReadingComposer::hostOf(long long i) const {
    return int((i / perHost_) % (long long)hosts_.size() * step_ % (long long)hosts_.size());
}

const Sensor &ReadingComposer::sensorOf(long long i) const {
    return sensors_[size_t(i % perHost_)];
}

size_t ReadingComposer::compose(long long i, char *out) const {
    const int s = int(i % perHost_);
    const int h = hostOf(i);
    const long long round = i / perHost_ / (long long)hosts_.size();
    const Sensor &sensor = sensors_[size_t(s)];
    char *p = out;
    auto put = [&p](const char *text, size_t n) {
        std::memcpy(p, text, n);
        p += n;
    };
    put("<13>", 4);
    put(stamp_, stampLength_);
    put(hosts_[size_t(h)].data(), hosts_[size_t(h)].size());
    put(" sensor[", 8);
    put(sensor.label.data(), sensor.label.size());
    if (shape_ == Shape::Bsd) {
        put("]: ", 3);
    } else {
        static const char opening[] = "] - - [timeQuality tzKnown=\"1\" isSynced=\"1\"] ";
        put(opening, sizeof opening - 1);
    }
    put(sensor.name.data(), sensor.name.size());
    *p++ = '=';
    const long jitter =
        long(mix(std::uint64_t(h) * 131 + std::uint64_t(s) * 7 + std::uint64_t(round) * 1000003) %
             std::uint64_t(2 * sensor.spread + 1)) -
        sensor.spread;
    p = number(p, std::max(0L, sensor.base + jitter), sensor.decimals);
    *p++ = ' ';
    put(sensor.unit.data(), sensor.unit.size());
    return size_t(p - out);
}

} // namespace Bench
