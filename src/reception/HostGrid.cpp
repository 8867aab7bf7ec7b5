#include "reception/HostGrid.h"

#include "text/TextBuffer.h"

#include <QtAlgorithms>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>

void HostGrid::reset() {
    hostcount_ = 0;
    hostrow_ = 0;
    sensorcol_ = 0;
    index_.clear();
    names_.clear();
    pool_.clear();
    sensorColumns_.clear();
    sensorColumnOf_.clear();
    recent_.fill(RecentHost());
    guessRow_ = 0;
}

void HostGrid::writeHeaderRow() {
    static const QString date = QStringLiteral("Date"), time = QStringLiteral("Time");
    static const QString name = QStringLiteral("Name"), value = QStringLiteral("Value");
    grid_.setRow(0);
    grid_.setCol(1);
    grid_.setText(date);
    grid_.setCol(2);
    grid_.setText(time);
    for (int c = FirstNameCol; c <= LastNameCol; c += 2) {
        grid_.setCol(c);
        grid_.setText(name);
        grid_.setCellForeColor(FlexGrid::Blue);
        grid_.setCol(c + 1);
        grid_.setText(value);
    }
}

void HostGrid::addNewRow(const ReadingParser &reading) {
    ++hostcount_;
    grid_.setRows(hostcount_ + 1);
    grid_.setRow(hostcount_);
    grid_.setTextAt(hostcount_, 0, reading.hostname);
    grid_.setTextAt(hostcount_, 1, reading.msgdate);
    grid_.setTextAt(hostcount_, 2, reading.msgtime);
    index_.insert(reading.hostname, hostcount_);
}

int HostGrid::findRow(const QString &host) {
    // A host sends its sensors one after another: the row the last reading went to, whose host cell
    // holds its name, is tried before the hash.
    if (guessRow_ > 0) {
        const QString *texts = grid_.rowTexts(guessRow_);
        if (texts && TextBuffer::same(host, texts[0]))
            return guessRow_;
    }
    RecentHost &recent = recent_[size_t(TextBuffer::quickHash(host) >> (64 - RecentBits))];
    if (recent.row > 0 && TextBuffer::same(host, recent.host))
        return recent.row;
    const int row = rowOf(host);
    if (row > 0) {
        // A copy of our own: the parser reuses its buffer when no one shares it.
        TextBuffer::copyInto(recent.host, host);
        recent.row = row;
    }
    return row;
}

namespace {
static_assert(FlexGrid::ValueCols == 64, "a row's name keys fit one 64-bit mask");

// Bit k set where key k of a row's name keys is `key`.
quint64 slotsWithKey(const quint8 *keys, quint8 key) {
    quint64 found = 0;
#ifdef __SSE2__
    const __m128i wanted = _mm_set1_epi8(char(key));
    for (int i = 0; i < FlexGrid::ValueCols; i += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(keys + i));
        found |= quint64(quint16(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, wanted)))) << i;
    }
#else
    for (int i = 0; i < FlexGrid::ValueCols; ++i)
        found |= quint64(keys[i] == key) << i;
#endif
    return found;
}
} // namespace

// The slot for a sensor: the last one whose trimmed name equals `wanted`, else the first empty one.
// Every name column counts: a matching name right of an empty slot wins over the empty slot, and an
// empty tag matches every empty slot, so it lands in the last one. Only the names whose key is the
// wanted one's are read, from the right, so that the first match met is the last one. A name cell that
// holds `exact` (the name as the reading spells it, spaces and all) matches without trimming it; *same
// tells whether the slot found holds it.
int HostGrid::findSlot(int row, QStringView wanted, QStringView exact, bool *same) const {
    *same = false;
    const quint8 *keys = grid_.rowNameKeys(row);
    if (!keys)
        return wanted.isEmpty() ? LastNameCol : FirstNameCol;
    const quint8 key = FlexGrid::nameKey(wanted);
    if (key == 0) {
        const quint64 empty = slotsWithKey(keys, 0);
        return empty ? FirstNameCol + 2 * (63 - int(qCountLeadingZeroBits(empty))) : 0;
    }
    const QString *cells = grid_.rowTexts(row);
    for (quint64 found = slotsWithKey(keys, key); found;) {
        const int slot = 63 - int(qCountLeadingZeroBits(found));
        found &= ~(quint64(1) << slot);
        const QString &name = cells[FirstNameCol + 2 * slot];
        if (TextBuffer::same(name, exact)) {
            *same = true;
            return FirstNameCol + 2 * slot;
        }
        if (TextBuffer::same(TextBuffer::trimSpaces(name), wanted))
            return FirstNameCol + 2 * slot;
    }
    // A new name: the empty slots are looked for only now.
    const quint64 empty = slotsWithKey(keys, 0);
    return empty ? FirstNameCol + 2 * int(qCountTrailingZeroBits(empty)) : 0;
}

