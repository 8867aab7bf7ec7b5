#include "desktop/DesignFont.h"

#include <QFontDatabase>

namespace DesignFont {

QFont sansSerif(qreal points, bool bold) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

} // namespace DesignFont
