#pragma once

#include <QString>
#include <QStringView>

#include <algorithm>
#include <cstring>

// Text handling for the per-datagram path, where a string allocation per reading is what costs most.
namespace TextBuffer {

// The same characters; a plain memory comparison, cheaper here than QStringView's. Most different
// names of one length already differ in their first or last character, decided without the call.
inline bool same(QStringView a, QStringView b) {
    const qsizetype n = a.size();
    if (n != b.size())
        return false;
    if (n == 0 || a.data() == b.data())
        return true;
    return a[0] == b[0] && a[n - 1] == b[n - 1] &&
           std::memcmp(a.data(), b.data(), size_t(n) * sizeof(QChar)) == 0;
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

} // namespace TextBuffer
