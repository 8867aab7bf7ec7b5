#include "desktop/AppIcon.h"

namespace AppIcon {

QIcon icon() {
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/zarare-16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/icons/zarare-32.png"), QSize(32, 32));
    return icon;
}

} // namespace AppIcon
