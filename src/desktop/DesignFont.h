#pragma once

#include <QFont>

// The fonts the windows were designed with ("MS Sans Serif" at 8.25 points, bold labels, a 12-point
// bold title) map to the platform's default sans-serif family at the same size and weight.
namespace DesignFont {

QFont sansSerif(qreal points, bool bold = false);

} // namespace DesignFont
