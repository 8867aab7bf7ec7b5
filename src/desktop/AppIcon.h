#pragma once

#include <QIcon>

// The program's icon, a window holding a grid of three readings, in 16 x 16 and 32 x 32 pixels of
// 16 colours. It serves the application, its windows and the notification area.
namespace AppIcon {

QIcon icon();

} // namespace AppIcon
