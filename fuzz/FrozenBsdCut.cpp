// The cutting of a reading exactly as it was before the other syslog layouts were understood, kept
// unchanged so that the datagram fuzzer and the core tests can prove that every BSD-syslog reading still
// gives the same fields, slice for slice. Never edit this copy: it is the reference.
#include "FrozenBsdCut.h"

#include <algorithm>
#include <cstdint>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace FrozenBsdCut {

using ReadingCut::Cap;
using ReadingCut::Result;
using ReadingCut::Slice;

namespace {
using View = std::u16string_view;

// 1-based position of the first `marker` at or after 1-based `from`; 0 when absent. Eight characters at
// a time where the processor allows: the parser runs once per datagram.
std::size_t find(View text, char16_t marker, std::size_t from = 1) {
    std::size_t i = from - 1;
#ifdef __SSE2__
    const __m128i wanted = _mm_set1_epi16(short(marker));
    for (; i + 8 <= text.size(); i += 8) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text.data() + i));
        if (const int hits = _mm_movemask_epi8(_mm_cmpeq_epi16(chunk, wanted)))
            return i + std::size_t(__builtin_ctz(unsigned(hits))) / 2 + 1;
    }
#endif
    const std::size_t at = text.find(marker, i);
    return at == View::npos ? 0 : at + 1;
}

// The characters from 1-based `start`, at most `length` of them; empty when start lies beyond the end.
View cut(View text, std::size_t start, std::size_t length) {
    const std::size_t begin = std::min(start - 1, text.size());
    return text.substr(begin, length);
}

Slice sliceOf(View whole, View part) {
    return {std::uint32_t(part.data() - whole.data()), std::uint32_t(part.size())};
}
} // namespace

using ReadingCut::trim;

Result cut(View text) {
    Result r;
    View d = text;

    // A leading priority such as "<13>": the first ">" anywhere in the text is taken.
    if (const std::size_t p = find(d, u'>'); p > 0)
        d = cut(d, p + 1, Cap);

    r.date = sliceOf(text, cut(d, 1, 6));
    r.time = sliceOf(text, cut(d, 8, 8));
    d = cut(d, 17, Cap); // position 16 is the space after the time stamp

    // The host runs to the first space.
    const std::size_t s = find(d, u' ');
    if (s > 0) {
        r.hasHost = true;
        r.host = sliceOf(text, trim(cut(d, 1, s - 1)));
    }
    d = cut(d, s + 1, Cap);

    // The sensor name lies between the first "[" and the first "]" after it.
    if (const std::size_t b = find(d, u'['); b > 0) {
        if (const std::size_t e = find(d, u']', b + 1); e > 0) {
            r.hasSensor = true;
            r.sensor = sliceOf(text, trim(cut(d, b + 1, e - b - 1)));
        }
    }

    // The message proper follows the first colon.
    if (const std::size_t c = find(d, u':'); c > 0)
        d = trim(cut(d, c + 1, Cap));

    // The value runs from after the first "=" (or from the start) to the next space or the end.
    const std::size_t q = find(d, u'=');
    const std::size_t space = find(d, u' ', q + 1);
    const std::size_t length = space > 0 ? space - q - 1 : d.size() - std::min(q, d.size());
    r.value = sliceOf(text, trim(cut(d, q + 1, length)));
    r.rest = sliceOf(text, d);
    return r;
}

} // namespace FrozenBsdCut
