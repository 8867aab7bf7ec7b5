#pragma once

#include "sensorview/NameFilter.h"
#include "sensorview/SensorSort.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <vector>

class FlexGrid;
class HostGrid;

// The readings of every host side by side, one sensor per column: row = host (its name the row's
// header), column 0 = "Last reading" (the age of the host's newest value cell), then one column per
// distinct sensor name in the order the names first arrived. A view of the host grid's cells, not a
// copy: each cell finds the slot of its sensor in the host's row when it is asked for.
//
// It follows the grid's own change signals, which come at most once per frame, with one change of its
// own per frame; the grid's once-a-second repaint of ages and stale colours is passed on as one range.
// Colours, alarm backgrounds and tooltips are the grid's own, asked of the cell shown. Rows can be sorted
// (numbers as numbers, empty cells last, re-sorted after new readings at most once a second and never while a
// mouse button is held), left out by the filter text or by hidden-host patterns; columns are only reported as
// shown or not (columnShown), the view hides them.
class SensorTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int LastReadingColumn = 0;
    // What an export writes: headers with the unit ("CPU Temp [C]"), the last reading as seconds.
    static constexpr int ExportRole = Qt::UserRole + 1;
    static constexpr int ResortMs = 1000;

    // Milliseconds of a monotonic clock: a re-sort by "Last reading" reads the ages over several turns
    // of the event loop and takes each back to the moment the re-sort began.
    using Clock = std::function<qint64()>;

    SensorTableModel(FlexGrid &grid, const HostGrid &hosts, QObject *parent = nullptr);

    void setClock(Clock clock) { clock_ = std::move(clock); }
    // How long a re-sort may read rows before it lets the event loop run (0: every 32 rows).
    void setSortSliceForTesting(int ms) { sliceMs_ = ms; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    void multiData(const QModelIndex &index, QModelRoleDataSpan roleDataSpan) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // Column -1: back to the order of first arrival.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    int sortColumn() const { return sortColumn_; }
    Qt::SortOrder sortOrder() const { return sortOrder_; }

    // Milliseconds since a value cell of the host of `row` was last written, -1 when none has a time.
    qint64 lastReadingAge(int row) const;
    // The unit of a sensor column's readings (that of the first host row found with one, remembered
    // when the column or new cells come in); empty while none is known.
    QString unitOf(int column) const;
    // The grid's age text with " ago" ("3 s ago", "4 min 10 s ago"); empty for a negative age.
    static QString ageText(qint64 ms);

    // The sensor name of a column (empty for "Last reading"), the grid row of a row.
    QString sensorName(int column) const;
    int gridRowOf(int row) const { return order_[size_t(row)]; }

    // The filter box's text (see NameFilter::search). A text that matches host names only keeps those
    // hosts with all their sensors; one that matches sensor names only keeps every host with only those
    // sensors; one that matches both keeps the matching hosts with the matching sensors; one that
    // matches nothing shows no host and no sensor.
    void setFilterText(const QString &text);
    QString filterText() const { return filterText_; }
    // Globs on sensor names whose columns are hidden, and on host names whose rows are left out.
    void setHiddenColumns(const QStringList &patterns);
    void setHiddenHosts(const QStringList &patterns);
    // Whether the view should show a column: the filter and the hidden-column patterns allow it.
    bool columnShown(int column) const;

    // Brings in what the grid has published and re-sorts at once, as a frame and the re-sort timer would.
    void refreshNow();

signals:
    // The columns to show changed (filter, patterns, new sensors): the view asks columnShown() again.
    void shownColumnsChanged();

private:
    void gridChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles);
    void gridHeaderChanged(Qt::Orientation orientation, int first, int last);
    void rowsChanged(int firstGridRow, int lastGridRow, const QList<int> &roles);
    void findUnits(int firstGridRow, int lastGridRow);
    void sync();
    bool rowWanted(int gridRow) const;
    bool hostHidden(const QString &host) const;
    bool sensorFiltered(int sensorColumn) const;
    void rebuildRows();
    void resort();
    void applySort();
    int sortValueColumn(int gridRow);
    void scheduleResort();
    int valueColumnOf(int gridRow, int sensorColumn) const;
    int valueColumnAt(int gridRow, int column) const;
    QVariant cellData(int gridRow, int column, int col, int role) const;
    qint64 now() const { return clock_(); }

    FlexGrid &grid_;
    const HostGrid &hosts_;
    Clock clock_;

    std::vector<int> order_;                             // model row -> grid row
    int knownHosts_ = 0;                                 // grid rows 1..knownHosts_ are taken in
    int shownSensors_ = 0;                               // sensor columns published
    int knownPool_ = 0;                                  // pooled names taken in
    std::vector<std::vector<const void *>> columnNames_; // per sensor column: the pooled texts' characters
    QHash<const void *, int> columnOfName_;              // a pooled text's characters -> its sensor column
    // Units per sensor column, and how many columns have none yet. While some have none, each frame
    // looks at UnitRowsPerFrame of the changed rows (from unitRow_ on) for one.
    static constexpr int UnitRowsPerFrame = 256;
    std::vector<QString> units_;
    int unitsMissing_ = 0;
    int unitRow_ = 1;

    QString filterText_;
    NameFilter filter_;
    int hostMatches_ = 0, sensorMatches_ = 0; // names the filter text matches
    std::vector<NameFilter> hiddenColumns_, hiddenHosts_;
    bool identity_ = true; // order_ is every host in order of arrival

    // Where the sort column's sensor sits in each grid row, so that a re-sort reads one name cell per row
    // instead of all 64: slot (0 none) and, for a row without it, 1 + how many names the row held then.
    struct SlotMemo {
        quint8 slot = 0;
        quint8 names = 0;
    };
    std::vector<SlotMemo> memo_;
    int memoColumn_ = -1;
    // A re-sort reads every row's cell of the sort column, SliceMs at a time between turns of the event
    // loop (32,767 rows spread over much memory take longer than a frame) with as long for the loop
    // between slices, then orders the rows at once, in a slice of its own when the read took long.
    static constexpr int SliceMs = 4;
    std::vector<int> sortRows_; // the rows being read, as they stood when the re-sort began
    std::vector<SensorSort::Key> keys_;
    bool sortPending_ = false;
    int sliceMs_ = SliceMs;

    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
    qint64 sortBegan_ = 0;
    QTimer resortTimer_;
    QTimer sliceTimer_;
    QTimer ageTimer_;
};
