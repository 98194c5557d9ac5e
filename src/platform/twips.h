#pragma once
// Window positions and sizes are kept in twips (1440 per inch). Qt's device-independent
// pixels are 96 per inch, so one of them is 15 twips at any scaling; the screen can still be
// asked for other values (tests, odd X servers).

#include <QRect>

class QScreen;

namespace Twips {
double TwipsPerPixelX(const QScreen* screen = nullptr);
double TwipsPerPixelY(const QScreen* screen = nullptr);
// Twips to device-independent pixels and back, rounded to the nearest pixel.
int ToPixelsX(double twips);
int ToPixelsY(double twips);
double FromPixelsX(int pixels);
double FromPixelsY(int pixels);
// A control's rectangle: its edges are rounded, so controls that meet in twips meet in pixels.
QRect ToPixelRect(double left, double top, double width, double height);
// The primary screen's size in twips, and its top left corner in the virtual desktop: another
// monitor may stand left of or above it.
double ScreenWidth();
double ScreenHeight();
double ScreenLeft();
double ScreenTop();
} // namespace Twips
