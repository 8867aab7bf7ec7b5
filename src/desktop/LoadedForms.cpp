#include "desktop/LoadedForms.h"

#include <QCoreApplication>
#include <QSet>
#include <QWidget>

namespace {
QSet<QObject *> &forms() {
    static QSet<QObject *> set;
    return set;
}
bool quitWhenNoneLeft = false;
} // namespace

namespace LoadedForms {

void add(QWidget *form) {
    if (forms().contains(form))
        return;
    forms().insert(form);
    QObject::connect(form, &QObject::destroyed, [](QObject *gone) {
        forms().remove(gone);
        if (forms().isEmpty() && quitWhenNoneLeft)
            QCoreApplication::quit();
    });
}

int count() {
    return int(forms().size());
}

void setQuitWhenNoneLeft(bool quit) {
    quitWhenNoneLeft = quit;
}

} // namespace LoadedForms
