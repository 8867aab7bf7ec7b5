#pragma once

#include "net/SenderAddress.h"

#include <QString>

inline QString textOf(const SenderAddress &a) {
    char16_t buffer[SenderAddress::MaxText];
    return QString::fromUtf16(buffer, qsizetype(a.text(buffer)));
}
