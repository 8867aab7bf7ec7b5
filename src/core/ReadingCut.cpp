#include "core/ReadingCut.h"

#include "core/AlwaysInline.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace ReadingCut {

namespace {
using View = std::u16string_view;

// 1-based position of the first `marker` at or after 1-based `from`; 0 when absent. Eight characters at
// a time where the processor allows: the parser runs once per datagram. Inlined where it is called: most
// searches end within the first eight characters, and the call cost as much as the search.
ZARARE_ALWAYS_INLINE std::size_t find(View text, char16_t marker, std::size_t from = 1) {
    std::size_t i = from - 1;
#ifdef __SSE2__
    const __m128i wanted = _mm_set1_epi16(short(marker));
    const auto hitsAt = [&](std::size_t at) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text.data() + at));
        return unsigned(_mm_movemask_epi8(_mm_cmpeq_epi16(chunk, wanted)));
    };
    for (; i + 8 <= text.size(); i += 8)
        if (const unsigned hits = hitsAt(i))
            return i + std::size_t(__builtin_ctz(hits)) / 2 + 1;
    if (text.size() >= 8 && i < text.size()) {
        // The last eight, overlapping the ones before: those before `i` are not looked at again.
        const std::size_t last = text.size() - 8;
        const unsigned hits = hitsAt(last) & (~0u << (2 * (i - last)));
        return hits ? last + std::size_t(__builtin_ctz(hits)) / 2 + 1 : 0;
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

// Offsets within a text of at most MaxText characters.
Slice sliceAt(std::size_t pos, std::size_t len) {
    return {std::uint32_t(pos), std::uint32_t(len)};
}

Slice sliceOf(View whole, View part) {
    return sliceAt(std::size_t(part.data() - whole.data()), part.size());
}

bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

bool digitsAt(View t, std::size_t at, std::size_t count) {
    if (at + count > t.size())
        return false;
    for (std::size_t i = at; i < at + count; ++i)
        if (!isDigit(t[i]))
            return false;
    return true;
}

// Length of a priority of one to three digits at the very start ("<13>"), or 0.
std::size_t strictPriority(View t) {
    std::size_t i = 1;
    if (t.empty() || t[0] != u'<')
        return 0;
    while (i < t.size() && i <= 3 && isDigit(t[i]))
        ++i;
    return i > 1 && i < t.size() && t[i] == u'>' ? i + 1 : 0;
}

constexpr char16_t Months[12][4] = {u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun",
                                    u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"};

// Three characters as one number, for comparing a month name in one step.
constexpr std::uint64_t packed3(const char16_t *c) {
    return std::uint64_t(c[0]) | std::uint64_t(c[1]) << 16 | std::uint64_t(c[2]) << 32;
}

// The month names by their second and third letters: (t[1] + t[2]) % 32 differs for each of them.
// Other places hold a value no three characters pack to.
constexpr std::size_t monthSlot(const char16_t *c) {
    return (std::size_t(c[1]) + std::size_t(c[2])) % 32;
}
struct MonthTable {
    std::uint64_t packed[32] = {};
    constexpr MonthTable() {
        for (auto &p : packed)
            p = ~std::uint64_t(0);
        for (const auto &m : Months)
            packed[monthSlot(m)] = packed3(m);
    }
};
constexpr MonthTable MonthNames;
constexpr bool everyMonthPlaced() {
    for (const auto &m : Months)
        if (MonthNames.packed[monthSlot(m)] != packed3(m))
            return false;
    return true;
}
static_assert(everyMonthPlaced(), "two month names share a place");

// A BSD time stamp and its space, "Sep  9 20:04:58 ", at `at`.
bool bsdStampAt(View t, std::size_t at) {
    if (at + 16 > t.size())
        return false;
    const bool named = MonthNames.packed[monthSlot(t.data() + at)] == packed3(t.data() + at);
    return named && t[at + 3] == u' ' && (t[at + 4] == u' ' || isDigit(t[at + 4])) && isDigit(t[at + 5]) &&
           t[at + 6] == u' ' && digitsAt(t, at + 7, 2) && t[at + 9] == u':' && digitsAt(t, at + 10, 2) &&
           t[at + 12] == u':' && digitsAt(t, at + 13, 2) && t[at + 15] == u' ';
}

// Length of an RFC 3339 time stamp at `at` that a space follows (the space not counted), or 0.
std::size_t isoStampAt(View t, std::size_t at) {
    if (!(digitsAt(t, at, 4) && at + 19 <= t.size() && t[at + 4] == u'-' && digitsAt(t, at + 5, 2) &&
          t[at + 7] == u'-' && digitsAt(t, at + 8, 2) && t[at + 10] == u'T' && digitsAt(t, at + 11, 2) &&
          t[at + 13] == u':' && digitsAt(t, at + 14, 2) && t[at + 16] == u':' && digitsAt(t, at + 17, 2)))
        return 0;
    const int month = (t[at + 5] - u'0') * 10 + (t[at + 6] - u'0');
    if (month < 1 || month > 12)
        return 0;
    std::size_t i = at + 19;
    if (i < t.size() && t[i] == u'.') {
        std::size_t digits = 0;
        while (i + 1 < t.size() && isDigit(t[i + 1]) && digits < 9)
            ++i, ++digits;
        if (digits == 0)
            return 0;
        ++i;
    }
    if (i < t.size() && t[i] == u'Z')
        ++i;
    else if (i + 6 <= t.size() && (t[i] == u'+' || t[i] == u'-') && digitsAt(t, i + 1, 2) &&
             t[i + 3] == u':' && digitsAt(t, i + 4, 2))
        i += 6;
    else
        return 0;
    return i < t.size() && t[i] == u' ' ? i - at : 0;
}

// Whether the word at `at` (to the first space or the end) is a tag: it holds a "[", or it ends with
// its only ":".
bool tagWordAt(View t, std::size_t at) {
    std::size_t colons = 0, end = at;
    bool bracket = false;
#ifdef __SSE2__
    // Eight characters at a time: most words tested are host names, which are neither.
    const __m128i space = _mm_set1_epi16(u' '), open = _mm_set1_epi16(u'['), colon = _mm_set1_epi16(u':');
    for (; end + 8 <= t.size(); end += 8) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(t.data() + end));
        const unsigned spaces = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi16(chunk, space)));
        const unsigned inWord = spaces ? (spaces & (0u - spaces)) - 1 : 0xFFFFu;
        const unsigned opens = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi16(chunk, open))) & inWord;
        const unsigned colonBytes = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi16(chunk, colon))) & inWord;
        bracket = bracket || opens != 0;
        // Two bits for each colon. Only whether there is exactly one matters, so two or more count as 2:
        // without a call to count bits, which the baseline x86-64 processor cannot do in one step.
        colons += colonBytes == 0 ? 0 : colonBytes == (colonBytes & (0u - colonBytes)) * 3 ? 1 : 2;
        if (spaces) {
            end += std::size_t(__builtin_ctz(spaces)) / 2;
            return end > at && (bracket || (colons == 1 && t[end - 1] == u':'));
        }
    }
