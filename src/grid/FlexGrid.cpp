#include "grid/FlexGrid.h"

#include "text/TextBuffer.h"

#include <QBrush>
#include <QColor>
#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {
const QString emptyText;

QColor fromBgr(quint32 bgr) {
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}
} // namespace

namespace {
// The socket's clock: the times writers give come from it.
qint64 monotonicMs() {
    QElapsedTimer t;
    t.start();
    return t.msecsSinceReference();
}
} // namespace

FlexGrid::FlexGrid(QObject *parent)
    : QAbstractTableModel(parent), rows_(DesignRows), clock_(monotonicMs), frame_(this) {
    connect(&frame_, &FrameTimer::fires, this, &FlexGrid::flush);
    ageTimer_.setInterval(1000);
    connect(&ageTimer_, &QTimer::timeout, this, &FlexGrid::refreshAges);
    ageTimer_.start();
}

void FlexGrid::refreshAges() {
    const int body = publishedRows_ - FixedRows;
    if (staleMs_ <= 0 || body <= 0)
        return;
    emit dataChanged(index(0, FirstValueCol - FixedCols), index(body - 1, Columns - 1 - FixedCols),
                     {Qt::ForegroundRole, Qt::ToolTipRole});
    emit headerDataChanged(Qt::Vertical, 0, body - 1);
}

FlexGrid::~FlexGrid() = default;

bool FlexGrid::setRows(int count) {
    if (count < FixedRows)
        return false;
    for (size_t r = size_t(count); r < rows_.size(); ++r)
        if (rows_[r])
            for (const QString &text : rows_[r]->text)
                textChars_ -= text.size();
    if (size_t(count) < rows_.size()) // only a shrinking grid can lose critical cells
        for (auto it = critical_.begin(); it != critical_.end();)
            it = int(*it >> 6) >= count ? critical_.erase(it) : std::next(it);
    rows_.resize(size_t(count));
    if (row_ >= count)
        row_ = count - 1;
    if (count != publishedRows_)
        frame_.request();
    return true;
}

bool FlexGrid::setRow(int row) {
    if (row < 0 || row >= Rows())
        return false;
    row_ = row;
    return true;
}

bool FlexGrid::setCol(int col) {
    if (col < 0 || col >= Columns)
        return false;
    col_ = col;
    return true;
}

const QString &FlexGrid::textAt(int row, int col) const {
    const RowData *r = rowAt(row);
    return r ? r->text[size_t(col)] : emptyText;
}

FlexGrid::RowData &FlexGrid::newRow(std::unique_ptr<RowData> &slot) {
    slot = std::make_unique<RowData>();
    return *slot;
}

// Inlined into the writes of cells: once or twice a reading.
ZARARE_ALWAYS_INLINE void FlexGrid::markDirty(int row, int col) {
    if (dirtyTop_ < 0) {
        dirtyTop_ = dirtyBottom_ = row;
        dirtyLeft_ = dirtyRight_ = col;
        frame_.request();
        return;
    }
    dirtyTop_ = std::min(dirtyTop_, row);
    dirtyBottom_ = std::max(dirtyBottom_, row);
    dirtyLeft_ = std::min(dirtyLeft_, col);
    dirtyRight_ = std::max(dirtyRight_, col);
}

// After a write of `text` at `col`: its filled bit, and its key when it is a name cell.
ZARARE_ALWAYS_INLINE void FlexGrid::noteFilled(RowData &r, int col, const QString &text) {
    const quint64 bit = quint64(1) << (col % 64);
    if (text.isEmpty())
        r.filled[size_t(col / 64)] &= ~bit;
    else
        r.filled[size_t(col / 64)] |= bit;
    const int name = col - (FirstValueCol - 1);
    if (name >= 0 && name % 2 == 0)
        r.nameKey[size_t(name / 2)] = nameKey(TextBuffer::trimSpaces(text));
}

void FlexGrid::storeText(int row, int col, const QString &text) {
    RowData &r = writableRow(row);
    QString &cell = r.text[size_t(col)];
    if ((cell.constData() == text.constData() && cell.size() == text.size()) || cell == text)
        return; // unchanged: keep the stored string and tell no view
    textChars_ += text.size() - cell.size();
    cell = text;
    noteFilled(r, col, cell);
    markDirty(row, col);
    if (rules_.thresholds.empty() || col < FirstValueCol - 1)
        return;
    if ((col - FirstValueCol) % 2 == 0) {
        updateLevel(r, row, col);
    } else if (col + 1 < Columns) { // a name: its value's rule is looked up again
        r.alarm[size_t((col + 1 - FirstValueCol) / 2)] &= ~RuleMask;
        updateLevel(r, row, col + 1);
    }
}

