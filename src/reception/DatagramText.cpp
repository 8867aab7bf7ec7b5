#include "reception/DatagramText.h"

namespace DatagramText {

bool isValidUtf8(QByteArrayView bytes) {
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *end = p + bytes.size();
    while (p < end) {
        const unsigned c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int extra;
        unsigned min;
        unsigned cp;
        if ((c & 0xE0) == 0xC0) {
            extra = 1, min = 0x80, cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2, min = 0x800, cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3, min = 0x10000, cp = c & 0x07;
        } else {
            return false;
        }
        if (end - p <= extra)
            return false;
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false; // overlong form, beyond Unicode, or a surrogate
        p += extra + 1;
    }
    return true;
}

QString decode(QByteArrayView bytes) {
    qsizetype size = bytes.size();
    while (size > 0) {
        const char last = bytes[size - 1];
        if (last != '\r' && last != '\n' && last != '\0')
            break;
        --size;
    }
    bytes = bytes.first(size);

    bool ascii = true;
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii)
        return QString::fromLatin1(bytes);
    if (!isValidUtf8(bytes))
        return QString::fromLatin1(bytes);

    QString text = QString::fromUtf8(bytes);
    constexpr QChar bom(0xFEFF);
    if (text.startsWith(bom))
        text.remove(0, 1);
    const qsizetype gt = text.indexOf(QLatin1Char('>'));
    if (gt >= 0 && gt + 1 < text.size() && text[gt + 1] == bom)
        text.remove(gt + 1, 1);
    return text;
}

} // namespace DatagramText
