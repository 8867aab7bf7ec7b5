#include "text/NumberText.h"

#include "core/NumberFormat.h"

#include <cmath>
#include <limits>

namespace {
QString toQString(const std::string &text) {
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}
} // namespace

namespace NumberText {

QString fromDouble(double value) {
    return toQString(NumberFormat::general(value, NumberFormat::DoublePrecision));
}

QString fromSingle(float value) {
    return toQString(NumberFormat::general(double(value), NumberFormat::SinglePrecision));
}

double toDouble(QStringView text, bool *ok) {
    // Numbers are plain ASCII; a longer text is no number this program writes.
    char buf[128];
    bool good = text.size() < qsizetype(sizeof buf);
    for (qsizetype i = 0; good && i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        good = c < 0x80;
        buf[i] = char(c);
    }
    double value = 0;
    good = good && NumberFormat::parse(std::string_view(buf, size_t(text.size())), value);
    if (ok)
        *ok = good;
    return good ? value : 0;
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
