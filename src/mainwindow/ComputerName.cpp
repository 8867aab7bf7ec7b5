#include "mainwindow/ComputerName.h"

#include "core/ComputerName.h"

QString GetLocalComputerName() {
    return QString::fromLocal8Bit(localComputerName());
}
