#include "CoreTest.h"
#include "FrozenBsdCut.h"
#include "core/ReadingCut.h"

#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

bool cutAsBefore(const std::u16string &text) {
    const ReadingCut::Result now = ReadingCut::cut(text);
    const ReadingCut::Result old = FrozenBsdCut::cut(text);
    return now.shape == ReadingCut::Shape::Bsd && now.date == old.date && now.time == old.time &&
           now.hasHost == old.hasHost && now.host == old.host && now.hasSensor == old.hasSensor &&
           now.sensor == old.sensor && now.value == old.value && now.rest == old.rest && !now.dateMade &&
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

namespace {

// Cuts the texts in turn with one cutter; true when every result is the one cut() gives.
bool cutsAsCut(const std::vector<std::u16string> &texts) {
    ReadingCut::Cutter cutter;
    for (const std::u16string &text : texts)
        if (!(cutter.cut(text) == ReadingCut::cut(text)))
            return false;
    return true;
}

} // namespace

// A cutter that reuses the head of the reading before gives what a cut of each text alone gives, whatever
// follows: readings of one host and second, texts that share only part of the head or all of it and
// nothing more, other layouts between them, and tails that the cap after the priority cuts short.
CORE_SUITE(cutterAgreesWithCut) {
    const std::u16string head = u"<13>Sep  9 20:04:58 OFFICE ";
    const std::u16string longTail = u"s[" + std::u16string(300, u'x') + u"]: v=" + std::u16string(300, u'9');
    const std::vector<std::vector<std::u16string>> sequences = {
        {head + u"sensor[CPU Temp]: Temp=45.0 C", head + u"sensor[Fan 1]: Fan=1200 RPM", head + u"x"},
        {head + u"a[b]: v=1", head, head + u"a[b]: v=1", head.substr(0, head.size() - 1), head + u"[c]"},
        {head + u"a[b]: v=1", u"<13>Sep  9 20:04:58 OFFICE2 a[b]: v=2",
         u"<13>Sep  9 20:04:59 OFFICE a[b]: v=3", u"<14>Sep  9 20:04:58 OFFICE a[b]: v=4",
         head + u"a[b]: v=5"},
        {head + longTail, head + longTail.substr(0, 250), head + u"a]b[c: d=e f  g ", head + u"=:[]"},
        {u"<13>Sep  9 20:04:58 " + std::u16string(240, u'h') + u" a[b]: v=1",
         u"<13>Sep  9 20:04:58 " + std::u16string(240, u'h') + u" c[d]: v=2"},
        {u"Sep  9 20:04:58 OFFICE a[b]: v=1", u"Sep  9 20:04:58 OFFICE c[d]: v=2"}, // no priority
        {u"<13>Sep  9 20:04:58 a[b]: v=1", u"<13>Sep  9 20:04:58 a[b]: v=2"},       // no host
        {u"<13>Sep  9 20:04:58 OFFICE", u"<13>Sep  9 20:04:58 OFFICE a[b]: v=1"},   // no space after it
        {u"<13>garbage text here", u"<13>garbage text here too"},                   // no time stamp
        {head + u"a[b]: v=1", u"<13>1 2026-09-09T20:04:58Z OFFICE a[b] - - - v=1", head + u"c[d]: v=2",
         u"<13>2026-09-09T20:04:58Z OFFICE a[b]: v=3", u"<13>Sep  9 20:04:58 a[b]: v=4", head + u"e: v=5"},
    };
    for (const auto &texts : sequences)
        CHECK(cutsAsCut(texts));

    // Every pairing of a few heads and tails, in an order where each head comes back after others.
    const std::u16string heads[] = {head, u"<13>Sep  9 20:04:58 srv-web-0001 ", u"<1>Dec 31 23:59:59 a ",
                                    u"<13>Sep  9 20:04:58 fd00:: ", u"<13>Sep  9 20:04:58  "};
    const std::u16string tails[] = {u"sensor[CPU Temp]: Temp=45.0 C",
                                    u"",
                                    u"[",
                                    u"a[b",
                                    u"x: y",
                                    u"]: =",
                                    u"tag[a b]: v= 7 unit ",
                                    longTail,
                                    u"\u00e9[\u4e2d]: v=\u00b0"};
    std::vector<std::u16string> mixed;
    for (int round = 0; round < 3; ++round)
        for (std::size_t t = 0; t < std::size(tails); ++t)
            for (std::size_t h = 0; h < std::size(heads); ++h)
                mixed.push_back(heads[(h + t * round) % std::size(heads)] + tails[t]);
    CHECK(cutsAsCut(mixed));
}

// A head is reused only when every character of it is the same: one changed character anywhere, in heads
// of every length the comparison's steps meet, and the next reading is cut whole.
CORE_SUITE(headReusedOnlyWhenEveryCharacterMatches) {
    for (const std::u16string host :
         {u"a", u"OFFICE", u"srv-web-0001", u"a-rather-long-host-name-of-a-fleet"}) {
        const std::u16string head = u"<13>Sep  9 20:04:58 " + host + u" ";
        const std::u16string tail = u"sensor[CPU Temp]: Temp=45.0 C";
        for (std::size_t k = 0; k + 1 < head.size(); ++k) {
            // Another character, and one that differs only in its high byte.
            for (const char16_t changed :
                 {char16_t(head[k] == u'9' ? u'8' : u'9'), char16_t(head[k] + 0x100)}) {
                std::u16string other = head;
                other[k] = changed;
                ReadingCut::Cutter cutter;
                cutter.cut(head + tail);
                cutter.cut(head + u"fan[1]: v=1");
                CHECK(cutter.reusedHead());
                cutter.cut(other + tail);
                CHECK(!cutter.reusedHead());
            }
        }
    }
}
