#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Where the fields of a reading lie in its text. A BSD-syslog reading such as
//   <13>Sep  9 20:04:58 OFFICE sensor[CPU Temp]: Temp=45.0 C
// is cut by fixed positions and by the first of a few marker characters: the first ">" ends the
// priority, characters 1-6 and 8-15 after it are the date and time, the host runs to the first space
// after the time stamp, the sensor name lies between "[" and the "]" after it, the message follows the
// first ":" and the value runs from after its first "=" to the next space. Every remainder is capped at
// 255 characters. Nothing is validated: any text is cut by the same rules.
//
// Four other layouts that stock syslog senders write are cut by their own rules (see Shape). A text is
// taken for one of them only when it begins with a priority of one to three digits ("<13>") followed
// exactly by that layout's opening, checked character by character; every other text, however odd, is
// cut by the BSD rules above and gives the fields it always gave.
//
// Plain C++ with no toolkit, so that it builds for every target the program has.
namespace ReadingCut {

constexpr std::size_t Cap = 255;

// Offsets of 32 bits: a datagram is at most 64 KiB, and a cut reads no further than MaxText
// characters. A small result is cleared with a few stores, where a large one takes a string
// instruction that costs more than the whole cut on some processors.
constexpr std::size_t MaxText = 0xFFFFFFFFu;

struct Slice {
    std::uint32_t pos = 0; // offset into the text the cut was made on
    std::uint32_t len = 0;
};

enum class Shape {
    Bsd,      // "<13>Sep  9 20:04:58 OFFICE sensor[CPU Temp]: Temp=45.0 C", and anything not below
    Rfc5424,  // "<13>1 2026-09-09T20:04:58.1+02:00 OFFICE sensor[CPU Temp] - - [x a="1"] Temp=45.0 C":
              //   "1 ", then an RFC 3339 time stamp or "-", then a space
    IsoStamp, // "<13>2026-09-09T20:04:58.1+02:00 OFFICE sensor[CPU Temp]: Temp=45.0 C": an RFC 3339
              //   time stamp and a space in place of the BSD one
    NoHost,   // "<13>Sep  9 20:04:58 sensor[CPU Temp]: Temp=45.0 C": a well-formed BSD time stamp
              //   ("Sep  9 20:04:58 ", a month name, a day of one or two digits) and then a tag word
    Bare,     // "<13>sensor[CPU Temp]: Temp=45.0 C": a tag word right after the priority
};
// A tag word runs to the first space (or the end) and either holds a "[" or ends with its only ":".
// An RFC 3339 time stamp is "YYYY-MM-DDTHH:MM:SS", an optional "." and one to nine digits, then "Z" or
// "+HH:MM" / "-HH:MM"; the month must be 01 to 12.

struct Result {
    Slice date;
    Slice time;
    Slice host;             // without surrounding spaces
    bool hasHost = false;   // false: no space after the time stamp, the previous host stays
    bool hasSensor = false; // false: no bracketed tag, the previous sensor name stays
    Slice sensor;           // the tag text without surrounding spaces
    Slice value;            // without surrounding spaces
    Slice unit;             // what follows the value up to the end of the message, trimmed ("C")
    Slice rest;             // the message after the first colon, trimmed

    Shape shape = Shape::Bsd;
    // An RFC 3339 date is given as a BSD one ("Sep  9"), which is not in the text: then `date` is empty
    // and these six characters are the date.
    bool dateMade = false;
    char16_t madeDate[6] = {};
    bool stampFromClock = false; // no time stamp (or "-"): the receiving time is the reading's time
    bool hostFromSender = false; // no host field (or "-"): the sender's address is the host
};

// Two cuts alike in every field (the slices, the flags, the shape and a made date).
bool operator==(Slice a, Slice b);
bool operator==(const Result &a, const Result &b);

// The shape of a text, by the rules above.
Shape shapeOf(std::u16string_view text);

Result cut(std::u16string_view text);

// Cuts texts one after another exactly as cut() does, and faster where a text begins as the last one
// cut in full did. A BSD reading with a strict priority, a BSD time stamp and a host is decided up to
// the space after its host by those characters alone: a reading that repeats them (the next reading of
// the same host in the same second, as a sender sends its sensors one after another) has the same
// shape, date, time and host, and only what follows is cut.
class Cutter {
public:
    Result cut(std::u16string_view text);
    // Whether the last text began as the one before it did, its head taken from that one's cut.
    bool reusedHead() const { return reused_; }
    // Whether the next text may reuse the last one's head (it had one).
    bool holdsHead() const { return !head_.empty(); }

private:
    bool reused_ = false;
    std::u16string head_; // the characters that decided the last such reading; empty: none
    Result known_;        // that reading's cut, of which the date, the time and the host are taken
};

// Spaces (U+0020 only) removed from both ends; tabs and other white space stay. Inline: the grid's
// name keys and the parser's fields use it several times a reading.
inline std::u16string_view trim(std::u16string_view text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && text[begin] == u' ')
        ++begin;
    while (end > begin && text[end - 1] == u' ')
        --end;
    return text.substr(begin, end - begin);
}

} // namespace ReadingCut