// A sender sends its sensors in the same order every time: the slot right of the last one written in
// this row is tried first. It is the slot when it holds `name` exactly and no slot right of it holds a
// name of the same key (that is, the same trimmed name), as findSlot would find it; 0 otherwise.
int HostGrid::nextSlot(int row, const QString &name) const {
    if (row != guessRow_ || guessSlot_ >= FlexGrid::ValueCols)
        return 0;
    const quint8 *keys = grid_.rowNameKeys(row);
    const int slot = guessSlot_;
    if (!keys || keys[slot] == 0 || !TextBuffer::same(grid_.rowTexts(row)[FirstNameCol + 2 * slot], name))
        return 0;
    const quint64 right = slotsWithKey(keys, keys[slot]) & ~((quint64(2) << slot) - 1);
    return right == 0 ? FirstNameCol + 2 * slot : 0;
}

const QString &HostGrid::poolName(const QString &name) {
    const auto found = names_.constFind(name);
    if (found != names_.cend())
        return pool_[size_t(*found)].text;
    // A new name: a copy of its own (the parser goes on reusing its buffer), and a column for its
    // trimmed form unless another spelling of it came first.
    const QString text(name.constData(), name.size());
    const QString trimmed = TextBuffer::trimSpaces(text).toString();
    int column = -1;
    if (!trimmed.isEmpty()) {
        column = sensorColumnOf_.value(trimmed, -1);
        if (column < 0) {
            column = int(sensorColumns_.size());
            sensorColumns_.append(trimmed);
            sensorColumnOf_.insert(trimmed, column);
        }
    }
    names_.insert(text, int(pool_.size()));
    pool_.push_back({text, column});
    return pool_.back().text;
}

void HostGrid::fillgrid(const ReadingParser &reading) {
    hostrow_ = 0;
    if (hostcount_ == 0)
        addNewRow(reading);
    hostrow_ = qint16(findRow(reading.hostname));
    if (hostrow_ == 0) {
        const qsizetype newRow = reading.hostname.size() + reading.msgdate.size() + reading.msgtime.size() +
                                 reading.sensorname.size() + reading.sensorvalue.size();
        if (hostcount_ >= MaxHosts || grid_.textChars() + newRow > budget_)
            return; // no row left for a new host: the reading was counted, and is dropped
        addNewRow(reading);
        hostrow_ = hostcount_;
    }
    const int row = hostrow_;
    grid_.setRow(row);

    sensorcol_ = nextSlot(row, reading.sensorname);
    bool sameName = sensorcol_ > 0; // the slot found holds the name as the reading spells it
    if (!sameName)
        sensorcol_ = findSlot(row, TextBuffer::trimSpaces(reading.sensorname), reading.sensorname, &sameName);
    if (sensorcol_ == 0)
        return; // all 64 slots hold other sensors
    guessRow_ = row;
    guessSlot_ = (sensorcol_ - FirstNameCol) / 2 + 1;
    // The name cell is rewritten only when the name differs, the others always.
    const qsizetype grow = reading.sensorname.size() - grid_.textAt(row, sensorcol_).size() +
                           reading.sensorvalue.size() - grid_.textAt(row, sensorcol_ + 1).size() +
                           reading.msgdate.size() - grid_.textAt(row, 1).size() + reading.msgtime.size() -
                           grid_.textAt(row, 2).size();
    if (grow > 0 && grid_.textChars() + grow > budget_)
        return; // the grid's text is at its bound: nothing may grow it past it

    grid_.setCol(sensorcol_);
    if (!sameName && !TextBuffer::same(grid_.textAt(row, sensorcol_), reading.sensorname)) {
        grid_.setTextAt(row, sensorcol_, poolName(reading.sensorname));
    }
    grid_.setForeColorAt(row, sensorcol_, FlexGrid::Blue);
    grid_.copyTextAt(row, sensorcol_ + 1, reading.sensorvalue);
    grid_.setUnitAt(row, sensorcol_ + 1, reading.sensorunit);
    grid_.setTextAt(row, 1, reading.msgdate);
    grid_.setTextAt(row, 2, reading.msgtime);
}
