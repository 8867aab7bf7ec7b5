#pragma once

#include <QString>
#include <QStringView>

#include <algorithm>
#include <cstring>

// Text handling for the per-datagram path, where a string allocation per reading is what costs most.
namespace TextBuffer {

// The same characters; a plain memory comparison, cheaper here than QStringView's.
inline bool same(QStringView a, QStringView b) {
    return a.size() == b.size() &&
           (a.isEmpty() || std::memcmp(a.data(), b.data(), size_t(a.size()) * sizeof(QChar)) == 0);
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
