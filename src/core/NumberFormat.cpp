#include "core/NumberFormat.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace NumberFormat {

std::string general(double value, int precision) {
    if (value == 0)
        return "0";
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value < 0 ? "-Infinity" : "Infinity";

    // Whole numbers below the precision limit are the common case (counters, twips).
    const double limit = std::pow(10.0, precision);
    if (value == std::floor(value) && std::fabs(value) < limit) {
        char buf[32];
        const auto end = std::to_chars(buf, buf + sizeof buf, static_cast<long long>(value)).ptr;
        return std::string(buf, end);
    }

    // %e gives d.ddddde[+-]xx rounded to the precision; only its digits and exponent are used, so the
    // locale's decimal separator does not matter.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", precision - 1, value);
    const char *p = buf;
    const bool negative = *p == '-';
    if (negative)
        ++p;
    std::string digits;
    for (; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9')
            digits += *p;
    const int exponent = std::atoi(p + 1);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    const int n = int(digits.size());

    std::string out;
    if (negative)
        out += '-';
    if (exponent >= precision || exponent < -4) {
        out += digits[0];
        if (n > 1) {
            out += '.';
            out.append(digits, 1, std::string::npos);
        }
        char exp[16];
        std::snprintf(exp, sizeof exp, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
        out += exp;
    } else if (exponent < 0) {
        out += "0.";
        out.append(std::size_t(-exponent - 1), '0');
        out += digits;
    } else {
        const int whole = exponent + 1;
        for (int i = 0; i < whole; ++i)
            out += i < n ? digits[std::size_t(i)] : '0';
        if (n > whole) {
            out += '.';
            out.append(digits, std::size_t(whole), std::string::npos);
        }
    }
    return out;
}

bool parse(std::string_view text, double &value) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && text[begin] == ' ')
        ++begin;
    while (end > begin && text[end - 1] == ' ')
        --end;
    std::string_view t = text.substr(begin, end - begin);
    if (t.empty())
        return false;
    bool negative = false;
    if (t.front() == '+' || t.front() == '-') {
        negative = t.front() == '-';
        t.remove_prefix(1);
    }
    // Digits first (or a "." then digits): from_chars alone would also take "inf", "nan" and hex.
    if (t.empty() || !((t.front() >= '0' && t.front() <= '9') || t.front() == '.'))
        return false;
    double v = 0;
    const auto [stop, err] = std::from_chars(t.data(), t.data() + t.size(), v, std::chars_format::general);
    if (err != std::errc() || stop != t.data() + t.size() || !std::isfinite(v))
        return false;
    value = negative ? -v : v;
    return true;
}

} // namespace NumberFormat