#endif
    for (; end < t.size() && t[end] != u' '; ++end) {
        bracket = bracket || t[end] == u'[';
        colons += t[end] == u':';
    }
    return end > at && (bracket || (colons == 1 && t[end - 1] == u':'));
}

// The date of an RFC 3339 time stamp at `at` as a BSD one: "2026-09-09" gives "Sep  9".
void makeDate(View t, std::size_t at, Result &r) {
    const int month = (t[at + 5] - u'0') * 10 + (t[at + 6] - u'0');
    std::copy(Months[month - 1], Months[month - 1] + 3, r.madeDate);
    r.madeDate[3] = u' ';
    r.madeDate[4] = t[at + 8] == u'0' ? u' ' : t[at + 8];
    r.madeDate[5] = t[at + 9];
    r.dateMade = true;
    r.time = sliceAt(at + 11, 8);
}

// The end of the word at `at`: the first space at or after it, or the end of the text.
std::size_t wordEnd(View t, std::size_t at) {
    while (at < t.size() && t[at] != u' ')
        ++at;
    return at;
}
} // namespace

namespace {

// The value runs from after the first "=" of the message `d` (or from its start) to the next space or
// the end; the message is the rest, and what follows the value in it is the value's unit.
ZARARE_ALWAYS_INLINE void cutValue(View text, View d, Result &r) {
    const std::size_t q = find(d, u'=');
    const std::size_t space = find(d, u' ', q + 1);
    const std::size_t length = space > 0 ? space - q - 1 : d.size() - std::min(q, d.size());
    r.value = sliceOf(text, trim(cut(d, q + 1, length)));
    if (space > 0)
        r.unit = sliceOf(text, trim(d.substr(space)));
    r.rest = sliceOf(text, d);
}

// From the tag on, by the BSD rules: the sensor name lies between the first "[" and the first "]" after
// it, and the message proper follows the first colon. `d` is what follows the host.
void cutTail(View text, View d, Result &r) {
    if (const std::size_t b = find(d, u'['); b > 0) {
        if (const std::size_t e = find(d, u']', b + 1); e > 0) {
            r.hasSensor = true;
            r.sensor = sliceOf(text, trim(cut(d, b + 1, e - b - 1)));
        }
    }
    if (const std::size_t c = find(d, u':'); c > 0)
        d = trim(cut(d, c + 1, Cap));
    cutValue(text, d, r);
}

// Just past the structured-data element that opens at `at` ("[id name="value" ...]"): a "]" inside a
// quoted value, or escaped by a backslash there, does not end it.
std::size_t elementEnd(View t, std::size_t at) {
    bool quoted = false;
    for (std::size_t i = at + 1; i < t.size(); ++i) {
        if (quoted && t[i] == u'\\')
            ++i;
        else if (t[i] == u'"')
            quoted = !quoted;
        else if (!quoted && t[i] == u']')
            return i + 1;
    }
    return t.size();
}

// "<PRI>1 TIMESTAMP HOST APP PROCID MSGID SD MSG", each header field one word, "-" for none. A tag
// holding a "[" runs to the "]" after it, spaces included (logger writes "sensor[CPU Temp]" as the
// application name unchanged). Structured data and a byte-order mark before the message are skipped.
void cut5424(View t, std::size_t at, Result &r) {
    std::size_t i = at + 2; // past "1 "
    if (t[i] == u'-') {
        r.stampFromClock = true;
        i += 2;
    } else {
        const std::size_t n = isoStampAt(t, i);
        makeDate(t, i, r);
        i += n + 1;
    }

    std::size_t e = wordEnd(t, i);
    if (e == i || (e == i + 1 && t[i] == u'-')) {
        r.hostFromSender = true;
    } else {
        r.hasHost = true;
        r.host = sliceAt(i, std::min(e - i, Cap));
    }

    i = std::min(e + 1, t.size());
    e = wordEnd(t, i);
    if (const std::size_t b = t.substr(i, e - i).find(u'['); b != View::npos) {
        if (const std::size_t close = t.find(u']', i + b + 1); close != View::npos) {
            r.hasSensor = true;
            r.sensor = sliceOf(t, trim(t.substr(i + b + 1, std::min(close - i - b - 1, Cap))));
            e = wordEnd(t, close);
        }
    }
    for (int field = 0; field < 2; ++field) { // the process id and the message id
        i = std::min(e + 1, t.size());
        e = wordEnd(t, i);
    }

    i = std::min(e + 1, t.size());
    if (i < t.size() && t[i] == u'-')
        ++i;
    else
        while (i < t.size() && t[i] == u'[')
            i = elementEnd(t, i);
    if (i < t.size() && t[i] == u' ')
        ++i;
    if (i < t.size() && t[i] == u'\uFEFF')
        ++i; // the mark decoded from UTF-8
    else if (t.substr(i, 3) == u"\u00EF\u00BB\u00BF")
        i += 3; // the same bytes in a datagram read as Latin-1
    cutValue(t, trim(t.substr(i, Cap)), r);
}

// The BSD layout with an RFC 3339 time stamp, without a host field, or without both: the time stamp (if
// any) and the host (if any) are taken, the rest is cut by the BSD rules.
void cutBsdLike(View t, std::size_t at, Shape shape, Result &r) {
    std::size_t i = at;
    if (shape == Shape::IsoStamp) {
        const std::size_t n = isoStampAt(t, i);
        makeDate(t, i, r);
        i += n + 1;
    } else if (shape == Shape::NoHost) {
        r.date = sliceAt(i, 6);
        r.time = sliceAt(i + 7, 8);
        i += 16;
    } else {
        r.stampFromClock = true;
    }

    if (shape == Shape::IsoStamp && !tagWordAt(t, i)) {
        // As after a BSD time stamp: the host runs to the first space; with none, the previous stays.
        const std::size_t e = wordEnd(t, i);
        if (e < t.size()) {
            r.hasHost = true;
            r.host = sliceAt(i, std::min(e - i, Cap));
            i = e + 1;
        }
    } else {
        r.hostFromSender = true;
    }
    cutTail(t, t.substr(i, Cap), r);
}

} // namespace

