#include "geometry/Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cmath>

namespace {
const QScreen *screenOf(const QWidget *w) {
    if (w && w->screen())
        return w->screen();
    return QGuiApplication::primaryScreen();
}

float perPixel(qreal dpi) {
    return dpi > 0 ? float(1440.0 / dpi) : 15.0f;
}

// Rounded half to even, and held within what a window system can take (NaN too).
int toPixels(float twips, float perPixel) {
    const double px = std::nearbyint(double(twips) / double(perPixel));
    if (!(px > -Twips::MaxPixels))
        return -Twips::MaxPixels;
    if (!(px < Twips::MaxPixels))
        return Twips::MaxPixels;
    return int(px);
}
} // namespace

namespace Twips {

float perPixelX(const QWidget *w) {
    const QScreen *s = screenOf(w);
    return perPixel(s ? s->logicalDotsPerInchX() : 96);
}

float perPixelY(const QWidget *w) {
    const QScreen *s = screenOf(w);
    return perPixel(s ? s->logicalDotsPerInchY() : 96);
}

int toPixelsX(float twips, const QWidget *w) {
    return toPixels(twips, perPixelX(w));
}
int toPixelsY(float twips, const QWidget *w) {
    return toPixels(twips, perPixelY(w));
}
float fromPixelsX(int pixels, const QWidget *w) {
    return float(pixels) * perPixelX(w);
}
float fromPixelsY(int pixels, const QWidget *w) {
    return float(pixels) * perPixelY(w);
}

void place(QWidget *control, float left, float top, float width, float height) {
    const QWidget *ref = control->parentWidget() ? control->parentWidget() : control;
    control->setGeometry(toPixelsX(left, ref), toPixelsY(top, ref), toPixelsX(width, ref),
                         toPixelsY(height, ref));
}

} // namespace Twips
