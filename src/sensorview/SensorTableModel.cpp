#include "sensorview/SensorTableModel.h"

#include "grid/FlexGrid.h"
#include "reception/HostGrid.h"
#include "sensorview/SensorSort.h"

#include <QElapsedTimer>
#include <QGuiApplication>

#include <algorithm>

namespace {
const QString emptyText;

qint64 monotonicMs() {
    static QElapsedTimer started = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return started.elapsed();
}

bool colourRole(int role) {
    return role == Qt::ForegroundRole || role == Qt::BackgroundRole || role == Qt::ToolTipRole ||
           role == Qt::AccessibleDescriptionRole;
}

bool filledAt(const quint64 *filled, int col) {
    return filled[col / 64] & (quint64(1) << (col % 64));
}
} // namespace

SensorTableModel::SensorTableModel(FlexGrid &grid, const HostGrid &hosts, QObject *parent)
    : QAbstractTableModel(parent), grid_(grid), hosts_(hosts), clock_(monotonicMs) {
    connect(&grid_, &QAbstractItemModel::dataChanged, this, &SensorTableModel::gridChanged);
    connect(&grid_, &QAbstractItemModel::headerDataChanged, this, &SensorTableModel::gridHeaderChanged);
    connect(&grid_, &QAbstractItemModel::rowsInserted, this, &SensorTableModel::sync);
    connect(&grid_, &QAbstractItemModel::rowsRemoved, this, &SensorTableModel::sync);
    connect(&grid_, &QAbstractItemModel::modelReset, this, &SensorTableModel::sync);
    resortTimer_.setSingleShot(true);
    resortTimer_.setInterval(ResortMs);
    connect(&resortTimer_, &QTimer::timeout, this, [this] {
        // Rows do not move under a pressed mouse button: try again shortly after.
        if (QGuiApplication::mouseButtons() != Qt::NoButton)
            resortTimer_.start(100);
        else
            resort();
    });
    // Between two slices of a re-sort the event loop gets as long as a slice (readings, painting, timers).
    sliceTimer_.setSingleShot(true);
    connect(&sliceTimer_, &QTimer::timeout, this, [this] {
        if (sortPending_)
            resort();
    });
    // The ages move on without any reading.
    ageTimer_.setInterval(1000);
    connect(&ageTimer_, &QTimer::timeout, this, [this] {
        if (!order_.empty())
            emit dataChanged(index(0, LastReadingColumn), index(int(order_.size()) - 1, LastReadingColumn),
                             {Qt::DisplayRole});
    });
    ageTimer_.start();
    sync();
}

int SensorTableModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(order_.size());
}

int SensorTableModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : 1 + shownSensors_;
}

QString SensorTableModel::sensorName(int column) const {
    return column >= 1 && column <= shownSensors_ ? hosts_.sensorColumnName(column - 1) : QString();
}

QString SensorTableModel::unitOf(int column) const {
    return column >= 1 && size_t(column) <= units_.size() ? units_[size_t(column - 1)] : QString();
}

qint64 SensorTableModel::lastReadingAge(int row) const {
    return grid_.rowAgeMs(gridRowOf(row));
}

QString SensorTableModel::ageText(qint64 ms) {
    return ms < 0 ? QString() : FlexGrid::ageText(ms) + QLatin1String(" ago");
}

// The value column of a sensor's slot in a grid row, 0 when the row has none. The name cells hold the
// pooled names themselves, so a slot is recognised by where its characters are, without comparing text;
// like the grid's own slot search, the last matching slot is the one.
int SensorTableModel::valueColumnOf(int gridRow, int sensorColumn) const {
    const QString *cells = grid_.rowTexts(gridRow);
    if (!cells || sensorColumn < 0 || size_t(sensorColumn) >= columnNames_.size())
        return 0;
    const std::vector<const void *> &names = columnNames_[size_t(sensorColumn)];
    const quint64 *filled = grid_.rowFilled(gridRow);
    int match = 0;
    for (int j = HostGrid::FirstNameCol; j <= HostGrid::LastNameCol; j += 2) {
        if (!filledAt(filled, j))
            continue;
        const void *chars = cells[j].constData();
        for (const void *name : names)
            if (chars == name)
                match = j;
    }
    return match ? match + 1 : 0;
}

int SensorTableModel::valueColumnAt(int gridRow, int column) const {
    return column == LastReadingColumn ? 0 : valueColumnOf(gridRow, column - 1);
}

QVariant SensorTableModel::data(const QModelIndex &index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const int gridRow = gridRowOf(index.row());
    return cellData(gridRow, index.column(), valueColumnAt(gridRow, index.column()), role);
}

