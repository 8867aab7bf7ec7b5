#include "CoreTest.h"
#include "FrozenBsdCut.h"
#include "core/ReadingCut.h"

#include <string>
#include <utility>

namespace {

bool sameSlice(ReadingCut::Slice a, ReadingCut::Slice b) {
    return a.pos == b.pos && a.len == b.len;
}

bool cutAsBefore(const std::u16string &text) {
    const ReadingCut::Result now = ReadingCut::cut(text);
    const ReadingCut::Result old = FrozenBsdCut::cut(text);
    return now.shape == ReadingCut::Shape::Bsd && sameSlice(now.date, old.date) &&
           sameSlice(now.time, old.time) && now.hasHost == old.hasHost && sameSlice(now.host, old.host) &&
           now.hasSensor == old.hasSensor && sameSlice(now.sensor, old.sensor) &&
           sameSlice(now.value, old.value) && sameSlice(now.rest, old.rest) && !now.dateMade &&
           !now.stampFromClock && !now.hostFromSender;
}

} // namespace

// Texts that come close to the other layouts without being one of them stay BSD readings, cut exactly
// as before; the layouts themselves are told apart.
CORE_SUITE(readingShapes) {
    const char16_t *const bsd[] = {
        u"<13>Sep  9 20:04:58 OFFICE sensor[CPU Temp]: Temp=45.0 C",
        u"Sep  9 20:04:58 sensor[CPU Temp]: Temp=45.0 C",            // no priority
        u"<1234>1 2026-09-09T20:04:58Z h a[b] - - - v=1",            // four-digit priority
        u" <13>1 2026-09-09T20:04:58Z h a[b] - - - v=1",             // priority not at the start
        u"<13>1 2026-13-09T20:04:58Z h a[b] - - - v=1",              // month 13
        u"<13>1 2026-09-09T20:04:58 h a[b] - - - v=1",               // no zone
        u"<13>1 2026-09-09T20:04:58.Z h a[b] - - - v=1",             // a point without digits
        u"<13>2 2026-09-09T20:04:58Z h a[b] - - - v=1",              // another version
        u"<13>2026-09-09 20:04:58 h a[b]: v=1",                      // a space for the T
        u"<13>Sep 9 20:04:58 sensor[CPU Temp]: Temp=45.0 C",         // one space before the day
        u"<13>Sep  9 20:04:58 fd00:: sensor[CPU Temp]: Temp=45.0 C", // IPv6 host ending in colons
        u"<13>Sep  9 20:04:58 PC a[b]: v=1",                         // the tag's marks after the host
        u"<13>Sep  9 20:04:58 host:with:many:colons: a[b]: v=1",     // colons far into the host
        u"<13>Xan  9 20:04:58 a[b]: v=1",                            // ends as a month name does
        u"<13>sep  9 20:04:58 a[b]: v=1",
        u"<13>Sep  9 20:04:58 OFFICE",
        u"<13>Sep  9 20:04:58",
        u"<13>sensor CPU: v=1", // the first word is no tag
        u"<13>",
        u"",
    };
    for (const char16_t *text : bsd)
        CHECK(cutAsBefore(text));

    using ReadingCut::Shape;
    const std::pair<const char16_t *, Shape> others[] = {
        {u"<13>1 2026-09-09T20:04:58.123456+02:00 h sensor[CPU Temp] - - - v=1", Shape::Rfc5424},
        {u"<13>1 - - a[b] - - - v=1", Shape::Rfc5424},
        {u"<13>2026-09-09T20:04:58Z h a[b]: v=1", Shape::IsoStamp},
        {u"<13>Sep  9 20:04:58 sensor[CPU Temp]: v=1", Shape::NoHost},
        {u"<13>Sep 19 20:04:58 kernel: v=1", Shape::NoHost},
        {u"<12>sensor[CPU Temp]: Temp=45.0 C", Shape::Bare},
        {u"<13>Sep  9 20:04:58 a-long-program-name[CPU Temp]: v=1", Shape::NoHost},
        {u"<13>Sep  9 20:04:58 a-long-program-name: v=1", Shape::NoHost},
    };
    for (const auto &[text, shape] : others)
        CHECK(ReadingCut::shapeOf(text) == shape);
    for (const char16_t *month :
         {u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun", u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"})
        CHECK(ReadingCut::shapeOf(u"<13>" + std::u16string(month) + u" 19 20:04:58 a[b]: v=1") ==
              Shape::NoHost);
}
