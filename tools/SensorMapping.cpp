#include "SensorMapping.h"

#include <cmath>
#include <map>
#include <set>

namespace sender {

const char *quantityName(SensorKind kind) {
    switch (kind) {
    case SensorKind::Temperature:
        return "Temp";
    case SensorKind::Fan:
        return "Speed";
    case SensorKind::Voltage:
        return "Voltage";
    case SensorKind::Power:
        return "Power";
    case SensorKind::Current:
        return "Current";
    case SensorKind::Energy:
        return "Energy";
    case SensorKind::Humidity:
        return "Humidity";
    }
    return "Value";
}

const char *unitOf(SensorKind kind) {
    switch (kind) {
    case SensorKind::Temperature:
        return "C";
    case SensorKind::Fan:
        return "RPM";
    case SensorKind::Voltage:
        return "V";
    case SensorKind::Power:
        return "W";
    case SensorKind::Current:
        return "A";
    case SensorKind::Energy:
        return "J";
    case SensorKind::Humidity:
        return "%RH";
    }
    return "";
}

int decimalsOf(SensorKind kind) {
    switch (kind) {
    case SensorKind::Fan:
        return 0;
    case SensorKind::Temperature:
    case SensorKind::Energy:
    case SensorKind::Humidity:
        return 1;
    case SensorKind::Power:
        return 2;
    case SensorKind::Voltage:
    case SensorKind::Current:
        return 3;
    }
    return 3;
}

namespace {

// Indices of the entries that share a label, grouped by that label.
std::map<std::string, std::vector<std::size_t>> clashes(const std::vector<std::string> &labels) {
    std::map<std::string, std::vector<std::size_t>> groups;
    for (std::size_t i = 0; i < labels.size(); ++i)
        groups[labels[i]].push_back(i);
    for (auto it = groups.begin(); it != groups.end();)
        it = it->second.size() > 1 ? std::next(it) : groups.erase(it);
    return groups;
}

} // namespace

std::vector<Reading> mapFeatures(const std::vector<RawFeature> &features) {
    std::vector<std::string> bare, labels;
    bare.reserve(features.size());
    for (const auto &f : features)
        bare.push_back(sanitiseLabel(f.label, f.feature));
    labels = bare;

    // A group of shared labels is qualified by the driver's name when that tells them apart at least in
    // part, then what still clashes by the full chip name.
    const auto qualify = [&](std::string RawFeature::*qualifier) {
        for (const auto &[label, members] : clashes(labels)) {
            std::set<std::string> distinct;
            for (const std::size_t i : members)
                distinct.insert(features[i].*qualifier);
            if (distinct.size() < 2)
                continue;
            for (const std::size_t i : members)
                labels[i] = sanitiseLabel(features[i].*qualifier + " " + bare[i], bare[i]);
        }
    };
    qualify(&RawFeature::chipPrefix);
    qualify(&RawFeature::chip);

    // Number whatever still clashes, keeping the first as it is.
    if (!clashes(labels).empty()) {
        std::set<std::string> taken(labels.begin(), labels.end());
        std::set<std::string> seen;
        for (auto &label : labels) {
            if (seen.insert(label).second)
                continue;
            std::string numbered;
            for (int n = 2;; ++n) {
                numbered = label + " #" + std::to_string(n);
                if (!taken.count(numbered))
                    break;
            }
            taken.insert(numbered);
            seen.insert(numbered);
            label = numbered;
        }
    }

    std::vector<Reading> readings;
    readings.reserve(features.size());
    for (std::size_t i = 0; i < features.size(); ++i) {
        const auto &f = features[i];
        if (!f.value || !std::isfinite(*f.value))
            continue;
        readings.push_back(
            {labels[i], quantityName(f.kind), formatNumber(*f.value, decimalsOf(f.kind)), unitOf(f.kind)});
    }
    return readings;
}

} // namespace sender
