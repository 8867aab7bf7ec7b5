#include "mainwindow/StatisticsWindow.h"

#include <QFormLayout>
#include <QLabel>
#include <QLocale>

namespace StatisticsText {

std::array<QString, Rows> captions() {
    return {QStringLiteral("Datagrams accepted:"), QStringLiteral("Rejected by the allow list:"),
            QStringLiteral("Lines not understood:"), QStringLiteral("Dropped by the system (buffer full):"),
            QStringLiteral("Receive buffer:")};
}

std::array<QString, Rows> values(const DatagramReception::Statistics &s) {
    const QLocale c = QLocale::c();
    const QString notAvailable = QStringLiteral("not available");
    return {c.toString(s.accepted), c.toString(s.rejected), c.toString(s.notUnderstood),
            s.kernelDrops < 0 ? notAvailable : c.toString(s.kernelDrops),
            s.bufferBytes <= 0 ? notAvailable : QStringLiteral("%1 bytes").arg(c.toString(s.bufferBytes))};
}

} // namespace StatisticsText

StatisticsWindow::StatisticsWindow(std::function<DatagramReception::Statistics()> source, QWidget *parent)
    : QDialog(parent), source_(std::move(source)) {
    setObjectName(QStringLiteral("StatisticsWindow"));
    setWindowTitle(QStringLiteral("Statistics"));
    setModal(false);
    auto *form = new QFormLayout(this);
    const auto captions = StatisticsText::captions();
    for (int i = 0; i < StatisticsText::Rows; ++i) {
        values_[size_t(i)] = new QLabel(this);
        values_[size_t(i)]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        values_[size_t(i)]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(captions[size_t(i)], values_[size_t(i)]);
    }
    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, &StatisticsWindow::refresh);
    refresh();
}

void StatisticsWindow::refresh() {
    const auto texts = StatisticsText::values(source_());
    for (int i = 0; i < StatisticsText::Rows; ++i)
        if (values_[size_t(i)]->text() != texts[size_t(i)])
            values_[size_t(i)]->setText(texts[size_t(i)]);
}

QString StatisticsWindow::valueText(int row) const {
    return values_[size_t(row)]->text();
}

void StatisticsWindow::showEvent(QShowEvent *event) {
    refresh();
    timer_.start();
    QDialog::showEvent(event);
}

void StatisticsWindow::hideEvent(QHideEvent *event) {
    timer_.stop();
    QDialog::hideEvent(event);
}
