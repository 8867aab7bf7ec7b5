#pragma once

class QWidget;

// The program's forms (the main window and its dialogs) count as loaded from creation until their
// window object is destroyed, whether shown or hidden. The program ends when none is left loaded, not
// when the last visible window closes: the main window may be hidden in the notification area while a
// dialog is open, or the other way round.
namespace LoadedForms {

void add(QWidget *form);
int count();
// Whether the application quits once the last loaded form is destroyed (on in the program, off in tests).
void setQuitWhenNoneLeft(bool quit);

} // namespace LoadedForms
