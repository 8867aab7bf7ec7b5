#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sender {

struct SendOptions {
    std::string to = "127.0.0.1";
    std::uint16_t port = 514;
    double interval = 2.0; // seconds between round starts
    bool once = false;
    int simulate = 0; // simulated hosts; 0: this machine's sensors
    int sensors = 8;  // sensors per simulated host
    double rate = 0;  // datagrams per second; 0: each round at once
    bool help = false;
    bool version = false;
};

// Reads the command line (without the program's name). "--option value" and "--option=value" both
// work. On a bad command line returns false and a sentence in `error`.
bool parseOptions(const std::vector<std::string> &arguments, SendOptions &options, std::string &error);

// The usage text that --help prints.
std::string usageText();

} // namespace sender