// A view paints a cell with one call for all the roles it needs: the sensor's slot is found once.
void SensorTableModel::multiData(const QModelIndex &index, QModelRoleDataSpan roleDataSpan) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) {
        for (QModelRoleData &d : roleDataSpan)
            d.clearData();
        return;
    }
    const int gridRow = gridRowOf(index.row());
    const int col = valueColumnAt(gridRow, index.column());
    for (QModelRoleData &d : roleDataSpan)
        d.setData(cellData(gridRow, index.column(), col, d.role()));
}

// One role of the cell in `column` of a grid row whose sensor value lies in grid column `col` (0: none).
QVariant SensorTableModel::cellData(int gridRow, int column, int col, int role) const {
    const bool age = column == LastReadingColumn;
    if (colourRole(role)) {
        if (age) // the host's own: grey, "silent for", once it is stale
            return grid_.headerData(gridRow - FlexGrid::FixedRows, Qt::Vertical, role);
        return col ? grid_.data(grid_.index(gridRow - FlexGrid::FixedRows, col - FlexGrid::FixedCols), role)
                   : QVariant();
    }
    const QString &text = col ? grid_.textAt(gridRow, col) : emptyText;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return age ? ageText(grid_.rowAgeMs(gridRow)) : text.trimmed();
    case ExportRole:
        if (!age)
            return text.trimmed();
        if (const qint64 ms = grid_.rowAgeMs(gridRow); ms >= 0)
            return QString::number(ms / 1000);
        return QString();
    case Qt::TextAlignmentRole: {
        double number = 0;
        if (age || SensorSort::toNumber(text, &number))
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    }
    default:
        return {};
    }
}

QVariant SensorTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Vertical) {
        if (section < 0 || size_t(section) >= order_.size())
            return {};
        const int gridRow = gridRowOf(section);
        if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole || role == ExportRole)
            return grid_.textAt(gridRow, 0);
        if (colourRole(role))
            return grid_.headerData(gridRow - FlexGrid::FixedRows, Qt::Vertical, role);
        return {};
    }
    if (section < 0 || section > shownSensors_)
        return {};
    const QString name = section == LastReadingColumn ? QStringLiteral("Last reading") : sensorName(section);
    const QString unit = section == LastReadingColumn ? QStringLiteral("s") : unitOf(section);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return name;
    case ExportRole:
        return unit.isEmpty() ? name : name + QLatin1String(" [") + unit + QLatin1Char(']');
    case Qt::ToolTipRole:
        if (section == LastReadingColumn)
            return QStringLiteral("Time since the host's latest reading");
        return unit.isEmpty() ? QVariant() : QVariant(unit);
    default:
        return {};
    }
}

bool SensorTableModel::hostHidden(const QString &host) const {
    return std::any_of(hiddenHosts_.begin(), hiddenHosts_.end(),
                       [&host](const NameFilter &f) { return f.matches(host); });
}

bool SensorTableModel::sensorFiltered(int sensorColumn) const {
    return filter_.matches(hosts_.sensorColumnName(sensorColumn));
}

bool SensorTableModel::rowWanted(int gridRow) const {
    const QString &host = grid_.textAt(gridRow, 0);
    if (hostHidden(host))
        return false;
    if (filter_.isEmpty())
        return true;
    if (hostMatches_ > 0)
        return filter_.matches(host);
    return sensorMatches_ > 0;
}

bool SensorTableModel::columnShown(int column) const {
    if (column == LastReadingColumn)
        return true;
    if (column < 1 || column > shownSensors_)
        return false;
    const QString &name = hosts_.sensorColumnName(column - 1);
    if (std::any_of(hiddenColumns_.begin(), hiddenColumns_.end(),
                    [&name](const NameFilter &f) { return f.matches(name); }))
        return false;
    if (filter_.isEmpty())
        return true;
    if (sensorMatches_ > 0)
        return filter_.matches(name);
    return hostMatches_ > 0;
}

