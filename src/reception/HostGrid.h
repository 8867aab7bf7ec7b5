#pragma once

#include "grid/FlexGrid.h"
#include "reception/ReadingParser.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <array>
#include <vector>

// The rules that store readings in the grid: one row per host in order of first arrival (column 0 the
// host, 1 the date, 2 the time of its latest stored reading), and 64 sensor slots per row, each a name
// column (3, 5, ... 129, the name in blue) and the value column right of it.
class HostGrid {
public:
    static constexpr int MaxHosts = 32767; // the last row the 16-bit host counter can address
    static constexpr int FirstNameCol = 3;
    static constexpr int LastNameCol = 129;
    static constexpr qint64 TextBudget = 64 * 1024 * 1024; // characters: 128 MB of text

    void setTextBudgetForTesting(qint64 chars) { budget_ = chars; }

    explicit HostGrid(FlexGrid &grid) : grid_(grid) {}

    // Start-up: no host rows yet, and the header row "Date", "Time", then "Name" (blue) and "Value".
    void reset();
    void writeHeaderRow();

    // Stores the parsed reading: finds or appends the host's row, then finds the sensor's slot (the last
    // slot already holding this name, else the first empty one) and writes name, value, date and time. A
    // new sensor on a host whose 64 slots are taken, or a new host beyond the last row, is dropped.
    //
    // The grid's text is bounded: once its cells hold TextBudget characters, a reading that would make
    // it grow (a new host, a new sensor, a longer value) is dropped too, while readings that fit in what
    // is there still land. A fleet's real readings stay far below it (32,767 hosts of 64 sensors take
    // about 20 million characters); only a flood of made-up names and long values reaches it.
    void fillgrid(const ReadingParser &reading);
    void addNewRow(const ReadingParser &reading);

    int hostcount() const { return hostcount_; }
    int hostrow() const { return hostrow_; }
    int sensorcol() const { return sensorcol_; }
    // Row of a host name (exact, case-sensitive), 0 when absent.
    int rowOf(const QString &host) const { return index_.value(host, 0); }

    // The sensor names of all hosts. Every name stored in a name cell is one of the pooled texts (the
    // cell shares its characters), and each pooled text belongs to a sensor column: one per distinct
    // trimmed name, in the order the names first arrived (-1 for a name that is only spaces).
    int pooledNameCount() const { return int(pool_.size()); }
    const QString &pooledName(int i) const { return pool_[size_t(i)].text; }
    int pooledNameColumn(int i) const { return pool_[size_t(i)].column; }
    int sensorColumnCount() const { return int(sensorColumns_.size()); }
    const QString &sensorColumnName(int column) const { return sensorColumns_[column]; }

private:
    int findRow(const QString &host);
    int findSlot(int row, QStringView wanted, QStringView exact, bool *same) const;
    int nextSlot(int row, const QString &name) const;

    FlexGrid &grid_;
    qint16 hostcount_ = 0;
    qint16 hostrow_ = 0;
    int sensorcol_ = 0;
    qint64 budget_ = TextBudget;
    int guessRow_ = 0;          // the row the last reading went to, and the slot right of its
    int guessSlot_ = 0;         // (0 to 64), which the next reading of that row is likely to take
    QHash<QString, int> index_; // host name -> row, in step with column 0
    // Hosts met lately and their rows, by a quick hash of the name: a look-up of the index per reading
    // costs more than the rest of finding the row. Filled from the index, emptied with it.
    struct RecentHost {
        QString host;
        int row = 0;
    };
    static constexpr int RecentBits = 9; // the top bits of the hash choose the place
    std::array<RecentHost, 1 << RecentBits> recent_;
    // Sensor names as stored in the grid: a fleet reports the same names on every host, and one copy
    // of each serves them all. names_ maps a stored name to its place in pool_.
    struct PooledName {
        QString text;
        int column;
    };
    const QString &poolName(const QString &name);
    QHash<QString, int> names_;
    std::vector<PooledName> pool_;
    QStringList sensorColumns_;          // trimmed names, in order of first arrival
    QHash<QString, int> sensorColumnOf_; // trimmed name -> its index in sensorColumns_
};
