#pragma once

#include "grid/FrameTimer.h"
#include "rules/Rules.h"
#include "text/TextBuffer.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QSet>
#include <QString>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>
#include <vector>

// The host grid's cells: a table of texts with a per-cell text colour, addressed through a current
// row and column like the grid control the program was designed around, or directly by position.
//
// Row 0 and column 0 are the fixed (header) row and column. Views see them as the horizontal and the
// vertical header; the remaining cells are the table body. Changes are collected and published to views
// at most once per display frame (or at once by flush()), so writing cells costs no drawing.
class FlexGrid : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int Columns = 131;
    static constexpr int DesignRows = 4;
    static constexpr int FixedRows = 1;
    static constexpr int FixedCols = 1;
    // Colours are in the control's blue-green-red order: 0x00BBGGRR.
    static constexpr quint32 Blue = 0xFF0000;

    explicit FlexGrid(QObject *parent = nullptr);
    ~FlexGrid() override;

    // The control's operations. Setting Row or Col outside the grid is refused (returns false).
    int Rows() const { return int(rows_.size()); }
    bool setRows(int count);
    int Cols() const { return Columns; }
    int Row() const { return row_; }
    bool setRow(int row);
    int Col() const { return col_; }
    bool setCol(int col);
    const QString &Text() const { return textAt(row_, col_); }
    void setText(const QString &text) { setTextAt(row_, col_, text); }
    void setCellForeColor(quint32 bgr) { setForeColorAt(row_, col_, bgr); }

    // Direct access; positions must lie inside the grid.
    const QString &textAt(int row, int col) const;
    // Inline for the usual case of a reading, the cell holding this very text already.
    void setTextAt(int row, int col, const QString &text) {
        const RowData *r = rowAt(row);
        if (r && r->text[size_t(col)].constData() == text.constData() &&
            r->text[size_t(col)].size() == text.size())
            return;
        storeText(row, col, text);
    }
    // Writes a copy of `text`, into the cell's own buffer where it has one: for texts that change with
    // nearly every write (readings), so that a write costs no allocation and the writer keeps its buffer.
    void copyTextAt(int row, int col, QStringView text);
    // The texts of one row (Columns of them), or null while no cell of the row was written.
    const QString *rowTexts(int row) const {
        const RowData *r = rowAt(row);
        return r ? r->text.data() : nullptr;
    }
    // Which texts of a row are not empty: bit c % 64 of word c / 64 for column c (FilledWords words);
    // null while no cell of the row was written. Lets a search of a row skip its empty cells.
    static constexpr int FilledWords = (Columns + 63) / 64;
    const quint64 *rowFilled(int row) const {
        const RowData *r = rowAt(row);
        return r ? r->filled.data() : nullptr;
    }
    // A one-byte key of each name cell (ValueCols of them: key k is column 3 + 2k, the name of value
    // column 4 + 2k): 0 when its text is empty or only spaces, else nameKey of the text without its
    // surrounding spaces. Null while no cell of the row was written. Lets a search for a name read one
    // byte a slot and compare only the texts whose key is the name's.
    const quint8 *rowNameKeys(int row) const {
        const RowData *r = rowAt(row);
        return r ? r->nameKey.data() : nullptr;
    }
    // 1 to 255 for a text that is not empty (spaces included: the caller trims), 0 for an empty one.
    static quint8 nameKey(QStringView text) {
        return text.isEmpty() ? 0 : quint8(TextBuffer::quickHash(text) % 255 + 1);
    }
    void setForeColorAt(int row, int col, quint32 bgr) {
        const RowData *r = rowAt(row);
        if (r && r->colour[size_t(col)] != 0 && palette_[r->colour[size_t(col)]] == bgr)
            return; // the colour it has
        storeForeColor(row, col, bgr);
    }
    bool hasForeColor(int row, int col) const;
    quint32 foreColorAt(int row, int col) const; // 0 (black) where none was set

    // Cell ages. The writer sets the time of the writes that follow (a monotonic clock in ms, taken once
    // per batch of readings); every value cell (columns 4, 6, ... 130) written by copyTextAt remembers
    // it in 4 bytes at 100 ms resolution. Painting reads the time through the clock, which tests inject.
    static constexpr int FirstValueCol = 4, ValueCols = 64;
    // Called for every reading with the same time for a whole batch: the division only when it changes.
    void setWriteTime(qint64 ms) {
        if (ms != writeMs_) {
            writeMs_ = ms;
            writeStamp_ = ms < 0 ? 0 : quint32(ms / 100 + 1);
        }
    }
    void setClock(std::function<qint64()> clock) { clock_ = std::move(clock); }
    // Cells not written for longer than this are drawn grey, and so is a host row none of whose cells
    // was; 0 turns it off.
    void setStaleMs(qint64 ms) { staleMs_ = ms; }
    // Milliseconds since the value cell was written, or -1 when it has no time.
    qint64 ageMs(int row, int col) const;
    // Milliseconds since the newest value cell of the row was written, or -1.
    qint64 rowAgeMs(int row) const;
    // "45 s", "4 min 10 s", "2 h 5 min".
    static QString ageText(qint64 ms);
    static constexpr quint32 StaleGrey = 0x808080;
    // Alarm bounds by sensor name: a value cell beyond a bound of the name left of it is painted with an
    // amber (warning) or red (critical) background. Which rule a name takes is decided once per name.
    void setRules(const RuleSet &rules);
    // Once a second while stale marking is on: tells views that the value cells and host cells may
    // have changed colour (views repaint only what they show). The texts are not touched.
    void refreshAges();
    AlarmLevel alarmAt(int row, int col) const;
    // The critical cells, kept up to date as values are written (only while there are alarm bounds):
    // how many there are, the worst of them (furthest beyond its bound; false when none), and the
    // cells that became critical since the last call (at most MaxEntered of them; `more` tells how
    // many more did). A change of rules does not count a cell that stays critical as new.
    struct Cell {
        int row, col;
    };
    int criticalCount() const { return int(critical_.size()); }
    bool worstCritical(Cell *cell) const;
    static constexpr int MaxEntered = 256;
    std::vector<Cell> takeEnteredCritical(int *more = nullptr);
    // The unit of a value cell ('Temp=45.0 C' gives "C"), shown with its value in the tooltip. Units are
    // kept once each, at most MaxUnits different ones of at most MaxUnitChars characters; a further or
    // longer one is not kept (the cell shows none).
    static constexpr int MaxUnits = 1024, MaxUnitChars = 32;
    void setUnitAt(int row, int col, QStringView unit) {
        const RowData *r = rowAt(row);
        if (r && col >= FirstValueCol && (col - FirstValueCol) % 2 == 0 &&
            TextBuffer::same(units_[r->unit[size_t((col - FirstValueCol) / 2)]], unit))
            return; // the same unit as the last reading, no lookup
        storeUnit(row, col, unit);
    }
    QStringView unitAt(int row, int col) const;

    // The characters held by all cells together (a shared text counted once per cell).
    qint64 textChars() const { return textChars_; }

    // Publishes every pending change to attached views now.
    void flush();

    // QAbstractTableModel: the body without the fixed row and column.
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct RowData {
        std::array<QString, Columns> text;
        std::array<quint8, Columns> colour{};      // index into palette_, 0 = default colour
        std::array<quint64, FilledWords> filled{}; // the non-empty texts, see rowFilled()
        std::array<quint8, ValueCols> nameKey{};   // see rowNameKeys()
        std::array<quint32, ValueCols> stamp{};    // write time / 100 ms + 1 of each value cell, 0 = none
        std::array<quint16, ValueCols> unit{};     // index into units_ of each value cell, 0 = none
        // Of each value cell while there are alarm bounds: its level in the top two bits, its name's
        // rule below them (see ruleCodeOf).
        std::array<quint16, ValueCols> alarm{};
    };

    const RowData *rowAt(int row) const { return rows_[size_t(row)].get(); }
    void storeText(int row, int col, const QString &text);
    void storeForeColor(int row, int col, quint32 bgr);
    void storeUnit(int row, int col, QStringView unit);
    RowData &writableRow(int row) {
        auto &slot = rows_[size_t(row)];
        return slot ? *slot : newRow(slot); // inline: once or twice a reading, nearly always there
    }
    static RowData &newRow(std::unique_ptr<RowData> &slot);
    static void noteFilled(RowData &r, int col, const QString &text);
    void markDirty(int row, int col);
    QVariant cellData(int row, int col, int role) const;
    // A value cell's rule: 0 not looked up yet, 1 none, k + 2 for thresholds[k]. Only the first
    // RuleMask - 1 rules of a file can be told apart; a name matching a later one has none.
    static constexpr quint16 RuleUnknown = 0, RuleNone = 1, RuleMask = 0x3FFF;
    quint16 ruleCodeOf(const QString &name) const;
    const Bounds *boundsOfCode(quint16 code) const {
        return code >= 2 ? &rules_.thresholds[size_t(code - 2)].bounds : nullptr;
    }
    static bool valueOf(const QString &text, double *value);
    void updateLevel(RowData &r, int row, int col);
    static quint32 keyOf(int row, int col) { return quint32(row) << 6 | quint32((col - FirstValueCol) / 2); }

    std::vector<std::unique_ptr<RowData>> rows_; // null until a cell of the row is written
    std::vector<quint32> palette_{0};
    int row_ = 0;
    int col_ = 0;
    qint64 textChars_ = 0;
    quint32 writeStamp_ = 0;
    qint64 writeMs_ = -1;
    qint64 staleMs_ = 60000;
    std::function<qint64()> clock_;
    RuleSet rules_;
    std::vector<QString> units_{QString()};
    QHash<QString, quint16> unitIndex_;
    QSet<quint32> critical_; // keyOf() of every critical cell
    std::vector<Cell> entered_;
    int enteredMore_ = 0;
    QTimer ageTimer_;
    mutable QHash<QString, quint16> ruleOf_; // name cell text -> its rule code

    // What views have been told, and what changed since.
    int publishedRows_ = DesignRows;
    int dirtyTop_ = -1, dirtyBottom_ = -1, dirtyLeft_ = -1, dirtyRight_ = -1;
    FrameTimer frame_;
};
