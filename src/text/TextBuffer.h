#pragma once

#include "core/ReadingCut.h"

#include <QString>
#include <QStringView>

#include <algorithm>
#include <cstdint>
#include <cstring>

// Text handling for the per-datagram path, where a string allocation per reading is what costs most.
namespace TextBuffer {

// The same characters. Names of up to 16 characters, which is most sensor and host names, are
// compared as at most four overlapping 8-byte words, without a call; longer ones by memory comparison
// once their first and last characters agree.
inline bool same(QStringView a, QStringView b) {
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
    const auto differs = [p, q](size_t at) {
        std::uint64_t x, y;
        std::memcpy(&x, p + at, sizeof x);
        std::memcpy(&y, q + at, sizeof y);
        return x ^ y;
    };
    if (n <= 16)
        return (differs(0) | differs(bytes - 8) | (n > 8 ? differs(8) | differs(bytes - 16) : 0)) == 0;
    return a[0] == b[0] && a[n - 1] == b[n - 1] && std::memcmp(p, q, bytes) == 0;
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
        target.resize(text.size());
    std::copy(text.begin(), text.end(), target.data());
}

// Spaces (U+0020 only) removed from both ends, as the reading's fields are cut; tabs and other white
// space stay.
inline QStringView trimSpaces(QStringView text) {
    const std::u16string_view t = ReadingCut::trim(std::u16string_view(text.utf16(), size_t(text.size())));
    return QStringView(t.data(), qsizetype(t.size()));
}

} // namespace TextBuffer
