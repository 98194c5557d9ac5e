#include "twips.h"

#include "int16.h"

#include <QGuiApplication>
#include <QScreen>

namespace Twips {
namespace {
const QScreen* pick(const QScreen* screen) {
    return screen ? screen : QGuiApplication::primaryScreen();
}
double perPixel(double logicalDpi) { return logicalDpi > 0 ? 1440.0 / logicalDpi : 15.0; }
// The primary screen's place and size in pixels; empty without a screen.
QRect screenPixels() {
    const QScreen* s = pick(nullptr);
    return s ? s->geometry() : QRect();
}
} // namespace

double TwipsPerPixelX(const QScreen* screen) {
    const QScreen* s = pick(screen);
    return s ? perPixel(s->logicalDotsPerInchX()) : 15.0;
}
double TwipsPerPixelY(const QScreen* screen) {
    const QScreen* s = pick(screen);
    return s ? perPixel(s->logicalDotsPerInchY()) : 15.0;
}
int ToPixelsX(double twips) { return int(Int16::RoundHalfEven(twips / TwipsPerPixelX())); }
int ToPixelsY(double twips) { return int(Int16::RoundHalfEven(twips / TwipsPerPixelY())); }
double FromPixelsX(int pixels) { return pixels * TwipsPerPixelX(); }
double FromPixelsY(int pixels) { return pixels * TwipsPerPixelY(); }
QRect ToPixelRect(double left, double top, double width, double height) {
    const int x = ToPixelsX(left);
    const int y = ToPixelsY(top);
    return QRect(x, y, ToPixelsX(left + width) - x, ToPixelsY(top + height) - y);
}
double ScreenWidth() { return FromPixelsX(screenPixels().width()); }
double ScreenHeight() { return FromPixelsY(screenPixels().height()); }
double ScreenLeft() { return FromPixelsX(screenPixels().left()); }
double ScreenTop() { return FromPixelsY(screenPixels().top()); }
} // namespace Twips
