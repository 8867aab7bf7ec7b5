#pragma once

#include "sensorview/CsvWriter.h"
#include "sensorview/SensorViewPrefs.h"

#include <QWidget>

class FlexGrid;
class HostGrid;
class QAction;
class QActionGroup;
class QLineEdit;
class QMainWindow;
class QMenu;
class QTableView;
class SensorTableModel;

// The "By Sensor" view: a filter box above a table of every host's readings side by side, in the
// place of the readings grid and with its size. Brings its own menu commands: View, "Readings" (Ctrl+1)
// and "By Sensor" (Ctrl+2); File, "Export CSV..." and "Copy" (Ctrl+C), which serve whichever view is
// shown.
class SensorView : public QWidget {
    Q_OBJECT
public:
    // What the view is placed into: the main window and its menus, the readings grid it stands in for.
    struct Place {
        QMainWindow *window = nullptr;
        QTableView *readings = nullptr;
        QMenu *fileMenu = nullptr;
        QAction *beforeFileAction = nullptr; // the new File commands go before it
        QMenu *menuAfterView = nullptr;      // the View menu goes before it
    };
    SensorView(const Place &place, FlexGrid &grid, const HostGrid &hosts);

    SensorTableModel *model() const { return model_; }
    QTableView *table() const { return table_; }
    QLineEdit *filterBox() const { return filter_; }

    QMenu *ViewMenu = nullptr;
    QAction *ReadingsViewMenu = nullptr;
    QAction *BySensorViewMenu = nullptr;
    QAction *ExportCsvMenu = nullptr;
    QAction *CopyMenu = nullptr;

    // The remembered choices; setPrefs applies them (the view shown, hidden columns and hosts) and says
    // nothing, every change the user makes is told through prefsChanged.
    const SensorViewPrefs &prefs() const { return prefs_; }
    void setPrefs(const SensorViewPrefs &prefs);
    bool bySensorShown() const;
    void showBySensor(bool on);

    // Takes the readings grid's place and size; called whenever the grid is sized.
    void followReadings();

    // The view shown as a table: visible rows, visible columns in view order, the host first. The
    // sensor view gives units in the header and the last reading in seconds.
    CsvTable shownTable() const;
    // The selected cells of the view shown, as tab-separated text.
    QString selectedText() const;
    // Writes shownTable() as CSV, atomically; false with a message fit for the user.
    bool exportCsv(const QString &path, QString *error) const;

    // The header menus' commands. Each change is told once through prefsChanged, with the whole prefs;
    // one that changes nothing (the column already hidden, "Last reading") is not told.
    void hideColumn(int column);
    void hideHost(int row);
    void showAllColumns();
    void showAllHosts();

signals:
    void prefsChanged(const SensorViewPrefs &prefs);

private:
    QTableView *shownTableView() const;
    void applyShownColumns();
    void changePrefs(const SensorViewPrefs &prefs);
    void columnMenu(const QPoint &pos);
    void rowMenu(const QPoint &pos);
    void askExport();
    void copySelection();

    QTableView *readings_;
    SensorTableModel *model_;
    QTableView *table_;
    QLineEdit *filter_;
    SensorViewPrefs prefs_;
};
