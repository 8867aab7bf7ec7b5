#pragma once

#include <cstddef>
#include <string_view>

// Where the fields of a reading lie in its text. A BSD-syslog reading such as
//   <13>Sep  9 20:04:58 OFFICE sensor[CPU Temp]: Temp=45.0 C
// is cut by fixed positions and by the first of a few marker characters: the first ">" ends the
// priority, characters 1-6 and 8-15 after it are the date and time, the host runs to the first space
// after the time stamp, the sensor name lies between "[" and the "]" after it, the message follows the
// first ":" and the value runs from after its first "=" to the next space. Every remainder is capped at
// 255 characters. Nothing is validated: any text is cut by the same rules.
//
// Plain C++ with no toolkit, so that it builds for every target the program has.
namespace ReadingCut {

constexpr std::size_t Cap = 255;

struct Slice {
    std::size_t pos = 0; // offset into the text the cut was made on
    std::size_t len = 0;
};

struct Result {
    Slice date;
    Slice time;
    bool hasHost = false;   // false: no space after the time stamp, the previous host stays
    Slice host;             // without surrounding spaces
    bool hasSensor = false; // false: no bracketed tag, the previous sensor name stays
    Slice sensor;           // the tag text without surrounding spaces
    Slice value;            // without surrounding spaces
    Slice rest;             // the message after the first colon, trimmed
};

Result cut(std::u16string_view text);

// Spaces (U+0020 only) removed from both ends; tabs and other white space stay.
std::u16string_view trim(std::u16string_view text);

} // namespace ReadingCut