// Takes in the hosts and sensor names that arrived since the last frame.
void SensorTableModel::sync() {
    const int hosts = std::min(hosts_.hostcount(), grid_.rowCount());
    if (hosts < knownHosts_) { // the grid started again
        beginResetModel();
        order_.clear();
        columnNames_.clear();
        columnOfName_.clear();
        units_.clear();
        knownHosts_ = shownSensors_ = knownPool_ = unitsMissing_ = 0;
        memoColumn_ = -1;
        sortPending_ = false;
        hostMatches_ = sensorMatches_ = 0;
        endResetModel();
    }
    for (; knownPool_ < hosts_.pooledNameCount(); ++knownPool_) {
        const int column = hosts_.pooledNameColumn(knownPool_);
        if (column < 0)
            continue;
        if (size_t(column) >= columnNames_.size())
            columnNames_.resize(size_t(column) + 1);
        columnNames_[size_t(column)].push_back(hosts_.pooledName(knownPool_).constData());
        columnOfName_.insert(hosts_.pooledName(knownPool_).constData(), column);
    }
    const int hadHostMatches = hostMatches_, hadSensorMatches = sensorMatches_;
    const int sensors = hosts_.sensorColumnCount(), hadSensors = shownSensors_;
    if (!filter_.isEmpty())
        for (int c = shownSensors_; c < sensors; ++c)
            sensorMatches_ += sensorFiltered(c);
    if (sensors > shownSensors_) {
        units_.resize(size_t(sensors));
        unitsMissing_ += sensors - shownSensors_;
        beginInsertColumns(QModelIndex(), 1 + shownSensors_, sensors);
        shownSensors_ = sensors;
        endInsertColumns();
    }
    if (hosts > knownHosts_) {
        findUnits(knownHosts_ + 1, hosts); // new hosts are looked at whole, once
        if (!filter_.isEmpty())
            for (int r = knownHosts_ + 1; r <= hosts; ++r)
                hostMatches_ += filter_.matches(grid_.textAt(r, 0));
    }
    const bool flipped =
        (hadHostMatches == 0) != (hostMatches_ == 0) || (hadSensorMatches == 0) != (sensorMatches_ == 0);
    if (flipped) { // what the filter text matches changed kind: every row and column is decided anew
        knownHosts_ = hosts;
        rebuildRows();
        emit shownColumnsChanged();
        return;
    }
    if (hosts > knownHosts_) {
        std::vector<int> added;
        for (int r = knownHosts_ + 1; r <= hosts; ++r)
            if (rowWanted(r))
                added.push_back(r);
        knownHosts_ = hosts;
        if (!added.empty()) {
            const int first = int(order_.size());
            beginInsertRows(QModelIndex(), first, first + int(added.size()) - 1);
            order_.insert(order_.end(), added.begin(), added.end());
            endInsertRows();
            if (sortColumn_ >= 0)
                scheduleResort();
        }
    }
    if (sensors > hadSensors && (!hiddenColumns_.empty() || !filter_.isEmpty()))
        emit shownColumnsChanged();
}

// A frame's new texts, or (roles without the text) the grid's once-a-second repaint of ages and stale
// colours, which moves no row.
void SensorTableModel::gridChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                                   const QList<int> &roles) {
    sync();
    const int top = topLeft.row() + FlexGrid::FixedRows, bottom = bottomRight.row() + FlexGrid::FixedRows;
    if (!roles.isEmpty() && !roles.contains(Qt::DisplayRole)) {
        rowsChanged(top, bottom, {Qt::ForegroundRole, Qt::ToolTipRole, Qt::AccessibleDescriptionRole});
        return;
    }
    // Units that come later than their sensor's first reading: a slice of the changed rows per frame.
    if (unitsMissing_ > 0 && top <= bottom) {
        const bool within = unitRow_ >= top && unitRow_ <= bottom && bottom - top >= UnitRowsPerFrame;
        const int from = within ? unitRow_ : top;
        const int to = std::min(bottom, from + UnitRowsPerFrame - 1);
        findUnits(from, to);
        unitRow_ = to + 1;
    }
    rowsChanged(top, bottom, {});
    if (sortColumn_ >= 0)
        scheduleResort();
}

void SensorTableModel::gridHeaderChanged(Qt::Orientation orientation, int first, int last) {
    if (orientation != Qt::Vertical || order_.empty())
        return;
    const int end = int(order_.size()) - 1;
    if (identity_)
        emit headerDataChanged(Qt::Vertical, std::clamp(first, 0, end), std::clamp(last, 0, end));
    else
        emit headerDataChanged(Qt::Vertical, 0, end);
}

// Tells views of grid rows first..last as one range: that range itself while the rows are the grid's in
// order, else every row.
void SensorTableModel::rowsChanged(int first, int last, const QList<int> &roles) {
    if (order_.empty())
        return;
    const int end = int(order_.size()) - 1, lastCol = shownSensors_;
    if (identity_)
        emit dataChanged(index(std::clamp(first - 1, 0, end), 0),
                         index(std::clamp(last - 1, 0, end), lastCol), roles);
    else
        emit dataChanged(index(0, 0), index(end, lastCol), roles);
}

