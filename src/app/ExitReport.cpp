#include "app/ExitReport.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QMainWindow>
#include <QTimer>

namespace ExitReport {

void watch(QMainWindow *form) {
    const QString file = qEnvironmentVariable("ZARARE_EXIT_REPORT");
    if (file.isEmpty())
        return;
    auto *packets = form->findChild<QLineEdit *>(QStringLiteral("PacketsReceived"));
    auto *bytes = form->findChild<QLineEdit *>(QStringLiteral("ReceivedBytes"));
    auto *exit = form->findChild<QAction *>(QStringLiteral("ExitMenu"));
    if (!packets || !bytes || !exit)
        qFatal("ZARARE_EXIT_REPORT: the main window has no counters or no File, Exit");
    auto *timer = new QTimer(form);
    QObject::connect(timer, &QTimer::timeout, form, [=] {
        if (packets->text() == QLatin1String("0"))
            return;
        timer->stop();
        QFile out(file);
        if (out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            out.write(QStringLiteral("caption=%1\npackets=%2\nbytes=%3\n")
                          .arg(form->windowTitle(), packets->text(), bytes->text())
                          .toUtf8());
        out.close();
        exit->trigger();
    });
    timer->start(20);
}

} // namespace ExitReport
