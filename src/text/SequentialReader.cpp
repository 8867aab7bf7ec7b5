#include "text/SequentialReader.h"

namespace SequentialReader {

Result read(QStringView text, int wanted) {
    Result result;
    const qsizetype n = text.size();
    qsizetype i = 0;
    auto skipLineEnd = [&] {
        if (i < n && text[i] == QLatin1Char('\r'))
            ++i;
        if (i < n && text[i] == QLatin1Char('\n'))
            ++i;
    };
    auto atDelimiter = [&] {
        return text[i] == QLatin1Char(',') || text[i] == QLatin1Char('\r') || text[i] == QLatin1Char('\n');
    };
    auto consumeDelimiter = [&] {
        if (i < n && text[i] == QLatin1Char(','))
            ++i;
        else
            skipLineEnd();
    };

    while (result.fields.size() < wanted) {
        while (i < n && text[i] == QLatin1Char(' '))
            ++i;
        if (i >= n)
            return result; // input past the end: this field cannot be read
        if (text[i] == QLatin1Char('"')) {
            const qsizetype close = text.indexOf(QLatin1Char('"'), i + 1);
            const qsizetype end = close < 0 ? n : close;
            result.fields << text.mid(i + 1, end - i - 1).toString();
            i = close < 0 ? n : close + 1;
            while (i < n && !atDelimiter())
                ++i;
        } else {
            const qsizetype start = i;
            while (i < n && !atDelimiter())
                ++i;
            result.fields << text.mid(start, i - start).toString();
        }
        consumeDelimiter();
    }
    result.complete = true;
    return result;
}

} // namespace SequentialReader