// Takes the units of sensor columns that have none yet from grid rows first..last: the first row with
// one gives it. A cell's name is its pooled text, so its column is one lookup by address.
void SensorTableModel::findUnits(int first, int last) {
    int low = shownSensors_, high = -1;
    for (int r = std::max(first, 1); r <= last && unitsMissing_ > 0; ++r) {
        const QString *cells = grid_.rowTexts(r);
        if (!cells)
            continue;
        const quint64 *filled = grid_.rowFilled(r);
        for (int j = HostGrid::FirstNameCol; j <= HostGrid::LastNameCol; j += 2) {
            if (!filledAt(filled, j))
                continue;
            const QStringView unit = grid_.unitAt(r, j + 1);
            if (unit.isEmpty())
                continue;
            const auto column = columnOfName_.constFind(cells[j].constData());
            if (column == columnOfName_.cend() || size_t(*column) >= units_.size() ||
                !units_[size_t(*column)].isEmpty())
                continue;
            units_[size_t(*column)] = unit.toString();
            --unitsMissing_;
            low = std::min(low, *column);
            high = std::max(high, *column);
        }
    }
    if (high >= 0 && high < shownSensors_)
        emit headerDataChanged(Qt::Horizontal, 1 + low, 1 + high);
}

void SensorTableModel::rebuildRows() {
    if (!order_.empty()) {
        beginRemoveRows(QModelIndex(), 0, int(order_.size()) - 1);
        order_.clear();
        endRemoveRows();
    }
    std::vector<int> rows;
    rows.reserve(size_t(knownHosts_));
    for (int r = 1; r <= knownHosts_; ++r)
        if (rowWanted(r))
            rows.push_back(r);
    identity_ = sortColumn_ < 0 && int(rows.size()) == knownHosts_;
    if (rows.empty())
        return;
    beginInsertRows(QModelIndex(), 0, int(rows.size()) - 1);
    order_ = std::move(rows);
    endInsertRows();
    if (sortColumn_ >= 0)
        resort();
}

void SensorTableModel::setFilterText(const QString &text) {
    if (text == filterText_)
        return;
    filterText_ = text;
    filter_ = NameFilter::search(text);
    hostMatches_ = sensorMatches_ = 0;
    if (!filter_.isEmpty()) {
        for (int r = 1; r <= knownHosts_; ++r)
            hostMatches_ += filter_.matches(grid_.textAt(r, 0));
        for (int c = 0; c < shownSensors_; ++c)
            sensorMatches_ += sensorFiltered(c);
    }
    rebuildRows();
    emit shownColumnsChanged();
}

void SensorTableModel::setHiddenColumns(const QStringList &patterns) {
    hiddenColumns_.clear();
    for (const QString &p : patterns)
        hiddenColumns_.push_back(NameFilter::glob(p));
    emit shownColumnsChanged();
}

void SensorTableModel::setHiddenHosts(const QStringList &patterns) {
    hiddenHosts_.clear();
    for (const QString &p : patterns)
        hiddenHosts_.push_back(NameFilter::glob(p));
    rebuildRows();
}

void SensorTableModel::sort(int column, Qt::SortOrder order) {
    if (column > shownSensors_)
        column = -1;
    if (column != sortColumn_)
        sortPending_ = false; // the keys being read are another column's
    sortColumn_ = column;
    sortOrder_ = order;
    resortTimer_.stop();
    resort();
}

void SensorTableModel::scheduleResort() {
    if (!resortTimer_.isActive())
        resortTimer_.start(ResortMs);
}

void SensorTableModel::refreshNow() {
    grid_.flush();
    sync();
    findUnits(1, knownHosts_);
    if (sortColumn_ >= 0) {
        resortTimer_.stop();
        sortPending_ = false;
        resort();
        while (sortPending_) // a test or an export wants the order now
            resort();
    }
}

namespace {
int namesIn(const quint64 *filled) {
    static constexpr quint64 odd = 0xAAAAAAAAAAAAAAAAull; // columns 1, 3, 5, ... of each word
    // Name columns are 3 ... 129: the odd columns of the first three words, less columns 1 and 131+.
    const int n = qPopulationCount(filled[0] & odd & ~quint64(2)) + qPopulationCount(filled[1] & odd) +
                  qPopulationCount(filled[2] & odd & 0x2ull);
    return n;
}
} // namespace

