#pragma once

#include "reception/DatagramReception.h"

#include <QDialog>
#include <QString>
#include <QTimer>

#include <array>
#include <functional>

class QLabel;

// What Tools, Statistics... shows: one caption and one text per row, the counts of the reception and
// of the system's receive buffer. Plain text, so it is tested without a window.
namespace StatisticsText {
constexpr int Rows = 5;
std::array<QString, Rows> captions();
std::array<QString, Rows> values(const DatagramReception::Statistics &s);
} // namespace StatisticsText

// The small window of Tools, Statistics...: modeless, it reads the counts once a second while shown.
class StatisticsWindow : public QDialog {
    Q_OBJECT
public:
    explicit StatisticsWindow(std::function<DatagramReception::Statistics()> source,
                              QWidget *parent = nullptr);

    void refresh();
    QString valueText(int row) const;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    std::function<DatagramReception::Statistics()> source_;
    std::array<QLabel *, StatisticsText::Rows> values_{};
    QTimer timer_;
};
