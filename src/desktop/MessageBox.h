#pragma once

#include <QString>

class QWidget;

// Tells the user something went wrong without stopping the program: a message box with one OK button,
// titled with the application's name. It does not block the caller, so reception goes on while it
// is on screen.
namespace MessageBox {

void warn(QWidget *parent, const QString &text);

} // namespace MessageBox
