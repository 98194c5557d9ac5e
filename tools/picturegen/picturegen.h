// Shared declarations of the Lumivista picture generator.
#pragma once

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QString>
#include <functional>
#include <vector>

class QPainter;

namespace pg {

// Inks shared by all drawings. The GIF palette starts with these, so the
// flat areas of every animation keep their exact colour after quantising.
namespace ink {
constexpr QRgb paper = 0xFFF4F8FC;
constexpr QRgb white = 0xFFFFFFFF;
constexpr QRgb black = 0xFF000000;
constexpr QRgb outline = 0xFF23303D;
constexpr QRgb iris = 0xFF2F80C8;
constexpr QRgb irisDark = 0xFF1B4F80;
constexpr QRgb skin = 0xFFF2C8A0;
constexpr QRgb skinShade = 0xFFD99A6C;
constexpr QRgb skinLine = 0xFF8A5A3C;
constexpr QRgb hair = 0xFF5A3A22;
constexpr QRgb red = 0xFFD8302C;
constexpr QRgb darkRed = 0xFF8C1A18;
constexpr QRgb orange = 0xFFF08A1C;
constexpr QRgb yellow = 0xFFF8D030;
constexpr QRgb green = 0xFF3CA040;
constexpr QRgb darkGreen = 0xFF1F6A2A;
constexpr QRgb grass = 0xFF8CCB5A;
constexpr QRgb sky = 0xFFA8D8F8;
constexpr QRgb skyPale = 0xFFE2F2FC;
constexpr QRgb mountain = 0xFF7C8CB4;
constexpr QRgb mountainFar = 0xFFA8B4D0;
constexpr QRgb screen = 0xFFCFEAFF;
constexpr QRgb bezel = 0xFF3C4652;
constexpr QRgb steel = 0xFF8894A0;
constexpr QRgb key = 0xFFD8DEE4;
constexpr QRgb lcd = 0xFFC4E29C;
constexpr QRgb lcdInk = 0xFF203418;
constexpr QRgb lung = 0xFFF08C94;
constexpr QRgb lungDark = 0xFFA83848;
constexpr QRgb water = 0xFF4A9AE0;
constexpr QRgb waterPale = 0xFFBFE0F8;
constexpr QRgb navy = 0xFF1E3A6E;
constexpr QRgb cyan = 0xFF18C8E8;
constexpr QRgb teal = 0xFF0F6C80;
std::vector<QRgb> all();
} // namespace ink

// One exercise animation, drawn in a 33x33 logical square.
struct Animation {
    QString base;
    int frames;
    std::function<void(QPainter&, int frame)> draw;
    std::function<int(int frame)> delayMs;
    int stillFrame; // frame used for the small exercise picture
};

const std::vector<Animation>& animations();

// Drawing helpers used by several pictures.
// open: 1 = wide open, 0 = shut. look: pupil offset in units of the eye size.
void drawEye(QPainter& p, QPointF centre, double w, double h, QPointF look, double open = 1.0,
             QRgb lid = ink::skin);
void drawBall(QPainter& p, QPointF centre, double r, QRgb fill, QRgb line);

// Renders one animation frame at the given pixel size (33 or 66 for GIFs).
QImage renderFrame(const Animation& a, int frame, int size, bool opaque = true);

// GIF output: frames are quantised to a fixed palette (colour or 256 greys).
bool writeGif(const QString& path, const std::vector<QImage>& frames,
              const std::vector<int>& delaysMs, bool grey, QString* error);
QImage toGrey(const QImage& img);

// Still pictures.
QImage drawLogo();           // 348x148
QImage drawAbout(int scale); // 215x78 * scale
QImage drawAppIcon(int size);
// The sizes the application icon is installed at (the hicolor theme's usual ones).
const std::vector<int>& appIconSizes();
QImage drawExercisePicture(int index, int size);
struct ToolbarIcon {
    QString name;
    std::function<void(QPainter&)> draw; // 24x24 logical
};
const std::vector<ToolbarIcon>& toolbarIcons();
// scale 1: the 24-px icon; 2: its @2x twin, the same drawing at 48 px.
QImage renderToolbarIcon(const ToolbarIcon& icon, int scale = 1);
constexpr QRgb kToolbarMask = 0xFFC0C0C0;

bool writeContactSheet(const QString& assetsDir, const QString& outFile, QString* error);

} // namespace pg
