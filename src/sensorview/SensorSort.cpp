#include "sensorview/SensorSort.h"

#include <QVarLengthArray>

#include <algorithm>
#include <cmath>

namespace SensorSort {

namespace {
QStringView trimmed(QStringView text) {
    return text.trimmed();
}
} // namespace

bool toNumber(QStringView text, double *number) {
    const QStringView t = trimmed(text);
    if (t.isEmpty())
        return false;
    // Only sign, digits, one separator and an exponent can make a number; this also keeps words such as
    // "inf" and "nan" out.
    QVarLengthArray<char, 64> ascii;
    int separators = 0;
    for (const QChar c : t) {
        const char16_t u = c.unicode();
        if ((u >= '0' && u <= '9') || u == '+' || u == '-' || u == 'e' || u == 'E') {
            ascii.append(char(u));
        } else if (u == '.' || u == ',') {
            if (++separators > 1)
                return false;
            ascii.append('.');
        } else {
            return false;
        }
    }
    ascii.append('\0');
    bool ok = false;
    const double value = QByteArrayView(ascii.constData(), ascii.size() - 1).toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return false;
    *number = value;
    return true;
}

Key keyOf(QStringView cell, int row) {
    Key key;
    key.row = row;
    const QStringView text = trimmed(cell);
    if (text.isEmpty()) {
        key.kind = Key::Empty;
    } else if (toNumber(text, &key.number)) {
        key.kind = Key::Number;
    } else {
        key.kind = Key::Text;
        key.text = text.toString();
    }
    return key;
}

void sort(std::vector<Key> &keys, Qt::SortOrder order) {
    const bool up = order == Qt::AscendingOrder;
    std::stable_sort(keys.begin(), keys.end(), [up](const Key &a, const Key &b) {
        if (a.kind != b.kind)
            return a.kind < b.kind;
        switch (a.kind) {
        case Key::Number:
            return up ? a.number < b.number : b.number < a.number;
        case Key::Text: {
            const int c = a.text.compare(b.text, Qt::CaseInsensitive);
            return up ? c < 0 : c > 0;
        }
        case Key::Empty:
            break;
        }
        return false;
    });
}

} // namespace SensorSort
