#include "SensorReading.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace sender {

namespace {

constexpr const char *MonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Length of the well-formed UTF-8 sequence that starts at text[i] (2 to 4), or 0 when there is none:
// overlong forms, surrogates and code points beyond U+10FFFF count as malformed.
std::size_t utf8SequenceAt(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    if (byte(i + 1) < low || byte(i + 1) > high)
        return 0;
    for (std::size_t k = 2; k < length; ++k)
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF)
            return 0;
    return length;
}

std::string sanitiseOnce(std::string_view raw) {
    std::string out;
    std::size_t characters = 0;
    bool pendingSpace = false;
    for (std::size_t i = 0; i < raw.size();) {
        const auto c = static_cast<unsigned char>(raw[i]);
        std::string_view piece;
        char replacement = 0;
        bool space = false;
        std::size_t step = 1;
        if (c < 0x80) {
            if (c <= 0x20 || c == 0x7F)
                space = true;
            else if (c == ']')
                replacement = ')';
            else if (c == '[')
                replacement = '(';
            else if (c == ':')
                replacement = '-';
            else
                piece = raw.substr(i, 1);
        } else if (const std::size_t length = utf8SequenceAt(raw, i); length > 0) {
            piece = raw.substr(i, length);
            step = length;
        } else {
            replacement = '?';
        }
        i += step;

        if (space) {
            pendingSpace = !out.empty();
            continue;
        }
        if (characters + (pendingSpace ? 2 : 1) > MaxLabelCharacters)
            break;
        if (pendingSpace) {
            out += ' ';
            ++characters;
            pendingSpace = false;
        }
        if (replacement)
            out += replacement;
        else
            out += piece;
        ++characters;
    }
    return out;
}

} // namespace

std::string formatTimestamp(const std::tm &local) {
    const int month = std::clamp(local.tm_mon, 0, 11);
    char text[32];
    std::snprintf(text, sizeof text, "%s %2d %02d:%02d:%02d", MonthNames[month],
                  std::clamp(local.tm_mday, 1, 31), std::clamp(local.tm_hour, 0, 23),
                  std::clamp(local.tm_min, 0, 59), std::clamp(local.tm_sec, 0, 60));
    return text;
}

std::string timestampAt(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    return formatTimestamp(local);
}

std::string formatLine(std::string_view timestamp, std::string_view host, const Reading &reading) {
    std::string line;
    line.reserve(32 + timestamp.size() + host.size() + reading.label.size() + reading.name.size() +
                 reading.value.size() + reading.unit.size());
    line += "<13>";
    line += timestamp;
    line += ' ';
    line += host;
    line += " sensor[";
    line += reading.label;
    line += "]: ";
    line += reading.name;
    line += '=';
    line += reading.value;
    if (!reading.unit.empty()) {
        line += ' ';
        line += reading.unit;
    }
    return line;
}

std::string formatNumber(double value, int decimals) {
    if (!std::isfinite(value))
        return {};
    decimals = std::clamp(decimals, 0, 9);
    char text[400]; // the widest double in fixed notation has 309 digits before the point
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc())
        return {};
    std::string out(text, result.ptr);
    if (out.front() == '-' && out.find_first_not_of("-0.") == std::string::npos)
        out.erase(0, 1); // "-0.0": a small negative number rounded to zero
    return out;
}

std::string sanitiseLabel(std::string_view raw, std::string_view fallback) {
    std::string label = sanitiseOnce(raw);
    if (label.empty())
        label = sanitiseOnce(fallback);
    return label;
}

std::string sanitiseHost(std::string_view raw) {
    std::string host;
    for (const char c : raw.substr(0, 64)) {
        const auto byte = static_cast<unsigned char>(c);
        host += (byte > 0x20 && byte < 0x7F) ? c : '-';
    }
    return host.empty() ? std::string("localhost") : host;
}

std::string shortHostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return sanitiseHost({});
    std::string_view host(name);
    host = host.substr(0, host.find('.'));
    return sanitiseHost(host);
}

} // namespace sender