void FlexGrid::copyTextAt(int row, int col, QStringView text) {
    RowData &r = writableRow(row);
    QString &cell = r.text[size_t(col)];
    if (col >= FirstValueCol && (col - FirstValueCol) % 2 == 0) {
        quint32 &stamp = r.stamp[size_t((col - FirstValueCol) / 2)];
        if (writeStamp_ && stamp != writeStamp_) {
            // Fresh after stale: the colour changes without any change of text.
            if (staleMs_ > 0 && stamp && qint64(writeStamp_ - stamp) * 100 > staleMs_)
                markDirty(row, col);
            stamp = writeStamp_;
        }
    }
    if (TextBuffer::same(cell, text))
        return;
    textChars_ += text.size() - cell.size();
    TextBuffer::copyInto(cell, text);
    noteFilled(r, col, cell);
    markDirty(row, col);
    if (!rules_.thresholds.empty() && col >= FirstValueCol && (col - FirstValueCol) % 2 == 0)
        updateLevel(r, row, col);
}

void FlexGrid::storeUnit(int row, int col, QStringView unit) {
    if (col < FirstValueCol || (col - FirstValueCol) % 2 != 0)
        return;
    RowData &r = writableRow(row);
    quint16 &slot = r.unit[size_t((col - FirstValueCol) / 2)];
    if (TextBuffer::same(units_[slot], unit))
        return; // the usual case: the same unit as the last reading, no lookup
    quint16 index = 0;
    if (!unit.isEmpty() && unit.size() <= MaxUnitChars) {
        // Looked up over the reading's own characters: no copy unless the unit is new.
        const QString text = QString::fromRawData(unit.data(), unit.size());
        const auto known = unitIndex_.constFind(text);
        if (known != unitIndex_.cend()) {
            index = known.value();
        } else if (units_.size() < size_t(MaxUnits)) {
            index = quint16(units_.size());
            units_.push_back(unit.toString());
            unitIndex_.insert(units_.back(), index);
        }
    }
    if (slot != index) {
        slot = index;
        markDirty(row, col);
    }
}

QStringView FlexGrid::unitAt(int row, int col) const {
    const RowData *r = rowAt(row);
    if (!r || col < FirstValueCol || (col - FirstValueCol) % 2 != 0)
        return {};
    return units_[r->unit[size_t((col - FirstValueCol) / 2)]];
}

qint64 FlexGrid::ageMs(int row, int col) const {
    const RowData *r = rowAt(row);
    if (!r || col < FirstValueCol || (col - FirstValueCol) % 2 != 0)
        return -1;
    const quint32 stamp = r->stamp[size_t((col - FirstValueCol) / 2)];
    return stamp ? std::max<qint64>(clock_() - (qint64(stamp) - 1) * 100, 0) : -1;
}

qint64 FlexGrid::rowAgeMs(int row) const {
    const RowData *r = rowAt(row);
    if (!r)
        return -1;
    const quint32 newest = *std::max_element(r->stamp.begin(), r->stamp.end());
    return newest ? std::max<qint64>(clock_() - (qint64(newest) - 1) * 100, 0) : -1;
}

void FlexGrid::setRules(const RuleSet &rules) {
    rules_ = rules;
    ruleOf_.clear();
    const QSet<quint32> before = std::exchange(critical_, {});
    setStaleMs(rules.staleMs);
    for (int row = FixedRows; row < Rows(); ++row)
        if (RowData *r = rows_[size_t(row)].get()) {
            r->alarm.fill(0);
            if (!rules_.thresholds.empty())
                for (int col = FirstValueCol; col < Columns; col += 2)
                    updateLevel(*r, row, col);
        }
    // Cells that were critical before and still are did not become critical now.
    entered_.erase(std::remove_if(entered_.begin(), entered_.end(),
                                  [&](const Cell &c) { return before.contains(keyOf(c.row, c.col)); }),
                   entered_.end());
    if (Rows() > FixedRows) {
        markDirty(FixedRows, 0);
        markDirty(Rows() - 1, Columns - 1);
    }
}

quint16 FlexGrid::ruleCodeOf(const QString &name) const {
    auto found = ruleOf_.constFind(name);
    if (found == ruleOf_.cend()) {
        const int index = rules_.indexFor(name);
        found = ruleOf_.insert(name, index < 0 || index > RuleMask - 2 ? RuleNone : quint16(index + 2));
    }
    return *found;
}

