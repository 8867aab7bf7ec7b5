#pragma once

#include "core/AlwaysInline.h"
#include "core/ReadingCut.h"

#include <QString>
#include <QStringView>

#include <algorithm>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

// Text handling for the per-datagram path, where a string allocation per reading is what costs most.
//
// Short texts are copied and compared here rather than by the C library. Its copy and comparison are
// written for long blocks and, on processors with 256- and 512-bit vectors, use those; on some such
// processors the switch between them and the 128-bit instructions the rest of the program uses costs
// more than the whole copy of a name (a reading's path took 1.6 times as long with the library's copy).
// The comparison below is small once inlined, and called several times a reading: a call costs more.
namespace TextBuffer {

// Eight bytes of text at byte `at`, as one word: the unit the comparison and the hash below work in.
inline std::uint64_t wordAt(const char *text, size_t at) {
    std::uint64_t w;
    std::memcpy(&w, text + at, sizeof w);
    return w;
}

// Copies `n` characters from `src` to `dst`. The two may overlap only with `dst` before `src`.
inline void copyChars(QChar *dst, const QChar *src, qsizetype n) {
    auto *d = reinterpret_cast<char *>(dst);
    const auto *s = reinterpret_cast<const char *>(src);
    const size_t bytes = size_t(n) * sizeof(QChar);
    if (n >= 8) {
#ifdef __SSE2__
        // Eight characters at a time, the last eight loaded first so that an overlap cannot spoil them.
        const __m128i last = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + bytes - 16));
        for (size_t at = 0; at + 16 <= bytes; at += 16)
            _mm_storeu_si128(reinterpret_cast<__m128i *>(d + at),
                             _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + at)));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(d + bytes - 16), last);
#else
        std::copy(src, src + n, dst);
#endif
    } else if (n >= 4) { // both ends read before anything is written
        const std::uint64_t head = wordAt(s, 0), tail = wordAt(s, bytes - 8);
        std::memcpy(d, &head, 8);
        std::memcpy(d + bytes - 8, &tail, 8);
    } else if (n > 0) {
        const QChar first = src[0], middle = src[n / 2], end = src[n - 1];
        dst[0] = first, dst[n / 2] = middle, dst[n - 1] = end;
    }
}

// The same characters. Texts of up to 16 characters, which is most sensor and host names, are
// compared as at most four overlapping 8-byte words; longer ones sixteen bytes at a time once their
// first and last characters agree.
ZARARE_ALWAYS_INLINE bool same(QStringView a, QStringView b) {
    const qsizetype n = a.size();
    if (n != b.size())
        return false;
    if (n == 0 || a.data() == b.data())
        return true;
    if (n < 4)
        return a[0] == b[0] && a[n / 2] == b[n / 2] && a[n - 1] == b[n - 1];
    const auto *p = reinterpret_cast<const char *>(a.data());
    const auto *q = reinterpret_cast<const char *>(b.data());
    const size_t bytes = size_t(n) * sizeof(QChar);
    const auto differs = [p, q](size_t at) { return wordAt(p, at) ^ wordAt(q, at); };
    if (n <= 16)
        return (differs(0) | differs(bytes - 8) | (n > 8 ? differs(8) | differs(bytes - 16) : 0)) == 0;
    if (a[0] != b[0] || a[n - 1] != b[n - 1])
        return false;
    // Sixteen bytes at a time, the last sixteen overlapping the ones before.
    std::uint64_t diff = 0;
    for (size_t at = 0; at + 16 <= bytes && diff == 0; at += 16)
        diff = differs(at) | differs(at + 8);
    return diff == 0 && (differs(bytes - 16) | differs(bytes - 8)) == 0;
}

// A hash of a short text for the per-datagram look-ups: every character counts, four at a time, each
// word multiplied apart from the others rather than one step after another. Names of one fleet often
// differ only in the middle ("web-frontend-017.prod.example.com").
inline std::uint64_t quickHash(QStringView text) {
    const qsizetype n = text.size();
    const auto *p = reinterpret_cast<const char *>(text.data());
    const size_t bytes = size_t(n) * sizeof(QChar);
    std::uint64_t h = std::uint64_t(n) * 0x9E3779B97F4A7C15u;
    if (n >= 4) {
        for (size_t at = 0; at + 8 <= bytes; at += 8)
            h += wordAt(p, at) * (0xC2B2AE3D27D4EB4Fu + 2 * at); // an odd factor for each place
        h += wordAt(p, bytes - 8) * 0x165667B19E3779F9u;
    } else {
        for (qsizetype i = 0; i < n; ++i)
            h = (h + text[i].unicode()) * 0xC2B2AE3D27D4EB4Fu;
    }
    return h ^ (h >> 29);
}

// Sets the length of a string as QString::resize does (characters added are not written), without a
// call into the library while the string is its owner's alone and its buffer is large enough: the
// reading's fields change length with nearly every datagram.
inline void setSize(QString &text, qsizetype size) {
    QString::DataPointer &d = text.data_ptr();
    if (size < 0 || d.needsDetach() || size > d.constAllocatedCapacity() - d.freeSpaceAtBegin()) {
        text.resize(size);
        return;
    }
    d.size = size;
    d.data()[size] = u'\0';
}

// Makes `target` a copy of `text`: in `target`'s own buffer when no other string shares it (so no
// allocation once the buffer has grown), else in a new one, leaving the shared text as it was. `text`
// must not point into `target`.
inline void copyInto(QString &target, QStringView text) {
    if (!target.isDetached()) {
        target = text.toString();
        return;
    }
    if (target.size() != text.size())
        setSize(target, text.size());
    copyChars(target.data(), text.data(), text.size());
}

// Spaces (U+0020 only) removed from both ends, as the reading's fields are cut; tabs and other white
// space stay.
inline QStringView trimSpaces(QStringView text) {
    const std::u16string_view t = ReadingCut::trim(std::u16string_view(text.utf16(), size_t(text.size())));
    return QStringView(t.data(), qsizetype(t.size()));
}

} // namespace TextBuffer
