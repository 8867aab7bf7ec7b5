#include "sensorview/SensorView.h"

#include "desktop/CellDelegate.h"
#include "desktop/MessageBox.h"
#include "sensorview/NameFilter.h"
#include "sensorview/SensorTableModel.h"
#include "text/SavedFile.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <set>

namespace {
QAction *command(QObject *parent, const char *name, const QString &caption, const QKeySequence &keys) {
    auto *action = new QAction(caption, parent);
    action->setObjectName(QLatin1String(name));
    action->setShortcut(keys);
    return action;
}

// The logical columns of a table in the order they are shown, hidden ones left out.
std::vector<int> shownColumns(const QTableView *view) {
    const QHeaderView *header = view->horizontalHeader();
    std::vector<int> columns;
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (!header->isSectionHidden(logical))
            columns.push_back(logical);
    }
    return columns;
}
} // namespace

SensorView::SensorView(const Place &place, FlexGrid &grid, const HostGrid &hosts)
    : QWidget(place.readings->parentWidget()), readings_(place.readings) {
    setObjectName(QStringLiteral("SensorView"));
    model_ = new SensorTableModel(grid, hosts, this);

    filter_ = new QLineEdit(this);
    filter_->setObjectName(QStringLiteral("SensorFilter"));
    filter_->setPlaceholderText(QStringLiteral("Filter hosts and sensors"));
    filter_->setAccessibleName(QStringLiteral("Filter hosts and sensors"));
    filter_->setClearButtonEnabled(true);
    connect(filter_, &QLineEdit::textChanged, model_, &SensorTableModel::setFilterText);
    auto *find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        filter_->setFocus(Qt::ShortcutFocusReason);
        filter_->selectAll();
    });

    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("SensorTable"));
    table_->setAccessibleName(QStringLiteral("Sensors"));
    table_->setModel(model_);
    table_->setItemDelegate(new CellDelegate(table_));
    table_->setFont(readings_->font());
    // As in the readings grid: fixed row heights, nothing measured across 32,767 rows.
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(readings_->verticalHeader()->defaultSectionSize());
    table_->verticalHeader()->setMinimumWidth(readings_->verticalHeader()->minimumWidth());
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    table_->horizontalHeader()->setDefaultSectionSize(readings_->horizontalHeader()->defaultSectionSize());
    table_->horizontalHeader()->setSectionsMovable(true);
    table_->setWordWrap(false);
    table_->setTabKeyNavigation(false);
    table_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder); // arrival order until a click
    table_->setSortingEnabled(true);
    table_->horizontalHeader()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(table_->horizontalHeader(), &QWidget::customContextMenuRequested, this, &SensorView::columnMenu);
    table_->verticalHeader()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(table_->verticalHeader(), &QWidget::customContextMenuRequested, this, &SensorView::rowMenu);
    connect(model_, &SensorTableModel::shownColumnsChanged, this, &SensorView::applyShownColumns);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(filter_);
    layout->addWidget(table_);

    QMainWindow *window = place.window;
    ViewMenu = new QMenu(QStringLiteral("View"), window);
    ViewMenu->setObjectName(QStringLiteral("ViewMenu"));
    window->menuBar()->insertMenu(place.menuAfterView->menuAction(), ViewMenu);
    ReadingsViewMenu =
        command(ViewMenu, "ReadingsViewMenu", QStringLiteral("Readings"), QKeySequence(Qt::CTRL | Qt::Key_1));
    BySensorViewMenu = command(ViewMenu, "BySensorViewMenu", QStringLiteral("By Sensor"),
                               QKeySequence(Qt::CTRL | Qt::Key_2));
    auto *views = new QActionGroup(ViewMenu);
    for (QAction *a : {ReadingsViewMenu, BySensorViewMenu}) {
        a->setCheckable(true);
        views->addAction(a);
        ViewMenu->addAction(a);
    }
    ReadingsViewMenu->setChecked(true);
    connect(ReadingsViewMenu, &QAction::triggered, this, [this] { showBySensor(false); });
    connect(BySensorViewMenu, &QAction::triggered, this, [this] { showBySensor(true); });

    ExportCsvMenu = command(place.fileMenu, "ExportCsvMenu", QStringLiteral("Export CSV..."), QKeySequence());
    CopyMenu = command(place.fileMenu, "CopyMenu", QStringLiteral("Copy"), QKeySequence::Copy);
    place.fileMenu->insertAction(place.beforeFileAction, ExportCsvMenu);
    place.fileMenu->insertAction(place.beforeFileAction, CopyMenu);
    connect(ExportCsvMenu, &QAction::triggered, this, &SensorView::askExport);
    connect(CopyMenu, &QAction::triggered, this, &SensorView::copySelection);

    hide();
    followReadings();
}

void SensorView::followReadings() {
    setGeometry(readings_->geometry());
}

bool SensorView::bySensorShown() const {
    return prefs_.bySensor;
}

void SensorView::showBySensor(bool on) {
    SensorViewPrefs p = prefs_;
    p.bySensor = on;
    changePrefs(p);
    // The menu check follows even when nothing changed (a click on the checked item).
    (on ? BySensorViewMenu : ReadingsViewMenu)->setChecked(true);
}

void SensorView::setPrefs(const SensorViewPrefs &prefs) {
    const bool hostsChanged = prefs.hideHost != prefs_.hideHost, columnsChanged = prefs.hide != prefs_.hide;
    prefs_ = prefs;
    if (columnsChanged)
        model_->setHiddenColumns(prefs_.hide);
    if (hostsChanged)
        model_->setHiddenHosts(prefs_.hideHost);
    const bool focusHere = isAncestorOf(QApplication::focusWidget()) || readings_->hasFocus();
    readings_->setVisible(!prefs_.bySensor);
    setVisible(prefs_.bySensor);
    (prefs_.bySensor ? BySensorViewMenu : ReadingsViewMenu)->setChecked(true);
    if (focusHere)
        shownTableView()->setFocus();
}

