#include "reception/ReadingParser.h"

#include "core/ReadingCut.h"
#include "text/TextBuffer.h"

#include <QDateTime>

#include <algorithm>

namespace {

using TextBuffer::same;

// Assignments that keep the stored string (and so its memory, shared with the grid) when the new text
// is the same: most readings repeat the host, the sensor name and often the value. A changed text is
// written into the field's own buffer when no one else (a grid cell, the name pool) shares it, so a
// field costs no allocation per datagram. The comparison is inlined into the parser, the writing of
// the plain fields is not: a call for each of them, most of them unchanged, cost more than the
// comparison. The padded ones, the sensor name and the value, change with nearly every reading: their
// writing is inlined too (a call cost 3% of the reading path).
void write(QString &field, QStringView text) {
    TextBuffer::copyInto(field, text);
}

ZARARE_ALWAYS_INLINE void writePadded(QString &field, QStringView core, bool trailingSpace) {
    const qsizetype size = core.size() + 1 + (trailingSpace ? 1 : 0);
    if (!field.isDetached())
        field = QString(); // shared: leave that text alone, take a new buffer
    if (field.size() != size)
        TextBuffer::setSize(field, size);
    QChar *out = field.data();
    *out++ = QLatin1Char(' ');
    TextBuffer::copyChars(out, core.data(), core.size());
    if (trailingSpace)
        out[core.size()] = QLatin1Char(' ');
}

ZARARE_ALWAYS_INLINE void assign(QString &field, QStringView text) {
    if (!same(field, text))
        write(field, text);
}

ZARARE_ALWAYS_INLINE void assignPadded(QString &field, QStringView core, bool trailingSpace) {
    const qsizetype size = core.size() + 1 + (trailingSpace ? 1 : 0);
    const QChar *now = field.constData();
    if (field.size() == size && now[0] == QLatin1Char(' ') && same(QStringView(now + 1, core.size()), core) &&
        (!trailingSpace || now[size - 1] == QLatin1Char(' ')))
        return;
    writePadded(field, core, trailingSpace);
}

// Makes `field` the part `part` of its own text, in place where no one else shares the text.
void keepPart(QString &field, QStringView part) {
    if (part.isEmpty()) {
        field.clear();
        return;
    }
    if (part.size() == field.size())
        return; // the whole text
    if (!field.isDetached()) {
        field = part.toString();
        return;
    }
    const qsizetype from = part.data() - field.constData();
    QChar *data = field.data();
    TextBuffer::copyChars(data, data + from, part.size());
    TextBuffer::setSize(field, part.size());
}

// The text a slice of the cut stands for. A cut's slices lie within the text it was made on (the
// datagram fuzzer checks that for every cut), so no bounds are applied again.
QStringView partOf(QStringView text, ReadingCut::Slice s) {
    return QStringView(text.data() + s.pos, qsizetype(s.len));
}

} // namespace

// The date, the time and the host of a reading.
void ReadingParser::assignHead(const ReadingCut::Result &r) {
    const QStringView d = udpdata;
    const auto field = [d](ReadingCut::Slice s) { return partOf(d, s); };
    if (r.stampFromClock) {
        // The receiving time, written as a BSD time stamp ("Sep  9", "20:04:58").
        static const char Months[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
        const QDateTime now = QDateTime::currentDateTime();
        const int m = now.date().month() - 1, day = now.date().day();
        const QTime t = now.time();
        const char16_t date[6] = {char16_t(Months[3 * m]),
                                  char16_t(Months[3 * m + 1]),
                                  char16_t(Months[3 * m + 2]),
                                  u' ',
                                  char16_t(day < 10 ? u' ' : u'0' + day / 10),
                                  char16_t(u'0' + day % 10)};
        const auto two = [](int v, char16_t *out) {
            out[0] = char16_t(u'0' + v / 10);
            out[1] = char16_t(u'0' + v % 10);
        };
        char16_t time[8] = {0, 0, u':', 0, 0, u':', 0, 0};
        two(t.hour(), time);
        two(t.minute(), time + 3);
        two(t.second(), time + 6);
        assign(msgdate, QStringView(date, 6));
        assign(msgtime, QStringView(time, 8));
    } else {
        assign(msgdate, r.dateMade ? QStringView(r.madeDate, 6) : field(r.date));
        assign(msgtime, field(r.time));
    }
    if (r.hasHost) {
        assign(hostname, field(r.host));
    } else if (r.hostFromSender && sender && sender->family != SenderAddress::Unknown) {
        char16_t text[SenderAddress::MaxText];
        assign(hostname, QStringView(text, qsizetype(sender->text(text))));
    }
}

void ReadingParser::parseudp() {
    const QStringView d = udpdata;
    const ReadingCut::Result r = cutter_.cut(std::u16string_view(d.utf16(), size_t(d.size())));
    const auto field = [d](ReadingCut::Slice s) { return partOf(d, s); };

    // The head reused: the same date, time and host as the reading that set them, unless a field has been
    // given another text since. The parser holds the three texts it left, so their buffers are shared:
    // a write through a field copies first, and no freed buffer comes back at the same place.
    const auto held = [](const QString &field, const QString &kept) {
        return field.constData() == kept.constData() && field.size() == kept.size();
    };
    if (!cutter_.reusedHead() || !held(msgdate, kept_[0]) || !held(msgtime, kept_[1]) ||
        !held(hostname, kept_[2])) {
        kept_ = {}; // first let go: a field no one else holds is rewritten in its own buffer
        assignHead(r);
        if (cutter_.holdsHead()) // only then can the next reading reuse this one's head
            kept_ = {msgdate, msgtime, hostname};
    }
    understood = r.hasSensor && r.value.len > 0;
    if (r.hasSensor)
        assignPadded(sensorname, field(r.sensor), false);
    assignPadded(sensorvalue, field(r.value), true);
    assign(sensorunit, field(r.unit));
    keepPart(udpdata, field(r.rest)); // last: the slices point into udpdata
}