// A value cell's number: "." or "," as decimal separator, spaces around it; false for anything else.
// Plain decimals of up to 15 digits (every reading a sensor sends) are read here without allocating:
// the digits make an exact integer, and one division by an exact power of ten rounds correctly.
bool FlexGrid::valueOf(const QString &text, double *value) {
    const QStringView v = QStringView(text).trimmed();
    static constexpr double Tens[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                      1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    qsizetype i = 0;
    const bool negative = i < v.size() && v[i] == QLatin1Char('-');
    if (negative || (i < v.size() && v[i] == QLatin1Char('+')))
        ++i;
    qint64 digits = 0;
    int count = 0, decimals = -1;
    for (; i < v.size() && count <= 15; ++i) {
        const char16_t c = v[i].unicode();
        if (c >= u'0' && c <= u'9') {
            digits = digits * 10 + (c - u'0');
            ++count;
            if (decimals >= 0)
                ++decimals;
        } else if ((c == u'.' || c == u',') && decimals < 0) {
            decimals = 0;
        } else {
            break;
        }
    }
    if (i == v.size() && count > 0 && count <= 15) {
        const double magnitude = double(digits) / Tens[decimals < 0 ? 0 : decimals];
        *value = negative ? -magnitude : magnitude;
        return true;
    }
    // Exponents and long digit runs the slow way; anything else ("OK", "inf", "12abc") is no number,
    // found without allocating.
    if (count <= 15 && !v.contains(QLatin1Char('e'), Qt::CaseInsensitive))
        return false;
    bool ok = false;
    *value = v.toString().replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
    return ok && !v.isEmpty() && std::isfinite(*value);
}

void FlexGrid::updateLevel(RowData &r, int row, int col) {
    quint16 &alarm = r.alarm[size_t((col - FirstValueCol) / 2)];
    if ((alarm & RuleMask) == RuleUnknown) // once per cell and name: a reading costs no lookup
        alarm = quint16((alarm & ~RuleMask) | ruleCodeOf(r.text[size_t(col - 1)]));
    const AlarmLevel level = AlarmLevel(alarm >> 14);
    const Bounds *bounds = boundsOfCode(alarm & RuleMask);
    double number = 0;
    const AlarmLevel now =
        bounds && valueOf(r.text[size_t(col)], &number) ? bounds->level(number) : AlarmLevel::None;
    if (now == level)
        return;
    if (now == AlarmLevel::Critical) {
        critical_.insert(keyOf(row, col));
        if (entered_.size() < size_t(MaxEntered))
            entered_.push_back({row, col});
        else
            ++enteredMore_;
    } else if (level == AlarmLevel::Critical) {
        critical_.remove(keyOf(row, col));
    }
    alarm = quint16((alarm & RuleMask) | quint16(now) << 14);
}

AlarmLevel FlexGrid::alarmAt(int row, int col) const {
    if (rules_.thresholds.empty() || row < FixedRows || col < FirstValueCol || (col - FirstValueCol) % 2 != 0)
        return AlarmLevel::None;
    const RowData *r = rowAt(row);
    return r ? AlarmLevel(r->alarm[size_t((col - FirstValueCol) / 2)] >> 14) : AlarmLevel::None;
}

bool FlexGrid::worstCritical(Cell *cell) const {
    double worst = -1;
    for (const quint32 key : critical_) {
        const int row = int(key >> 6), col = FirstValueCol + 2 * int(key & 63);
        const Bounds *bounds = boundsOfCode(rowAt(row)->alarm[size_t(key & 63)] & RuleMask);
        double number = 0;
        if (!bounds || !valueOf(textAt(row, col), &number))
            continue;
        const double beyond = std::max(std::isnan(bounds->crit) ? 0 : number - bounds->crit,
                                       std::isnan(bounds->lowCrit) ? 0 : bounds->lowCrit - number);
        // Ties go to the first row, so that the tooltip does not flicker between equal cells.
        if (beyond > worst ||
            (beyond == worst && (row < cell->row || (row == cell->row && col < cell->col)))) {
            worst = beyond;
            *cell = {row, col};
        }
    }
    return worst >= 0;
}

std::vector<FlexGrid::Cell> FlexGrid::takeEnteredCritical(int *more) {
    if (more)
        *more = enteredMore_;
    enteredMore_ = 0;
    std::vector<Cell> out;
    out.swap(entered_);
    return out;
}

QString FlexGrid::ageText(qint64 ms) {
    const qint64 s = ms / 1000;
    if (s < 60)
        return QStringLiteral("%1 s").arg(s);
    if (s < 3600)
        return QStringLiteral("%1 min %2 s").arg(s / 60).arg(s % 60);
    return QStringLiteral("%1 h %2 min").arg(s / 3600).arg(s % 3600 / 60);
}

void FlexGrid::storeForeColor(int row, int col, quint32 bgr) {
    auto it = std::find(palette_.begin() + 1, palette_.end(), bgr);
    if (it == palette_.end()) {
        if (palette_.size() > 255)
            return; // more distinct colours than a cell can index: keep the cell's colour
        palette_.push_back(bgr);
        it = palette_.end() - 1;
    }
    const auto index = quint8(it - palette_.begin());
    quint8 &cell = writableRow(row).colour[size_t(col)];
    if (cell == index)
        return;
    cell = index;
    markDirty(row, col);
}

bool FlexGrid::hasForeColor(int row, int col) const {
    const RowData *r = rowAt(row);
    return r && r->colour[size_t(col)] != 0;
}

quint32 FlexGrid::foreColorAt(int row, int col) const {
    const RowData *r = rowAt(row);
    return r ? palette_[r->colour[size_t(col)]] : 0;
}

void FlexGrid::flush() {
    const int rows = Rows();
    if (rows != publishedRows_) {
        const int oldBody = publishedRows_ - FixedRows;
        const int newBody = rows - FixedRows;
        if (newBody > oldBody) {
            beginInsertRows(QModelIndex(), oldBody, newBody - 1);
            publishedRows_ = rows;
            endInsertRows();
        } else {
            beginRemoveRows(QModelIndex(), newBody, oldBody - 1);
            publishedRows_ = rows;
            endRemoveRows();
        }
    }
    if (dirtyTop_ < 0)
        return;
    const int top = dirtyTop_, bottom = std::min(dirtyBottom_, rows - 1);
    const int left = dirtyLeft_, right = dirtyRight_;
    dirtyTop_ = dirtyBottom_ = dirtyLeft_ = dirtyRight_ = -1;
    if (top == 0 && right >= FixedCols)
        emit headerDataChanged(Qt::Horizontal, std::max(left, FixedCols) - FixedCols, right - FixedCols);
    const int firstBody = std::max(top, FixedRows);
    if (left == 0 && bottom >= firstBody)
        emit headerDataChanged(Qt::Vertical, firstBody - FixedRows, bottom - FixedRows);
    if (bottom >= firstBody && right >= FixedCols)
        emit dataChanged(index(firstBody - FixedRows, std::max(left, FixedCols) - FixedCols),
                         index(bottom - FixedRows, right - FixedCols), {Qt::DisplayRole, Qt::ForegroundRole});
}

int FlexGrid::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : publishedRows_ - FixedRows;
}

