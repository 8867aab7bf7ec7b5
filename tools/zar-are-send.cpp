// zar-are-send: sends hardware-sensor readings to a Zar-Are monitor, from this machine's sensors or from
// simulated hosts. See zar-are-send.1.

#include "LibsensorsSource.h"
#include "PacingSchedule.h"
#include "SendOptions.h"
#include "SensorMapping.h"
#include "SensorReading.h"
#include "SimulatedFleet.h"
#include "UdpSender.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <random>

#ifndef ZARARE_VERSION
#define ZARARE_VERSION "unknown"
#endif

using namespace sender;

namespace {

using Clock = std::chrono::steady_clock;
using Time = PacingSchedule::Time;

volatile std::sig_atomic_t stopRequested = 0;

void onStopSignal(int) {
    stopRequested = 1;
}

void catchStopSignals() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: a sleep ends at once
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// Sleeps until `when` after `start`. False when a stop was asked for.
bool sleepUntil(Clock::time_point start, Time when) {
    const auto target =
        std::chrono::duration_cast<std::chrono::nanoseconds>((start + when).time_since_epoch());
    timespec until{};
    until.tv_sec = std::time_t(target.count() / 1000000000);
    until.tv_nsec = long(target.count() % 1000000000);
    while (!stopRequested) {
        const int rc = clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr);
        if (rc == 0)
            break;
        if (rc != EINTR)
            return false;
    }
    return !stopRequested;
}

// What one round sends: `startRound` takes the round's readings, `format` writes datagram `index`.
class RoundSource {
public:
    virtual ~RoundSource() = default;
    virtual std::size_t startRound() = 0;
    virtual void format(std::size_t index, const std::string &timestamp, std::string &line) const = 0;
    virtual std::string describe() const = 0;
};

class MachineRound : public RoundSource {
public:
    MachineRound(std::unique_ptr<LibsensorsSource> source, std::vector<Reading> first)
        : source_(std::move(source)), host_(shortHostName()), readings_(std::move(first)) {}
    std::size_t startRound() override {
        if (!fresh_)
            readings_ = mapFeatures(source_->read());
        fresh_ = false;
        return readings_.size();
    }
    void format(std::size_t index, const std::string &timestamp, std::string &line) const override {
        line = formatLine(timestamp, host_, readings_[index]);
    }
    std::string describe() const override {
        return std::to_string(readings_.size()) + " readings of " + host_;
    }

private:
    std::unique_ptr<LibsensorsSource> source_;
    std::string host_;
    std::vector<Reading> readings_;
    bool fresh_ = true; // the readings taken to check that there are sensors serve as the first round
};

class FleetRound : public RoundSource {
public:
    FleetRound(int hosts, int sensors) : fleet_(hosts, sensors, std::random_device{}()) {}
    std::size_t startRound() override {
        if (!first_)
            fleet_.drift();
        first_ = false;
        return std::size_t(fleet_.hosts()) * std::size_t(fleet_.sensorsPerHost());
    }
    void format(std::size_t index, const std::string &timestamp, std::string &line) const override {
        const auto perHost = std::size_t(fleet_.sensorsPerHost());
        const int host = int(index / perHost), sensor = int(index % perHost);
        line = formatLine(timestamp, fleet_.hostName(host), fleet_.reading(host, sensor));
    }
    std::string describe() const override {
        return std::to_string(fleet_.sensorsPerHost()) + " readings each of " +
               std::to_string(fleet_.hosts()) + " simulated hosts";
    }

private:
    SimulatedFleet fleet_;
    bool first_ = true;
};

// Tells the user about failed sends without flooding: an error is reported when it differs from the one
// reported last, when a minute has passed, or after a round that went through without one.
class FailureReport {
public:
    explicit FailureReport(std::string destination) : destination_(std::move(destination)) {}
    void failed(int error) {
        ++count_;
        const auto now = Clock::now();
        if (error == reported_ && now - when_ < std::chrono::minutes(1))
            return;
        std::fprintf(stderr, "zar-are-send: cannot send to %s: %s\n", destination_.c_str(),
                     std::strerror(error));
        reported_ = error;
        when_ = now;
    }
    void roundWentThrough() { reported_ = 0; }
    unsigned long long count() const { return count_; }

private:
    std::string destination_;
    int reported_ = 0;
    Clock::time_point when_;
    unsigned long long count_ = 0;
};

