#include "reception/HostGrid.h"

void HostGrid::reset() {
    hostcount_ = 0;
    hostrow_ = 0;
    sensorcol_ = 0;
    index_.clear();
    names_.clear();
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

void HostGrid::fillgrid(const ReadingParser &reading) {
    hostrow_ = 0;
    if (hostcount_ == 0)
        addNewRow(reading);
    hostrow_ = qint16(rowOf(reading.hostname));
    if (hostrow_ == 0) {
        if (hostcount_ >= MaxHosts)
            return; // no row left for a new host: the reading was counted, and is dropped
        addNewRow(reading);
        hostrow_ = hostcount_;
    }
    const int row = hostrow_;
    grid_.setRow(row);

    // Every name column is looked at: a matching name right of an empty slot wins over the empty slot,
    // and an empty tag (' ') matches every empty slot, so it lands in the last one.
    const QStringView wanted = ReadingParser::trim(reading.sensorname);
    sensorcol_ = 0;
    for (int j = FirstNameCol; j <= LastNameCol; j += 2) {
        const QStringView cell = ReadingParser::trim(grid_.textAt(row, j));
        if (cell == wanted)
            sensorcol_ = j;
        else if (cell.isEmpty() && sensorcol_ == 0)
            sensorcol_ = j;
    }
    if (sensorcol_ == 0)
        return; // all 64 slots hold other sensors

    grid_.setCol(sensorcol_);
    if (grid_.textAt(row, sensorcol_) != reading.sensorname) {
        auto pooled = names_.constFind(reading.sensorname);
        if (pooled == names_.cend())
            pooled = names_.insert(reading.sensorname);
        grid_.setTextAt(row, sensorcol_, *pooled);
    }
    grid_.setForeColorAt(row, sensorcol_, FlexGrid::Blue);
    grid_.setTextAt(row, sensorcol_ + 1, reading.sensorvalue);
    grid_.setTextAt(row, 1, reading.msgdate);
    grid_.setTextAt(row, 2, reading.msgtime);
}
