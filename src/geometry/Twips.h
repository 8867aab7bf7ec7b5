#pragma once

#include <QRect>

class QWidget;

// Window and control geometry in twips (1/1440 inch), kept as single-precision numbers. Twips per pixel
// come from the screen's logical dots per inch: 15 at 96 dpi.
namespace Twips {

// Pixel values are held within what a window system can take, whatever number of twips is asked for.
constexpr int MaxPixels = 32767;

float perPixelX(const QWidget *w = nullptr);
float perPixelY(const QWidget *w = nullptr);
int toPixelsX(float twips, const QWidget *w = nullptr);
int toPixelsY(float twips, const QWidget *w = nullptr);
float fromPixelsX(int pixels, const QWidget *w = nullptr);
float fromPixelsY(int pixels, const QWidget *w = nullptr);

// Places a control by design-time twips, relative to its parent's area.
void place(QWidget *control, float left, float top, float width, float height);

} // namespace Twips