std::unique_ptr<RoundSource> machineSource() {
    std::string error;
    auto source = LibsensorsSource::open(nullptr, error);
    if (!source) {
        std::fprintf(stderr, "zar-are-send: cannot read this machine's hardware sensors: %s\n",
                     error.c_str());
        return nullptr;
    }
    auto readings = mapFeatures(source->read());
    if (readings.empty()) {
        std::fprintf(stderr, "zar-are-send: no hardware sensors found on this machine: libsensors lists no "
                             "temperature, fan, voltage, power, current, energy or humidity reading.\n"
                             "Load the sensor drivers (lm-sensors' sensors-detect), or send made-up "
                             "readings with --simulate HOSTS.\n");
        return nullptr;
    }
    return std::make_unique<MachineRound>(std::move(source), std::move(readings));
}

} // namespace

int main(int argc, char *argv[]) {
    SendOptions options;
    std::string error;
    if (!parseOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::fprintf(stderr, "zar-are-send: %s\n%s", error.c_str(), usageText().c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(usageText().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("zar-are-send %s\n", ZARARE_VERSION);
        return 0;
    }

    std::unique_ptr<RoundSource> source;
    if (options.simulate > 0)
        source = std::make_unique<FleetRound>(options.simulate, options.sensors);
    else
        source = machineSource();
    if (!source)
        return 1;

    UdpSender udp;
    if (!udp.open(options.to, options.port, error)) {
        std::fprintf(stderr, "zar-are-send: %s\n", error.c_str());
        return 1;
    }
    catchStopSignals();
    if (!options.once)
        std::fprintf(stderr, "zar-are-send: sending %s to %s every %g s; Ctrl-C stops\n",
                     source->describe().c_str(), udp.destination().c_str(), options.interval);

    FailureReport failures(udp.destination());
    PacingSchedule schedule(
        options.rate, std::chrono::duration_cast<Time>(std::chrono::duration<double>(options.interval)));
    std::vector<std::string> lines(PacingSchedule::MaxBatch);
    std::string timestamp;
    std::time_t timestampSecond = -1;
    unsigned long long sent = 0, bytes = 0;

    const auto start = Clock::now();
    const auto now = [&]() { return std::chrono::duration_cast<Time>(Clock::now() - start); };
    for (bool first = true; !stopRequested; first = false) {
        if (!first && (options.once || !sleepUntil(start, schedule.nextRoundStart())))
            break;
        const std::size_t count = source->startRound();
        schedule.beginRound(count, now());
        const unsigned long long failedBefore = failures.count();
        for (std::size_t i = 0; i < count && !stopRequested;) {
            const std::size_t n = schedule.ready(i, now());
            if (n == 0) {
                sleepUntil(start, schedule.due(i));
                continue;
            }
            if (const std::time_t second = std::time(nullptr); second != timestampSecond) {
                timestamp = timestampAt(second);
                timestampSecond = second;
            }
            for (std::size_t k = 0; k < n; ++k)
                source->format(i + k, timestamp, lines[k]);
            for (std::size_t k = 0; k < n;) {
                const auto result = udp.send(&lines[k], n - k);
                if (result.sent == 0) {
                    failures.failed(result.error); // this datagram is lost; go on with the next
                    ++k;
                    continue;
                }
                for (std::size_t j = k; j < k + result.sent; ++j)
                    bytes += lines[j].size();
                sent += result.sent;
                k += result.sent;
            }
            i += n;
        }
        if (failures.count() == failedBefore)
            failures.roundWentThrough();
    }

    if (options.once) {
        if (const int late = udp.pendingError(50); late != 0)
            failures.failed(late);
        return failures.count() == 0 ? 0 : 1;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::fprintf(stderr,
                 "zar-are-send: sent %llu datagrams (%llu bytes) in %.1f s, %.0f per second; %llu failed\n",
                 sent, bytes, seconds, seconds > 0 ? double(sent) / seconds : 0.0, failures.count());
    return sent > 0 ? 0 : 1;
}
