#pragma once

#include "SensorMapping.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sender {

// This machine's hardware sensors as libsensors (lm-sensors) sees them: the chips under
// /sys/class/hwmon, with the labels, "ignore" and "compute" statements of the sensors configuration
// applied. libsensors keeps its state in globals, so there is at most one of these at a time.
class LibsensorsSource {
public:
    // Starts libsensors with `config` (nullptr: the system's configuration files). On failure returns
    // nothing and a sentence in `error`.
    static std::unique_ptr<LibsensorsSource> open(std::FILE *config, std::string &error);
    ~LibsensorsSource();
    LibsensorsSource(const LibsensorsSource &) = delete;
    LibsensorsSource &operator=(const LibsensorsSource &) = delete;

    // Every temperature, fan, voltage, power, current, energy and humidity feature of every chip, with
    // its present value (empty when reading it failed). Other features (alarms, intrusion, beep) are
    // left out, as are features without a readable input.
    std::vector<RawFeature> read() const;

    // The kind of a libsensors feature type (sensors_feature_type), nothing for types not sent.
    static std::optional<SensorKind> kindOf(int featureType);

private:
    LibsensorsSource() = default;
};

} // namespace sender
