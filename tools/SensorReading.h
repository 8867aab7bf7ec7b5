#pragma once

#include <ctime>
#include <string>
#include <string_view>

// One reading as zar-are-send puts it on the wire, and the text helpers that form the datagram
//   <13>Sep  9 20:04:58 OFFICE sensor[CPU Temp]: Temp=45.0 C
// The monitor cuts such a line by fixed positions and by the first of a few marker characters, so every
// piece is kept in a shape that survives the cut: the host has no space, the label has no "]" and no
// ":", the quantity's name has no space and no "=", and the value has no space (it ends at the first).
namespace sender {

struct Reading {
    std::string label; // the sensor's name between the square brackets (see sanitiseLabel)
    std::string name;  // the quantity before "=": Temp, Speed, Voltage, ...
    std::string value; // the number, "." as decimal point
    std::string unit;  // C, RPM, V, ...; may be empty
};

// The RFC 3164 time stamp "Mmm dd hh:mm:ss": English month abbreviation and a day padded with a space,
// whatever the locale.
std::string formatTimestamp(const std::tm &local);
// The time stamp of `when` in local time.
std::string timestampAt(std::time_t when);

// The whole datagram text, without a line end.
std::string formatLine(std::string_view timestamp, std::string_view host, const Reading &reading);

// A number with a fixed count of decimals and "." as the decimal point, whatever the locale. Minus zero
// prints as zero. Empty for infinities and NaN.
std::string formatNumber(double value, int decimals);

// The longest label sent, in characters; longer ones are cut.
constexpr std::size_t MaxLabelCharacters = 48;

// A label safe for the monitor: "]" becomes ")" and "[" becomes "(" (the first "]" ends the name),
// ":" becomes "-" (the first ":" starts the message), control characters count as spaces, runs of
// spaces shrink to one and none stays at either end, bytes that are not UTF-8 become "?", and the result
// is cut to MaxLabelCharacters characters. An empty result is replaced by `fallback`, treated the same.
std::string sanitiseLabel(std::string_view raw, std::string_view fallback = {});

// A host field safe for the monitor: printable ASCII without spaces (anything else becomes "-"), at most
// 64 characters, "localhost" when empty.
std::string sanitiseHost(std::string_view raw);

// This machine's host name up to its first ".", made safe with sanitiseHost.
std::string shortHostName();

} // namespace sender
