#include "app/ExitReport.h"
#include "desktop/AppIcon.h"
#include "desktop/AppIdentity.h"
#include "desktop/LoadedForms.h"
#include "mainwindow/MainForm.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(AppIdentity::title());
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(AppIdentity::Major)
                                            .arg(AppIdentity::Minor)
                                            .arg(AppIdentity::Revision));
    // The program ends when no form is loaded: the main window may be hidden while a dialog is open.
    QApplication::setWindowIcon(AppIcon::icon());
    QApplication::setQuitOnLastWindowClosed(false);
    LoadedForms::setQuitWhenNoneLeft(true);

    auto *form = new MainForm;
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->Form_Load();
    form->show();
    ExitReport::watch(form);
    return app.exec();
}
