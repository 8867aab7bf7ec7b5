#include "reception/ReadingParser.h"

#include "core/ReadingCut.h"

namespace {

// Assignments that keep the stored string (and so its memory, shared with the grid) when the new text
// is the same: most readings repeat the host, the sensor name and often the value.
void assign(QString &field, QStringView text) {
    if (field != text)
        field = text.toString();
}

void assignPadded(QString &field, QStringView core, bool trailingSpace) {
    const qsizetype size = core.size() + 1 + (trailingSpace ? 1 : 0);
    if (field.size() == size && field.front() == QLatin1Char(' ') &&
        QStringView(field).mid(1, core.size()) == core &&
        (!trailingSpace || field.back() == QLatin1Char(' ')))
        return;
    QString text;
    text.reserve(size);
    text += QLatin1Char(' ');
    text += core;
    if (trailingSpace)
        text += QLatin1Char(' ');
    field = std::move(text);
}

} // namespace

QStringView ReadingParser::trim(QStringView text) {
    const std::u16string_view t = ReadingCut::trim(std::u16string_view(text.utf16(), size_t(text.size())));
    return QStringView(t.data(), qsizetype(t.size()));
}

void ReadingParser::parseudp() {
    const QStringView d = udpdata;
    const ReadingCut::Result r = ReadingCut::cut(std::u16string_view(d.utf16(), size_t(d.size())));
    const auto field = [&](ReadingCut::Slice s) { return d.mid(qsizetype(s.pos), qsizetype(s.len)); };

    assign(msgdate, field(r.date));
    assign(msgtime, field(r.time));
    if (r.hasHost)
        assign(hostname, field(r.host));
    if (r.hasSensor)
        assignPadded(sensorname, field(r.sensor), false);
    assignPadded(sensorvalue, field(r.value), true);
    assign(udpdata, field(r.rest)); // last: the slices point into udpdata
}
