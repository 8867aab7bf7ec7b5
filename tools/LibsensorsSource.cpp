#include "LibsensorsSource.h"

#include <sensors/error.h>
#include <sensors/sensors.h>

#include <cstdlib>

namespace sender {

namespace {

bool instanceOpen = false;

// The subfeature that holds a feature's present value.
const sensors_subfeature *inputOf(const sensors_chip_name *chip, const sensors_feature *feature) {
    switch (feature->type) {
    case SENSORS_FEATURE_IN:
        return sensors_get_subfeature(chip, feature, SENSORS_SUBFEATURE_IN_INPUT);
    case SENSORS_FEATURE_FAN:
        return sensors_get_subfeature(chip, feature, SENSORS_SUBFEATURE_FAN_INPUT);
    case SENSORS_FEATURE_TEMP:
        return sensors_get_subfeature(chip, feature, SENSORS_SUBFEATURE_TEMP_INPUT);
    case SENSORS_FEATURE_POWER:
        if (const auto *input = sensors_get_subfeature(chip, feature, SENSORS_SUBFEATURE_POWER_INPUT))
            return input;
        return sensors_get_subfeature(chip, feature, SENSORS_SUBFEATURE_POWER_AVERAGE);
    case SENSORS_FEATURE_ENERGY:
        return sensors_get_subfeature(chip, feature, SENSORS_SUBFEATURE_ENERGY_INPUT);
    case SENSORS_FEATURE_CURR:
        return sensors_get_subfeature(chip, feature, SENSORS_SUBFEATURE_CURR_INPUT);
    case SENSORS_FEATURE_HUMIDITY:
        return sensors_get_subfeature(chip, feature, SENSORS_SUBFEATURE_HUMIDITY_INPUT);
    case SENSORS_FEATURE_VID:
        return sensors_get_subfeature(chip, feature, SENSORS_SUBFEATURE_VID);
    default:
        return nullptr;
    }
}

} // namespace

std::optional<SensorKind> LibsensorsSource::kindOf(int featureType) {
    switch (featureType) {
    case SENSORS_FEATURE_TEMP:
        return SensorKind::Temperature;
    case SENSORS_FEATURE_FAN:
        return SensorKind::Fan;
    case SENSORS_FEATURE_IN:
    case SENSORS_FEATURE_VID:
        return SensorKind::Voltage;
    case SENSORS_FEATURE_POWER:
        return SensorKind::Power;
    case SENSORS_FEATURE_CURR:
        return SensorKind::Current;
    case SENSORS_FEATURE_ENERGY:
        return SensorKind::Energy;
    case SENSORS_FEATURE_HUMIDITY:
        return SensorKind::Humidity;
    default:
        return std::nullopt;
    }
}

std::unique_ptr<LibsensorsSource> LibsensorsSource::open(std::FILE *config, std::string &error) {
    if (instanceOpen) {
        error = "libsensors is already in use";
        return nullptr;
    }
    if (const int rc = sensors_init(config); rc != 0) {
        error = std::string("libsensors could not start: ") + sensors_strerror(rc);
        return nullptr;
    }
    instanceOpen = true;
    return std::unique_ptr<LibsensorsSource>(new LibsensorsSource);
}

LibsensorsSource::~LibsensorsSource() {
    sensors_cleanup();
    instanceOpen = false;
}

std::vector<RawFeature> LibsensorsSource::read() const {
    std::vector<RawFeature> features;
    int chipIndex = 0;
    while (const sensors_chip_name *chip = sensors_get_detected_chips(nullptr, &chipIndex)) {
        char chipName[256];
        if (sensors_snprintf_chip_name(chipName, sizeof chipName, chip) < 0)
            std::snprintf(chipName, sizeof chipName, "%s", chip->prefix ? chip->prefix : "chip");
        int featureIndex = 0;
        while (const sensors_feature *feature = sensors_get_features(chip, &featureIndex)) {
            const auto kind = kindOf(feature->type);
            if (!kind)
                continue;
            const sensors_subfeature *input = inputOf(chip, feature);
            if (!input || !(input->flags & SENSORS_MODE_R))
                continue;
            RawFeature raw;
            raw.chip = chipName;
            raw.chipPrefix = chip->prefix ? chip->prefix : "";
            raw.feature = feature->name ? feature->name : "";
            if (char *label = sensors_get_label(chip, feature)) {
                raw.label = label;
                std::free(label);
            }
            raw.kind = *kind;
            double value = 0;
            if (sensors_get_value(chip, input->number, &value) == 0)
                raw.value = value;
            features.push_back(std::move(raw));
        }
    }
    return features;
}

} // namespace sender
