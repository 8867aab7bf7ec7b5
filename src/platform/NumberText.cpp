#include "platform/NumberText.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

// Formats |value| rounded to `precision` significant digits in the general form described in the header.
QString generalForm(double value, int precision) {
    if (value == 0)
        return QStringLiteral("0");
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-Infinity") : QStringLiteral("Infinity");

    // Whole numbers below the precision limit are the common case (counters, twips): skip printf.
    const double limit = precision >= 15 ? 1e15 : 1e7;
    if (value == std::floor(value) && std::fabs(value) < limit)
        return QString::number(static_cast<qint64>(value));

    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", precision - 1, value);
    // buf: [-]d.ddddde[+-]xx
    const char *p = buf;
    const bool negative = *p == '-';
    if (negative)
        ++p;
    char digits[32];
    int n = 0;
    for (; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9')
            digits[n++] = *p;
    const int exponent = std::atoi(p + 1);
    while (n > 1 && digits[n - 1] == '0')
        --n;

    QString out;
    out.reserve(n + 8);
    if (negative)
        out += QLatin1Char('-');
    if (exponent >= precision || exponent < -4) {
        out += QLatin1Char(digits[0]);
        if (n > 1) {
            out += QLatin1Char('.');
            out += QLatin1String(digits + 1, n - 1);
        }
        char exp[16];
        std::snprintf(exp, sizeof exp, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
        out += QLatin1String(exp);
    } else if (exponent < 0) {
        out += QLatin1String("0.");
        out += QString(-exponent - 1, QLatin1Char('0'));
        out += QLatin1String(digits, n);
    } else {
        const int whole = exponent + 1;
        for (int i = 0; i < whole; ++i)
            out += QLatin1Char(i < n ? digits[i] : '0');
        if (n > whole) {
            out += QLatin1Char('.');
            out += QLatin1String(digits + whole, n - whole);
        }
    }
    return out;
}

} // namespace

namespace NumberText {

QString fromDouble(double value) {
    return generalForm(value, 15);
}

QString fromSingle(float value) {
    return generalForm(static_cast<double>(value), 7);
}

double toDouble(QStringView text, bool *ok) {
    int begin = 0;
    int end = int(text.size());
    while (begin < end && text[begin] == QLatin1Char(' '))
        ++begin;
    while (end > begin && text[end - 1] == QLatin1Char(' '))
        --end;
    // Only plain ASCII number syntax: digits, one sign, one ".", one exponent with optional sign.
    char buf[128];
    const int len = end - begin;
    bool valid = len > 0 && len < int(sizeof buf);
    bool seenDigit = false;
    for (int i = 0; valid && i < len; ++i) {
        const QChar c = text[begin + i];
        if (c.unicode() >= 0x80) {
            valid = false;
            break;
        }
        const char a = char(c.unicode());
        buf[i] = a;
        if (a >= '0' && a <= '9') {
            seenDigit = true;
        } else if (a == 'E' || a == 'e') {
            if (!seenDigit)
                valid = false;
        } else if (a != '+' && a != '-' && a != '.') {
            valid = false;
        }
    }
    if (valid) {
        // from_chars ignores the locale (strtod would want the user's decimal separator) but takes no "+".
        const char *first = buf;
        bool negative = false;
        if (*first == '+' || *first == '-') {
            negative = *first == '-';
            ++first;
        }
        double v = 0;
        const auto [stop, err] = std::from_chars(first, buf + len, v, std::chars_format::general);
        if (err == std::errc() && stop == buf + len && std::isfinite(v)) {
            if (ok)
                *ok = true;
            return negative ? -v : v;
        }
    }
    if (ok)
        *ok = false;
    return 0;
}

float toSingle(QStringView text, bool *ok) {
    bool good = false;
    const double v = toDouble(text, &good);
    if (good && std::fabs(v) > double(std::numeric_limits<float>::max()))
        good = false;
    if (ok)
        *ok = good;
    return good ? static_cast<float>(v) : 0.0f;
}

} // namespace NumberText
