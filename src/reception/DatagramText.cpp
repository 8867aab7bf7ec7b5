#include "reception/DatagramText.h"

#include "text/TextBuffer.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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
    QString text;
    decodeInto(bytes, text);
    return text;
}

void decodeInto(QByteArrayView bytes, QString &out) {
    qsizetype size = bytes.size();
    while (size > 0) {
        const char last = bytes[size - 1];
        if (last != '\r' && last != '\n' && last != '\0')
            break;
        --size;
    }
    bytes = bytes.first(size);
    if (size == 0) {
        out.clear();
        return;
    }

    // Latin-1 is byte for byte: widen into the reused buffer, noting on the way whether any byte is
    // beyond ASCII. Most datagrams are ASCII and are done here.
    TextBuffer::setSize(out, size);
    char16_t *dst = reinterpret_cast<char16_t *>(out.data());
    const auto *src = reinterpret_cast<const unsigned char *>(bytes.data());
    qsizetype i = 0;
    unsigned high = 0;
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128();
    int highMask = 0;
    const auto widen16 = [&](qsizetype at) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + at));
        highMask |= _mm_movemask_epi8(chunk);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + at), _mm_unpacklo_epi8(chunk, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + at + 8), _mm_unpackhi_epi8(chunk, zero));
    };
    for (; i + 16 <= size; i += 16)
        widen16(i);
    if (i > 0 && i < size) { // the last sixteen, overlapping the ones before
        widen16(size - 16);
        i = size;
    }
    if (highMask)
        high = 0x80;
#endif
    for (; i < size; ++i) {
        dst[i] = src[i];
        high |= src[i];
    }
    if (high < 0x80 || !isValidUtf8(bytes))
        return;

    out = QString::fromUtf8(bytes);
    constexpr QChar bom(0xFEFF);
    if (out.startsWith(bom))
        out.remove(0, 1);
    const qsizetype gt = out.indexOf(QLatin1Char('>'));
    if (gt >= 0 && gt + 1 < out.size() && out[gt + 1] == bom)
        out.remove(gt + 1, 1);
}

} // namespace DatagramText