namespace {
// The shape of `t`, whose strict priority (if any) is `p` characters long. *stamped tells whether a BSD
// time stamp follows the priority (and so the shape depends on nothing past the word after it).
Shape shapeAfter(View t, std::size_t p, bool *stamped = nullptr) {
    if (p == 0)
        return Shape::Bsd;
    if (p + 3 < t.size() && t[p] == u'1' && t[p + 1] == u' ' &&
        ((t[p + 2] == u'-' && t[p + 3] == u' ') || isoStampAt(t, p + 2) > 0))
        return Shape::Rfc5424;
    if (isoStampAt(t, p) > 0)
        return Shape::IsoStamp;
    if (bsdStampAt(t, p)) {
        if (stamped)
            *stamped = true;
        return tagWordAt(t, p + 16) ? Shape::NoHost : Shape::Bsd;
    }
    return tagWordAt(t, p) ? Shape::Bare : Shape::Bsd;
}
} // namespace

Shape shapeOf(View t) {
    t = t.substr(0, MaxText);
    return shapeAfter(t, strictPriority(t));
}

namespace {

// The cut of `text`; *head (when asked for) becomes the length of its beginning that alone decides its
// shape, date, time and host, through the space after the host, or 0 when what follows could change them.
Result cutText(View text, std::size_t *head) {
    text = text.substr(0, MaxText); // every slice's offset fits its 32 bits
    Result r;
    const std::size_t priority = strictPriority(text);
    bool stamped = false;
    r.shape = shapeAfter(text, priority, &stamped);
    if (r.shape == Shape::Rfc5424) {
        cut5424(text, priority, r);
        return r;
    }
    if (r.shape != Shape::Bsd) {
        cutBsdLike(text, priority, r.shape, r);
        return r;
    }

    View d = text;

    // A leading priority such as "<13>": the first ">" anywhere in the text is taken (after a strict
    // priority, that is the one that ends it).
    if (const std::size_t p = priority > 0 ? priority : find(d, u'>'); p > 0)
        d = cut(d, p + 1, Cap);

    r.date = sliceOf(text, cut(d, 1, 6));
    r.time = sliceOf(text, cut(d, 8, 8));
    d = cut(d, 17, Cap); // position 16 is the space after the time stamp

    // The host runs to the first space.
    const std::size_t s = find(d, u' ');
    if (s > 0) {
        r.hasHost = true;
        r.host = sliceOf(text, trim(cut(d, 1, s - 1)));
        if (head && priority > 0 && stamped)
            *head = priority + 16 + s;
    }
    cutTail(text, cut(d, s + 1, Cap), r);
    return r;
}

// The same characters: sixteen bytes at a time where the processor allows, else eight, the last ones
// overlapping those before. A head is some 40 characters.
bool sameChars(const char16_t *a, const char16_t *b, std::size_t n) {
    const auto *p = reinterpret_cast<const unsigned char *>(a);
    const auto *q = reinterpret_cast<const unsigned char *>(b);
    const std::size_t bytes = 2 * n;
#ifdef __SSE2__
    if (bytes >= 16) {
        const auto same16 = [p, q](std::size_t at) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + at));
            const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i *>(q + at));
            return _mm_movemask_epi8(_mm_cmpeq_epi8(x, y)) == 0xFFFF;
        };
        for (std::size_t at = 0; at + 16 <= bytes; at += 16)
            if (!same16(at))
                return false;
        return same16(bytes - 16);
    }
