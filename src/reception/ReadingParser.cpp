#include "reception/ReadingParser.h"

namespace {

// 1-based find of a character: 0 when absent.
int find(QStringView text, QChar marker) {
    return int(text.indexOf(marker)) + 1;
}

// Characters from 1-based `start`, at most `length` of them; empty when start lies beyond the end.
QStringView cut(QStringView text, int start, int length) {
    if (start > text.size() || length <= 0)
        return {};
    return text.mid(start - 1, qMin<qsizetype>(length, text.size() - start + 1));
}

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
    qsizetype begin = 0, end = text.size();
    while (begin < end && text[begin] == QLatin1Char(' '))
        ++begin;
    while (end > begin && text[end - 1] == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

void ReadingParser::parseudp() {
    QStringView d = udpdata;

    // A leading priority such as "<13>": the first ">" anywhere in the datagram is taken.
    if (const int p = find(d, QLatin1Char('>')); p > 0)
        d = cut(d, p + 1, Cap);

    assign(msgdate, cut(d, 1, 6));
    assign(msgtime, cut(d, 8, 8));
    d = cut(d, 17, Cap); // position 16 is the space after the time stamp

    // The host name runs to the first space; without a space the previous host stays.
    const int s = find(d, QLatin1Char(' '));
    if (s > 0)
        assign(hostname, trim(cut(d, 1, s - 1)));
    d = cut(d, s + 1, Cap);

    // The sensor name is the text between the first "[" and the "]" after it. Without both brackets
    // the previous sensor name stays.
    const int b = find(d, QLatin1Char('['));
    int e = find(d, QLatin1Char(']'));
    if (b > 0 && e > 0 && e < b)
        e = int(d.indexOf(QLatin1Char(']'), b)) + 1; // the first "]" after the "["
    if (b > 0 && e > b)
        assignPadded(sensorname, trim(cut(d, b + 1, e - b - 1)), false);

    // The message proper follows the first colon.
    if (const int c = find(d, QLatin1Char(':')); c > 0)
        d = trim(cut(d, c + 1, Cap));

    // The value runs from after the first "=" (or from the start) to the next space or the end.
    const int q = find(d, QLatin1Char('='));
    const int space = int(d.indexOf(QLatin1Char(' '), q)) + 1;
    const int length = space > 0 ? space - q - 1 : int(d.size()) - q;
    assignPadded(sensorvalue, trim(cut(d, q + 1, length)), true);

    assign(udpdata, d);
}
