#pragma once

#include "core/ReadingCut.h"
#include "net/SenderAddress.h"

#include <QString>
#include <QStringView>

#include <array>

// The reading fields of one datagram and the parser that fills them.
//
// parseudp() cuts a BSD-syslog reading such as
//   <13>Sep  9 20:04:58 OFFICE sensor[CPU Temp]: Temp=45.0 C
// by fixed positions and by the first of a few marker characters into date ('Sep  9'), time
// ('20:04:58'), host ('OFFICE'), sensor name (' CPU Temp') and value (' 45.0 '). It validates nothing:
// a datagram of any other shape is cut by the same rules. Fields are never cleared between datagrams,
// so a reading without a host (no space) or without a bracketed tag keeps the previous host or sensor
// name. Every remainder is capped at 255 characters.
//
// RFC 5424 lines, BSD lines with an RFC 3339 time stamp, and lines without a host field or without both
// time stamp and host fill the same fields (see ReadingCut): an RFC 3339 date is written as a BSD one
// ('Sep  9', the sender's own clock, fractions dropped); a line without a host takes the sender's
// address as host, and one without a time stamp the receiving time.
class ReadingParser {
public:
    QString udpdata;     // the datagram's text; after parsing, the message after the first colon
    QString msgdate;     // characters 1-6 of the time stamp
    QString msgtime;     // characters 8-15 of the time stamp
    QString hostname;    // the host name, without surrounding spaces
    QString sensorname;  // one space, then the bracketed tag without surrounding spaces
    QString sensorvalue; // one space, the value without surrounding spaces, one space
    QString sensorunit;  // what follows the value in the message, trimmed ('Temp=45.0 C' -> "C")

    // Where the datagram came from, for lines without a host; with none given such a line keeps the
    // previous host.
    const SenderAddress *sender = nullptr;
    // After parsing: whether the line had a bracketed tag and a value.
    bool understood = false;

    void parseudp();

private:
    void assignHead(const ReadingCut::Result &r);

    ReadingCut::Cutter cutter_; // the next reading of the same host and second is cut faster
    // The date, time and host texts as the parser last left them, while the next reading may reuse them.
    std::array<QString, 3> kept_;
};
