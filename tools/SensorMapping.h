#pragma once

#include "SensorReading.h"

#include <optional>
#include <string>
#include <vector>

// From what the sensor library reports to the readings zar-are-send sends. The library itself stays out
// of here (see LibsensorsSource), so that the mapping can be fed by hand.
namespace sender {

enum class SensorKind { Temperature, Fan, Voltage, Power, Current, Energy, Humidity };

// The quantity's name before "=" ("Temp", "Speed", "Voltage", ...), its unit ("C", "RPM", "V", ...) and
// the decimals its value is sent with.
const char *quantityName(SensorKind kind);
const char *unitOf(SensorKind kind);
int decimalsOf(SensorKind kind);

// One feature of one chip as the sensor library lists it.
struct RawFeature {
    std::string chip;       // the chip's full name, e.g. "coretemp-isa-0000"
    std::string chipPrefix; // the driver's name, e.g. "coretemp"
    std::string feature;    // the feature's own name, e.g. "temp1"
    std::string label;      // its label (from the configuration or the driver), or empty
    SensorKind kind = SensorKind::Temperature;
    std::optional<double> value; // in C, RPM, V, W, A, J or %RH; empty when it could not be read
};

// The readings of one round, in the order of `features`. A feature without a finite value is left out.
// Labels are made safe with sanitiseLabel (the feature's name stands in for a missing label) and made
// unique, because the monitor keeps one cell per label and host. Features that share a label are told
// apart by their driver's name where the drivers differ ("acpitz temp1", "nvme temp1"), then by the full
// chip name where the chips differ ("nvme-pci-0100 Composite", "nvme-pci-0200 Composite"); what still
// clashes (one chip giving one label twice) is numbered: "CPU", "CPU #2", ... Features without a value
// count in this, so a reading that fails for a round never renames the others.
std::vector<Reading> mapFeatures(const std::vector<RawFeature> &features);

} // namespace sender
