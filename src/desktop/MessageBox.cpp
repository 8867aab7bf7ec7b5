#include "desktop/MessageBox.h"

#include <QApplication>
#include <QMessageBox>

namespace MessageBox {

void warn(QWidget *parent, const QString &text) {
    auto *box = new QMessageBox(QMessageBox::Warning, QApplication::applicationDisplayName(), text,
                                QMessageBox::Ok, parent && parent->isVisible() ? parent : nullptr);
    box->setObjectName(QStringLiteral("warningBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
}

} // namespace MessageBox
