#include "mainwindow/ReadingsView.h"

#include "grid/FlexGrid.h"

ReadingsView::ReadingsView(const FlexGrid &grid, QWidget *parent) : QTableView(parent), grid_(grid) {}

void ReadingsView::dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                               const QList<int> &roles) {
    const FlexGrid::Cell *cells = nullptr;
    int count = 0;
    if (model() != &grid_ || topLeft == bottomRight || !grid_.changedCells(&cells, &count)) {
        QTableView::dataChanged(topLeft, bottomRight, roles);
        return;
    }
    for (int i = 0; i < count; ++i) {
        const QModelIndex cell =
            grid_.index(cells[i].row - FlexGrid::FixedRows, cells[i].col - FlexGrid::FixedCols);
        if (cell.isValid()) // a header cell is the headers' to show
            QTableView::dataChanged(cell, cell, roles);
    }
}
