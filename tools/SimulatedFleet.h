#pragma once

#include "SensorMapping.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace sender {

// Made-up machines for demonstrations and load tests: `hosts` hosts named "sim-01", "sim-02", ... with
// `sensorsPerHost` sensors each, drawn from a list of what a desktop board reports (CPU and board
// temperatures in C, fans in RPM, supply voltages in V, then "Core N" temperatures). Every host has its
// own resting values; each drift() moves every value a random step, pulled back towards its resting
// value and kept inside the sensor's range.
class SimulatedFleet {
public:
    static constexpr int MaxHosts = 100000;
    static constexpr int MaxSensorsPerHost = 256;
    static constexpr long MaxSensorsInAll = 1000000;

    struct Sensor {
        std::string label;
        SensorKind kind;
        double low, high; // the range the value stays in
    };

    SimulatedFleet(int hosts, int sensorsPerHost, std::uint32_t seed);

    int hosts() const { return hosts_; }
    int sensorsPerHost() const { return int(sensors_.size()); }
    const std::string &hostName(int host) const { return names_[std::size_t(host)]; }
    const Sensor &sensor(int index) const { return sensors_[std::size_t(index)]; }
    double value(int host, int sensor) const { return state(host, sensor).value; }

    // One step of every value.
    void drift();
    // The reading of one sensor of one host as it stands.
    Reading reading(int host, int sensor) const;

    // "sim-1" to "sim-9" for up to 9 hosts, "sim-01" to "sim-99" for up to 99, and so on.
    static std::string hostNameFor(int index, int hosts);

private:
    struct State {
        double rest, value, step;
    };
    const State &state(int host, int sensor) const {
        return states_[std::size_t(host) * sensors_.size() + std::size_t(sensor)];
    }

    int hosts_;
    std::vector<std::string> names_;
    std::vector<Sensor> sensors_;
    std::vector<State> states_;
    std::mt19937 random_;
};

} // namespace sender
