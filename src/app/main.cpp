#include "mainwindow/MainForm.h"
#include "platform/AppIdentity.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(AppIdentity::title());
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(AppIdentity::Major)
                                            .arg(AppIdentity::Minor)
                                            .arg(AppIdentity::Revision));

    MainForm form;
    form.Form_Load();
    form.show();
    return app.exec();
}
