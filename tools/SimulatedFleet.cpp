#include "SimulatedFleet.h"

#include <algorithm>

namespace sender {

namespace {

struct Template {
    const char *label;
    SensorKind kind;
    double rest, low, high;
    double step;   // typical change per round
    double spread; // how far one host's resting value may lie from another's
};

constexpr SensorKind T = SensorKind::Temperature, F = SensorKind::Fan, V = SensorKind::Voltage;

constexpr Template Board[] = {
    {"CPU Package", T, 46, 25, 98, 0.8, 8},       {"CPU Fan", F, 1250, 400, 2600, 25, 200},
    {"Vcore", V, 1.2, 0.9, 1.45, 0.006, 0.05},    {"Motherboard", T, 37, 20, 80, 0.3, 5},
    {"GPU Core", T, 52, 25, 95, 1.0, 10},         {"+12V", V, 12.05, 11.4, 12.6, 0.02, 0.1},
    {"System Fan 1", F, 900, 300, 2000, 15, 150}, {"NVMe Composite", T, 41, 22, 85, 0.4, 6},
    {"+5V", V, 5.02, 4.75, 5.25, 0.01, 0.04},     {"+3.3V", V, 3.31, 3.13, 3.47, 0.005, 0.03},
    {"Chipset", T, 49, 28, 90, 0.3, 6},           {"GPU Fan", F, 1500, 0, 3500, 30, 300},
    {"DIMM", V, 1.2, 1.1, 1.35, 0.004, 0.02},     {"System Fan 2", F, 850, 300, 2000, 15, 150},
};
constexpr std::size_t BoardSize = sizeof Board / sizeof Board[0];
constexpr Template Core = {"Core", T, 44, 25, 98, 0.9, 8};

// How strongly a value is pulled back to its resting value per round.
constexpr double PullBack = 0.1;

} // namespace

std::string SimulatedFleet::hostNameFor(int index, int hosts) {
    const std::size_t width = std::to_string(std::max(hosts, 1)).size();
    std::string number = std::to_string(index + 1);
    if (number.size() < width)
        number.insert(0, width - number.size(), '0');
    return "sim-" + number;
}

SimulatedFleet::SimulatedFleet(int hosts, int sensorsPerHost, std::uint32_t seed)
    : hosts_(std::max(hosts, 0)), random_(seed) {
    sensorsPerHost = std::max(sensorsPerHost, 0);
    std::vector<Template> templates;
    for (int i = 0; i < sensorsPerHost; ++i) {
        if (std::size_t(i) < BoardSize) {
            templates.push_back(Board[i]);
            sensors_.push_back({Board[i].label, Board[i].kind, Board[i].low, Board[i].high});
        } else {
            templates.push_back(Core);
            sensors_.push_back(
                {"Core " + std::to_string(std::size_t(i) - BoardSize), Core.kind, Core.low, Core.high});
        }
    }

    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    names_.reserve(std::size_t(hosts_));
    states_.reserve(std::size_t(hosts_) * templates.size());
    for (int h = 0; h < hosts_; ++h) {
        names_.push_back(hostNameFor(h, hosts_));
        for (const auto &t : templates) {
            const double rest = std::clamp(t.rest + t.spread * unit(random_), t.low, t.high);
            const double value = std::clamp(rest + t.step * unit(random_), t.low, t.high);
            states_.push_back({rest, value, t.step});
        }
    }
}

void SimulatedFleet::drift() {
    std::normal_distribution<double> normal(0.0, 1.0);
    for (std::size_t i = 0; i < states_.size(); ++i) {
        State &s = states_[i];
        const Sensor &range = sensors_[i % sensors_.size()];
        s.value += PullBack * (s.rest - s.value) + s.step * normal(random_);
        s.value = std::clamp(s.value, range.low, range.high);
    }
}

Reading SimulatedFleet::reading(int host, int sensor) const {
    const Sensor &s = sensors_[std::size_t(sensor)];
    return {s.label, quantityName(s.kind), formatNumber(value(host, sensor), decimalsOf(s.kind)),
            unitOf(s.kind)};
}

} // namespace sender
