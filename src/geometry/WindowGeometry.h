#pragma once

class QWidget;

// A window's Left, Top, Width and Height in twips, those of its outer frame (title bar and border
// included) relative to the screen. Setting one moves or sizes the frame and leaves the others.
namespace WindowGeometry {

float height(const QWidget *window);
float width(const QWidget *window);
float top(const QWidget *window);
float left(const QWidget *window);

void setHeight(QWidget *window, float twips);
void setWidth(QWidget *window, float twips);
void setTop(QWidget *window, float twips);
void setLeft(QWidget *window, float twips);

} // namespace WindowGeometry
