#include "SendOptions.h"

#include "SimulatedFleet.h"

#include <charconv>
#include <cmath>

namespace sender {

namespace {

bool parseWhole(const std::string &text, long low, long high, long &out) {
    long value = 0;
    const char *end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (text.empty() || result.ec != std::errc() || result.ptr != end || value < low || value > high)
        return false;
    out = value;
    return true;
}

bool parseNumber(const std::string &text, double low, double high, double &out) {
    double value = 0;
    const char *end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value, std::chars_format::fixed);
    if (text.empty() || result.ec != std::errc() || result.ptr != end || !std::isfinite(value) ||
        value < low || value > high)
        return false;
    out = value;
    return true;
}

} // namespace

std::string usageText() {
    return "Usage: zar-are-send [--to HOST] [--port N] [--interval S] [--once]\n"
           "                    [--simulate HOSTS] [--sensors M] [--rate N]\n"
           "Sends this machine's hardware-sensor readings (lm-sensors) to a Zar-Are monitor, one\n"
           "BSD-syslog datagram per sensor per round, e.g.\n"
           "  <13>Sep  9 20:04:58 OFFICE sensor[CPU Temp]: Temp=45.0 C\n"
           "\n"
           "  --to HOST          monitor's host name or IPv4/IPv6 address (default 127.0.0.1)\n"
           "  --port N           monitor's UDP port, 1-65535 (default 514)\n"
           "  --interval S       seconds between rounds, decimals allowed; 0 sends round after\n"
           "                     round (default 2)\n"
           "  --once             send one round and stop\n"
           "  --simulate HOSTS   send made-up readings of HOSTS hosts (1-100000) named sim-1, ...\n"
           "                     instead of this machine's\n"
           "  --sensors M        sensors per simulated host, 1-256 (default 8; the monitor shows 64)\n"
           "  --rate N           send at most N datagrams per second, evenly spaced\n"
           "                     (default: each round at once)\n"
           "  --help             show this text\n"
           "  --version          show the version\n"
           "\n"
           "Exit status: 0 sent, 1 no sensors, destination unusable or sends failed, 2 bad command line.\n";
}

bool parseOptions(const std::vector<std::string> &arguments, SendOptions &options, std::string &error) {
    bool sensorsGiven = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string option = arguments[i];
        std::string value;
        bool hasValue = false;
        if (option.rfind("--", 0) == 0) {
            if (const auto equals = option.find('='); equals != std::string::npos) {
                value = option.substr(equals + 1);
                option.resize(equals);
                hasValue = true;
            }
        }
        const auto takesValue = [&]() {
            if (hasValue)
                return true;
            if (i + 1 >= arguments.size()) {
                error = option + " needs a value";
                return false;
            }
            value = arguments[++i];
            return true;
        };
        const auto flag = [&]() {
            if (hasValue)
                error = option + " takes no value";
            return !hasValue;
        };

        long whole = 0;
        if (option == "--help" || option == "-h") {
            if (!flag())
                return false;
            options.help = true;
        } else if (option == "--version") {
            if (!flag())
                return false;
            options.version = true;
        } else if (option == "--once") {
            if (!flag())
                return false;
            options.once = true;
        } else if (option == "--to") {
            if (!takesValue())
                return false;
            if (value.empty()) {
                error = "--to needs a host name or address";
                return false;
            }
            options.to = value;
        } else if (option == "--port") {
            if (!takesValue())
                return false;
            if (!parseWhole(value, 1, 65535, whole)) {
                error = "--port must be a whole number from 1 to 65535, not \"" + value + "\"";
                return false;
            }
            options.port = std::uint16_t(whole);
        } else if (option == "--interval") {
            if (!takesValue())
                return false;
            if (!parseNumber(value, 0, 86400, options.interval)) {
                error = "--interval must be a number of seconds from 0 to 86400, not \"" + value + "\"";
                return false;
            }
        } else if (option == "--simulate") {
            if (!takesValue())
                return false;
            if (!parseWhole(value, 1, SimulatedFleet::MaxHosts, whole)) {
                error = "--simulate must be a number of hosts from 1 to " +
                        std::to_string(SimulatedFleet::MaxHosts) + ", not \"" + value + "\"";
                return false;
            }
            options.simulate = int(whole);
        } else if (option == "--sensors") {
            if (!takesValue())
                return false;
            if (!parseWhole(value, 1, SimulatedFleet::MaxSensorsPerHost, whole)) {
                error = "--sensors must be a number of sensors from 1 to " +
                        std::to_string(SimulatedFleet::MaxSensorsPerHost) + ", not \"" + value + "\"";
                return false;
            }
            options.sensors = int(whole);
            sensorsGiven = true;
        } else if (option == "--rate") {
            if (!takesValue())
                return false;
            if (!parseNumber(value, 0.001, 10e6, options.rate)) {
                error = "--rate must be a number of datagrams per second from 0.001 to 10000000, not \"" +
                        value + "\"";
                return false;
            }
        } else {
            error = option.rfind('-', 0) == 0 ? "unknown option " + option
                                              : "unexpected argument \"" + option + "\"";
            return false;
        }
    }
    if (sensorsGiven && options.simulate == 0) {
        error = "--sensors applies to --simulate only";
        return false;
    }
    if (long(options.simulate) * options.sensors > SimulatedFleet::MaxSensorsInAll) {
        error = "--simulate and --sensors ask for more than " +
                std::to_string(SimulatedFleet::MaxSensorsInAll) + " sensors in all";
        return false;
    }
    return true;
}

} // namespace sender