void SensorView::changePrefs(const SensorViewPrefs &prefs) {
    if (prefs == prefs_)
        return;
    setPrefs(prefs);
    emit prefsChanged(prefs_);
}

void SensorView::applyShownColumns() {
    for (int c = 0; c < model_->columnCount(); ++c)
        table_->setColumnHidden(c, !model_->columnShown(c));
}

void SensorView::hideColumn(int column) {
    if (column < 1 || column >= model_->columnCount())
        return; // "Last reading" stays
    SensorViewPrefs p = prefs_;
    const QString pattern = NameFilter::escape(model_->sensorName(column));
    if (!p.hide.contains(pattern))
        p.hide << pattern;
    changePrefs(p);
}

void SensorView::hideHost(int row) {
    if (row < 0 || row >= model_->rowCount())
        return;
    SensorViewPrefs p = prefs_;
    const QString pattern = NameFilter::escape(model_->headerData(row, Qt::Vertical).toString());
    if (!p.hideHost.contains(pattern))
        p.hideHost << pattern;
    changePrefs(p);
}

void SensorView::showAllColumns() {
    SensorViewPrefs p = prefs_;
    p.hide.clear();
    changePrefs(p);
}

void SensorView::showAllHosts() {
    SensorViewPrefs p = prefs_;
    p.hideHost.clear();
    changePrefs(p);
}

void SensorView::columnMenu(const QPoint &pos) {
    const int column = table_->horizontalHeader()->logicalIndexAt(pos);
    QMenu menu(this);
    QAction *hideIt = menu.addAction(QStringLiteral("Hide column"));
    hideIt->setEnabled(column >= 1);
    QAction *showAll = menu.addAction(QStringLiteral("Show all columns"));
    showAll->setEnabled(!prefs_.hide.isEmpty());
    QAction *chosen = menu.exec(table_->horizontalHeader()->mapToGlobal(pos));
    if (chosen == hideIt) {
        hideColumn(column);
    } else if (chosen == showAll) {
        showAllColumns();
    }
}

void SensorView::rowMenu(const QPoint &pos) {
    const int row = table_->verticalHeader()->logicalIndexAt(pos);
    QMenu menu(this);
    QAction *hideIt = menu.addAction(QStringLiteral("Hide host"));
    hideIt->setEnabled(row >= 0);
    QAction *showAll = menu.addAction(QStringLiteral("Show all hosts"));
    showAll->setEnabled(!prefs_.hideHost.isEmpty());
    QAction *chosen = menu.exec(table_->verticalHeader()->mapToGlobal(pos));
    if (chosen == hideIt) {
        hideHost(row);
    } else if (chosen == showAll) {
        showAllHosts();
    }
}

QTableView *SensorView::shownTableView() const {
    return prefs_.bySensor ? table_ : readings_;
}

CsvTable SensorView::shownTable() const {
    const QTableView *view = shownTableView();
    const QAbstractItemModel *m = view->model();
    const int role = view == table_ ? SensorTableModel::ExportRole : int(Qt::DisplayRole);
    const std::vector<int> columns = shownColumns(view);
    CsvTable t;
    t.header << QStringLiteral("Host");
    t.numeric.push_back(false);
    for (const int c : columns) {
        t.header << m->headerData(c, Qt::Horizontal, role).toString();
        t.numeric.push_back(true);
    }
    const int rows = m->rowCount();
    t.rows.reserve(size_t(rows));
    for (int r = 0; r < rows; ++r) {
        if (view->isRowHidden(r))
            continue;
        QStringList cells{m->headerData(r, Qt::Vertical, Qt::DisplayRole).toString()};
        for (const int c : columns)
            cells << m->data(m->index(r, c), role).toString();
        t.rows.push_back(std::move(cells));
    }
    return t;
}

QString SensorView::selectedText() const {
    const QTableView *view = shownTableView();
    if (!view->selectionModel())
        return QString();
    const QModelIndexList selected = view->selectionModel()->selectedIndexes();
    std::set<int> rows;
    std::set<std::pair<int, int>> cells;
    for (const QModelIndex &i : selected) {
        rows.insert(i.row());
        cells.insert({i.row(), i.column()});
    }
    std::vector<int> columns;
    for (const int c : shownColumns(view))
        if (std::any_of(selected.begin(), selected.end(),
                        [c](const QModelIndex &i) { return i.column() == c; }))
            columns.push_back(c);
    std::vector<QStringList> out;
    for (const int r : rows) {
        QStringList line;
        for (const int c : columns)
            line << (cells.count({r, c}) ? view->model()->index(r, c).data().toString() : QString());
        out.push_back(line);
    }
    return CsvWriter::tabSeparated(out);
}

void SensorView::copySelection() {
    const QString text = selectedText();
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

bool SensorView::exportCsv(const QString &path, QString *error) const {
    QString reason;
    if (SavedFile::replace(path, CsvWriter::csv(shownTable()), &reason))
        return true;
    *error = QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), reason);
    return false;
}

void SensorView::askExport() {
    const QString path = QFileDialog::getSaveFileName(window(), QStringLiteral("Export CSV"),
                                                      QDir::home().filePath(QStringLiteral("Zar-Are.csv")),
                                                      QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (path.isEmpty())
        return;
    QString error;
    if (!exportCsv(path, &error))
        MessageBox::warn(window(), error);
}