int FlexGrid::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : Columns - FixedCols;
}

QVariant FlexGrid::cellData(int row, int col, int role) const {
    if (row < 0 || row >= Rows() || col < 0 || col >= Columns)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return textAt(row, col);
    case Qt::ForegroundRole:
        if (hasForeColor(row, col))
            return QBrush(fromBgr(foreColorAt(row, col))); // name cells keep their colour
        if (row >= FixedRows && staleMs_ > 0) {
            const qint64 age = col == 0 ? rowAgeMs(row) : ageMs(row, col);
            if (age > staleMs_)
                return QBrush(fromBgr(StaleGrey));
        }
        return {};
    case Qt::BackgroundRole:
        switch (alarmAt(row, col)) {
        case AlarmLevel::Critical:
            return QBrush(QColor(255, 96, 96));
        case AlarmLevel::Warning:
            return QBrush(QColor(255, 191, 0));
        default:
            return {};
        }
    case Qt::ToolTipRole:
    case Qt::AccessibleDescriptionRole: {
        if (row < FixedRows)
            return {};
        if (col == 0) {
            const qint64 age = rowAgeMs(row);
            if (staleMs_ > 0 && age > staleMs_)
                return QStringLiteral("silent for ") + ageText(age);
            return {};
        }
        const qint64 age = ageMs(row, col);
        if (age < 0)
            return {};
        const QStringView unit = unitAt(row, col);
        QString text = textAt(row, col).trimmed();
        if (!unit.isEmpty()) {
            text += QLatin1Char(' ');
            text += unit;
        }
        return text + QStringLiteral(", ") + ageText(age) + QStringLiteral(" ago");
    }
    default:
        return {};
    }
}

QVariant FlexGrid::data(const QModelIndex &index, int role) const {
    if (!index.isValid())
        return {};
    return cellData(index.row() + FixedRows, index.column() + FixedCols, role);
}

QVariant FlexGrid::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal)
        return cellData(0, section + FixedCols, role);
    return cellData(section + FixedRows, 0, role);
}
