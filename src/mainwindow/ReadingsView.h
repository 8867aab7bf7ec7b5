#pragma once

#include <QTableView>

class FlexGrid;

// The Readings grid's table. When the grid lists the cells a frame changed, only those are repainted,
// not the whole range between them: hosts all over the grid send within one frame, and a range from the
// first to the last of them is most of the window.
class ReadingsView : public QTableView {
public:
    ReadingsView(const FlexGrid &grid, QWidget *parent = nullptr);

protected:
    void dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                     const QList<int> &roles = QList<int>()) override;

private:
    const FlexGrid &grid_;
};