// The value column of the sort column's sensor in a grid row, through the row's memo: a remembered slot
// is checked by its one name cell (a name, once stored, keeps its slot), a remembered absence holds while
// the row gains no name; otherwise the row is searched and remembered.
int SensorTableModel::sortValueColumn(int gridRow) {
    const QString *cells = grid_.rowTexts(gridRow);
    if (!cells)
        return 0;
    SlotMemo &m = memo_[size_t(gridRow)];
    const std::vector<const void *> &names = columnNames_[size_t(memoColumn_)];
    if (m.slot) {
        const void *chars = cells[m.slot].constData();
        if (std::find(names.begin(), names.end(), chars) != names.end())
            return m.slot + 1;
    } else if (m.names && m.names == namesIn(grid_.rowFilled(gridRow)) + 1) {
        return 0;
    }
    const int value = valueColumnOf(gridRow, memoColumn_);
    m.slot = quint8(value ? value - 1 : 0);
    m.names = quint8(namesIn(grid_.rowFilled(gridRow)) + 1);
    return value;
}

// Re-sorts the rows: reads the sort column's cell of every row, a slice at a time, then orders them.
void SensorTableModel::resort() {
    if (order_.empty() || sortColumn_ < 0) {
        sortPending_ = false;
        applySort();
        return;
    }
    if (!sortPending_) {
        sortPending_ = true;
        sortRows_ = order_;
        keys_.clear();
        keys_.reserve(sortRows_.size());
        sortBegan_ = now();
    }
    if (sortColumn_ >= 1 && memoColumn_ != sortColumn_ - 1) {
        memo_.assign(size_t(knownHosts_) + 1, SlotMemo());
        memoColumn_ = sortColumn_ - 1;
    }
    memo_.resize(size_t(knownHosts_) + 1);
    QElapsedTimer slice;
    slice.start();
    const auto again = [this] { sliceTimer_.start(sliceMs_); };
    const qint64 since = now() - sortBegan_; // ages are taken back to when the re-sort began
    const size_t read = keys_.size();
    while (keys_.size() < sortRows_.size()) {
        const int gridRow = sortRows_[keys_.size()];
        SensorSort::Key k;
        if (sortColumn_ == LastReadingColumn) { // the longest silent first, hosts without a time last
            const qint64 age = grid_.rowAgeMs(gridRow);
            k.row = gridRow;
            if (age >= 0) {
                k.kind = SensorSort::Key::Number;
                k.number = -double(age - since);
            }
        } else {
            const int col = sortValueColumn(gridRow);
            k = SensorSort::keyOf(col ? QStringView(grid_.textAt(gridRow, col)) : QStringView(), gridRow);
        }
        keys_.push_back(std::move(k));
        if ((keys_.size() & 31) == 0 && slice.elapsed() >= sliceMs_ && keys_.size() < sortRows_.size()) {
            again();
            return;
        }
    }
    // Ordering and telling the views take a few ms of their own: in a turn of their own after a long read.
    if (keys_.size() > read && keys_.size() > 4096 && slice.elapsed() * 2 >= sliceMs_) {
        again();
        return;
    }
    sortPending_ = false;
    applySort();
}

// Puts the rows in the order of the keys just read (rows that came meanwhile follow them; rows left
// out meanwhile stay out), keeping every persistent index (the selection, the current cell) on its host.
void SensorTableModel::applySort() {
    if (order_.empty())
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int> gridRows;
    gridRows.reserve(size_t(before.size()));
    for (const QModelIndex &i : before)
        gridRows.push_back(i.isValid() ? gridRowOf(i.row()) : 0);

    if (sortColumn_ < 0) {
        std::sort(order_.begin(), order_.end());
    } else {
        SensorSort::sort(keys_, sortOrder_);
        // 1: in the rows now, 2: placed
        std::vector<quint8> state(size_t(knownHosts_) + 1, 0);
        for (const int r : order_)
            state[size_t(r)] = 1;
        std::vector<int> sorted;
        sorted.reserve(order_.size());
        for (const SensorSort::Key &k : keys_)
            if (state[size_t(k.row)] == 1) {
                state[size_t(k.row)] = 2;
                sorted.push_back(k.row);
            }
        for (const int r : order_)
            if (state[size_t(r)] == 1)
                sorted.push_back(r);
        order_ = std::move(sorted);
        keys_.clear();
    }
    identity_ = sortColumn_ < 0 && int(order_.size()) == knownHosts_;

    QModelIndexList after;
    after.reserve(before.size());
    if (!before.isEmpty()) {
        std::vector<int> rowOf(size_t(knownHosts_) + 1, -1);
        for (size_t i = 0; i < order_.size(); ++i)
            rowOf[size_t(order_[i])] = int(i);
        for (qsizetype i = 0; i < before.size(); ++i)
            after << (gridRows[size_t(i)] ? index(rowOf[size_t(gridRows[size_t(i)])], before[i].column())
                                          : QModelIndex());
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
