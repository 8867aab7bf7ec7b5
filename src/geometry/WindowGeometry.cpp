#include "geometry/WindowGeometry.h"

#include "geometry/Twips.h"

#include <QCoreApplication>
#include <QResizeEvent>
#include <QVariant>
#include <QWidget>

namespace {
// Frame size beyond the client area, known once the window system has framed the window.
int extraWidth(const QWidget *w) {
    return w->frameGeometry().width() - w->width();
}
int extraHeight(const QWidget *w) {
    return w->frameGeometry().height() - w->height();
}

// A value set in twips reads back exactly as long as the window still has the pixels it was given, so
// that values which fall between two pixels survive a round trip (through the settings file, say).
struct Remembered {
    const char *twips;
    const char *pixels;
};
constexpr Remembered HeightKey{"zarareHeightTwips", "zarareHeightPixels"};
constexpr Remembered WidthKey{"zarareWidthTwips", "zarareWidthPixels"};
constexpr Remembered TopKey{"zarareTopTwips", "zarareTopPixels"};
constexpr Remembered LeftKey{"zarareLeftTwips", "zarareLeftPixels"};

void remember(QWidget *w, const Remembered &key, float twips, int px) {
    w->setProperty(key.twips, twips);
    w->setProperty(key.pixels, px);
}

// A new size in twips that falls on the same pixels is still a change of size for the window's resize
// handling, which the window system will not report.
void resized(QWidget *w, const QSize &before) {
    if (w->isVisible() && w->size() == before) {
        QResizeEvent same(before, before);
        QCoreApplication::sendEvent(w, &same);
    }
}

float recall(const QWidget *w, const Remembered &key, int px, float perPixel) {
    const QVariant stored = w->property(key.pixels);
    if (stored.isValid() && stored.toInt() == px)
        return w->property(key.twips).toFloat();
    return float(px) * perPixel;
}
} // namespace

namespace WindowGeometry {

float height(const QWidget *w) {
    return recall(w, HeightKey, w->frameGeometry().height(), Twips::perPixelY(w));
}
float width(const QWidget *w) {
    return recall(w, WidthKey, w->frameGeometry().width(), Twips::perPixelX(w));
}
float top(const QWidget *w) {
    return recall(w, TopKey, w->frameGeometry().y(), Twips::perPixelY(w));
}
float left(const QWidget *w) {
    return recall(w, LeftKey, w->frameGeometry().x(), Twips::perPixelX(w));
}

void setHeight(QWidget *w, float twips) {
    const int px = Twips::toPixelsY(twips, w);
    remember(w, HeightKey, twips, px);
    const QSize before = w->size();
    w->resize(w->width(), qMax(0, px - extraHeight(w)));
    resized(w, before);
}

void setWidth(QWidget *w, float twips) {
    const int px = Twips::toPixelsX(twips, w);
    remember(w, WidthKey, twips, px);
    const QSize before = w->size();
    w->resize(qMax(0, px - extraWidth(w)), w->height());
    resized(w, before);
}

void setTop(QWidget *w, float twips) {
    const int px = Twips::toPixelsY(twips, w);
    remember(w, TopKey, twips, px);
    w->move(w->frameGeometry().x(), px);
}

void setLeft(QWidget *w, float twips) {
    const int px = Twips::toPixelsX(twips, w);
    remember(w, LeftKey, twips, px);
    w->move(px, w->frameGeometry().y());
}

} // namespace WindowGeometry