#endif
    if (bytes < 8)
        return std::equal(a, a + n, b);
    std::uint64_t x, y, diff = 0;
    for (std::size_t at = 0; at + 8 <= bytes && diff == 0; at += 8) {
        std::memcpy(&x, p + at, 8);
        std::memcpy(&y, q + at, 8);
        diff = x ^ y;
    }
    std::memcpy(&x, p + bytes - 8, 8);
    std::memcpy(&y, q + bytes - 8, 8);
    return diff == 0 && x == y;
}

} // namespace

Result cut(View text) {
    return cutText(text, nullptr);
}

bool operator==(Slice a, Slice b) {
    return a.pos == b.pos && a.len == b.len;
}

bool operator==(const Result &a, const Result &b) {
    return a.shape == b.shape && a.date == b.date && a.time == b.time && a.hasHost == b.hasHost &&
           a.host == b.host && a.hasSensor == b.hasSensor && a.sensor == b.sensor && a.value == b.value &&
           a.unit == b.unit && a.rest == b.rest && a.dateMade == b.dateMade &&
           std::equal(a.madeDate, a.madeDate + 6, b.madeDate) && a.stampFromClock == b.stampFromClock &&
           a.hostFromSender == b.hostFromSender;
}

Result Cutter::cut(View text) {
    text = text.substr(0, MaxText);
    const std::size_t n = head_.size();
    reused_ = n > 0 && text.size() >= n && sameChars(text.data(), head_.data(), n);
    if (reused_) {
        Result r;
        r.date = known_.date;
        r.time = known_.time;
        r.hasHost = true;
        r.host = known_.host;
        // What follows the host, within the Cap characters after the priority, as cut() takes it (the
        // head ends within them).
        const std::size_t end = std::min(std::size_t(known_.date.pos) + Cap, text.size());
        cutTail(text, View(text.data() + n, end - n), r);
        return r;
    }
    std::size_t head = 0;
    known_ = cutText(text, &head);
    head_.assign(text.data(), head);
    return known_;
}

} // namespace ReadingCut
