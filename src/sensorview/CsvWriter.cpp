#include "sensorview/CsvWriter.h"

#include "sensorview/SensorSort.h"

namespace CsvWriter {

QString field(const QString &text, bool numeric) {
    if (numeric) {
        double number = 0;
        if (SensorSort::toNumber(text, &number)) {
            QString n = text.trimmed();
            n.replace(QLatin1Char(','), QLatin1Char('.'));
            return n;
        }
    }
    const bool quote = text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
                       text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')) ||
                       (!text.isEmpty() && (text.front().isSpace() || text.back().isSpace()));
    if (!quote)
        return text;
    QString q = text;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

QByteArray csv(const CsvTable &table) {
    QString out;
    const auto line = [&out](const QStringList &cells, const std::vector<bool> *numeric) {
        for (qsizetype c = 0; c < cells.size(); ++c) {
            if (c > 0)
                out += QLatin1Char(',');
            const bool number = numeric && size_t(c) < numeric->size() && (*numeric)[size_t(c)];
            out += field(cells[c], number);
        }
        out += QLatin1String("\r\n");
    };
    line(table.header, nullptr);
    for (const QStringList &row : table.rows)
        line(row, &table.numeric);
    return out.toUtf8();
}

QString tabSeparated(const std::vector<QStringList> &rows) {
    QString out;
    for (const QStringList &row : rows) {
        for (qsizetype c = 0; c < row.size(); ++c) {
            if (c > 0)
                out += QLatin1Char('\t');
            QString cell = row[c];
            for (QChar &ch : cell)
                if (ch == QLatin1Char('\t') || ch == QLatin1Char('\n') || ch == QLatin1Char('\r'))
                    ch = QLatin1Char(' ');
            out += cell;
        }
        out += QLatin1Char('\n');
    }
    return out;
}

} // namespace CsvWriter
