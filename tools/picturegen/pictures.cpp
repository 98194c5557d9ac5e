// Still pictures: logo, application icon, about picture and toolbar icons.
#include "picturegen.h"

#include <QFontDatabase>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>

namespace pg {

namespace {

QColor c(QRgb rgb) { return QColor::fromRgba(rgb); }
QPen pen(QRgb rgb, double w) { return QPen(c(rgb), w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin); }

const QColor kNight(0x14, 0x30, 0x5A);
const QColor kLagoon(0x1C, 0x7C, 0x8E);

// The Lumivista mark: an open eye under three rays of light, in a 100x100 box.
void drawMark(QPainter& p, const QRectF& box) {
    p.save();
    p.translate(box.topLeft());
    p.scale(box.width() / 100.0, box.height() / 100.0);

    p.setPen(QPen(QColor(0xFF, 0xD0, 0x40), 7, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(50, 6), QPointF(50, 20));
    p.drawLine(QPointF(24, 14), QPointF(31, 26));
    p.drawLine(QPointF(76, 14), QPointF(69, 26));

    QPainterPath eye;
    eye.moveTo(4, 60);
    eye.cubicTo(28, 26, 72, 26, 96, 60);
    eye.cubicTo(72, 94, 28, 94, 4, 60);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(eye);
    p.setClipPath(eye);
    QRadialGradient iris(QPointF(46, 56), 26);
    iris.setColorAt(0, QColor(0x6F, 0xE0, 0xF0));
    iris.setColorAt(0.7, QColor(0x1E, 0x90, 0xC8));
    iris.setColorAt(1, QColor(0x10, 0x4E, 0x86));
    p.setBrush(iris);
    p.drawEllipse(QPointF(50, 60), 22, 22);
    p.setBrush(QColor(0x0C, 0x1A, 0x2C));
    p.drawEllipse(QPointF(50, 60), 10, 10);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(57, 53), 5, 5);
    p.setClipping(false);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x0C, 0x1A, 0x2C), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(eye);
    p.restore();
}

QFont brandFont(double pixelSize) {
    static const QString family = [] {
        const int id = QFontDatabase::addApplicationFont(
            QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"));
        const QStringList fam = QFontDatabase::applicationFontFamilies(id);
        return fam.isEmpty() ? QStringLiteral("DejaVu Sans") : fam.first();
    }();
    QFont f(family);
    f.setBold(true);
    f.setPixelSize(int(pixelSize));
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

} // namespace

QImage drawLogo() {
    QImage img(348, 148, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient bg(0, 0, 348, 148);
    bg.setColorAt(0, kNight);
    bg.setColorAt(1, kLagoon);
    p.fillRect(img.rect(), bg);
    drawMark(p, QRectF(8, 18, 104, 104));

    // Text as a path so it is fitted to the space exactly, whatever the font metrics.
    QPainterPath text;
    text.addText(0, 0, brandFont(100), QStringLiteral("Lumivista"));
    const QRectF b = text.boundingRect();
    const QRectF room(120, 30, 218, 88);
    const double k = std::min(room.width() / b.width(), room.height() / b.height());
    p.translate(room.left() - b.left() * k, room.center().y() - b.center().y() * k);
    p.scale(k, k);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(text);
    p.end();
    return img;
}

QImage drawAppIcon(int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 100.0, size / 100.0);
    QLinearGradient bg(0, 0, 100, 100);
    bg.setColorAt(0, kNight);
    bg.setColorAt(1, kLagoon);
    p.setPen(Qt::NoPen);
    p.setBrush(bg);
    p.drawRoundedRect(QRectF(2, 2, 96, 96), 20, 20);
    drawMark(p, QRectF(10, 8, 80, 80));
    p.end();
    return img;
}

QImage drawAbout(int scale) {
    QImage img(215 * scale, 78 * scale, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);

    const QColor frame(0x2A, 0x2A, 0x34);
    p.setPen(QPen(frame, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    // temples folding back from the outer hinges
    p.drawPolyline(QPolygonF({{47, 33}, {22, 27}, {14, 36}}));
    p.drawPolyline(QPolygonF({{168, 33}, {193, 27}, {201, 36}}));
    QPainterPath bridge;
    bridge.moveTo(95, 36);
    bridge.quadTo(107.5, 26, 120, 36);
    p.drawPath(bridge);
    p.setBrush(QColor(0xBF, 0xE3, 0xF5, 200));
    p.drawEllipse(QPointF(72, 42), 25, 21);
    p.drawEllipse(QPointF(143, 42), 25, 21);
    p.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(56, 30, 20, 16), 100 * 16, 60 * 16);
    p.drawArc(QRectF(127, 30, 20, 16), 100 * 16, 60 * 16);

    // the big X: dark edge first, red stroke on top
    for (const auto& [col, w] :
         {std::pair{QColor(0x7A, 0x10, 0x10), 9.0}, std::pair{QColor(0xE0, 0x26, 0x20), 6.0}}) {
        p.setPen(QPen(col, w, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(38, 6), QPointF(177, 72));
        p.drawLine(QPointF(38, 72), QPointF(177, 6));
    }
    p.end();
    return img;
}

// ---- toolbar icons: 24x24, crisp edges on the #C0C0C0 mask colour ----
namespace {

void arrow(QPainter& p) {
    p.save();
    const QPolygonF shape({{2, 12}, {11, 3}, {11, 8}, {21.5, 8}, {21.5, 16}, {11, 16}, {11, 21}});
    p.setPen(pen(ink::teal, 1.4));
    p.setBrush(c(ink::cyan));
    p.drawPolygon(shape);
    p.setPen(pen(0xFFA8F0FC, 1.2));
    p.drawLine(QPointF(12.5, 9.8), QPointF(20, 9.8));
    p.restore();
}

void stop(QPainter& p) {
    p.setPen(pen(ink::darkRed, 1.4));
    p.setBrush(c(ink::red));
    p.drawEllipse(QPointF(12, 12), 10, 10);
    p.setPen(QPen(Qt::white, 2.8, Qt::SolidLine, Qt::SquareCap));
    p.drawLine(QPointF(8, 8), QPointF(16, 16));
    p.drawLine(QPointF(16, 8), QPointF(8, 16));
}

void refresh(QPainter& p) {
    QPainterPath page;
    page.moveTo(3.5, 1.5);
    page.lineTo(14, 1.5);
    page.lineTo(19.5, 7);
    page.lineTo(19.5, 22.5);
    page.lineTo(3.5, 22.5);
    page.closeSubpath();
    p.setPen(pen(0xFF606870, 1));
    p.setBrush(Qt::white);
    p.drawPath(page);
    p.drawPolyline(QPolygonF({{14, 1.5}, {14, 7}, {19.5, 7}}));

    const QPointF ce(13, 14.5);
    const double r = 6;
    const QColor g = c(ink::green);
    p.setPen(QPen(g, 2.2, Qt::SolidLine, Qt::FlatCap));
    p.setBrush(Qt::NoBrush);
    const QRectF arcBox(ce.x() - r, ce.y() - r, 2 * r, 2 * r);
    p.drawArc(arcBox, 20 * 16, 130 * 16);
    p.drawArc(arcBox, 200 * 16, 130 * 16);
    // arrow heads at the end of each arc, pointing along the turn
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    for (double endDeg : {150.0, 330.0}) {
        const double a = endDeg * M_PI / 180;
        const QPointF tip(ce.x() + r * std::cos(a), ce.y() - r * std::sin(a));
        const QPointF along(-std::sin(a), -std::cos(a)); // counter-clockwise on screen
        const QPointF out(std::cos(a), -std::sin(a));
        p.drawPolygon(QPolygonF({tip + along * 3.2, tip + out * 3.2, tip - out * 3.2}));
    }
}

void home(QPainter& p) {
    p.setPen(pen(0xFF4A3020, 1));
    p.setBrush(c(0xFFB0463A));
    p.drawRect(QRectF(16, 3.5, 3, 6)); // chimney
    p.setBrush(c(0xFFF4E4C4));
    p.drawRect(QRectF(5, 11, 14, 11));
    p.setBrush(c(0xFF8A5230));
    p.drawRect(QRectF(10, 15, 4.5, 7));
    p.setBrush(c(0xFF8CCBF0));
    p.drawRect(QRectF(6.5, 13, 2.5, 2.5));
    p.drawRect(QRectF(15.5, 13, 2.5, 2.5));
    p.setBrush(c(0xFFD03A2C));
    p.drawPolygon(QPolygonF({{1, 12.5}, {12, 2}, {23, 12.5}, {20.5, 12.5}, {12, 5}, {3.5, 12.5}}));
}

void search(QPainter& p) {
    const QPointF g(10, 10);
    p.setPen(pen(0xFF1B4F80, 1));
    p.setBrush(c(0xFF4A9AE0));
    p.drawEllipse(g, 8.5, 8.5);
    p.setPen(Qt::NoPen);
    p.setBrush(c(ink::green));
    QPainterPath land;
    land.moveTo(4, 5.5);
    land.cubicTo(7, 3, 11, 4, 10, 7);
    land.cubicTo(9, 10, 6, 9, 5.5, 12);
    land.cubicTo(3, 11, 2.5, 8, 4, 5.5);
    land.moveTo(12, 10);
    land.cubicTo(15, 9, 17.5, 11, 16, 14);
    land.cubicTo(15, 17, 12, 16, 12, 13);
    land.closeSubpath();
    p.drawPath(land);
    p.setPen(pen(0xFFBFE0F8, 0.8));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(g, 4, 8.3);
    p.drawLine(QPointF(1.7, 10), QPointF(18.3, 10));

    // the magnifying glass lies over the lower right of the globe
    p.setPen(QPen(QColor(0x30, 0x30, 0x38), 3.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(19, 19), QPointF(21.5, 21.5));
    p.setPen(pen(0xFF30303A, 2));
    p.setBrush(QColor(255, 255, 255, 90));
    p.drawEllipse(QPointF(15, 15), 5, 5);
}

} // namespace

const std::vector<ToolbarIcon>& toolbarIcons() {
    static const std::vector<ToolbarIcon> icons = {
        {"tb_back", arrow},
        // the exact mirror image of back, so the pair looks like one
        {"tb_forward",
         [](QPainter& p) {
             // drawn at the device's own size, so the @2x mirror is as sharp as the arrow
             const int side = p.device()->width();
             QImage left(side, side, QImage::Format_ARGB32_Premultiplied);
             left.fill(Qt::transparent);
             QPainter lp(&left);
             lp.setRenderHint(QPainter::Antialiasing);
             lp.scale(side / 24.0, side / 24.0);
             arrow(lp);
             lp.end();
             p.save();
             p.resetTransform();
             p.drawImage(0, 0, left.mirrored(true, false));
             p.restore();
         }},
        {"tb_stop", stop},
        {"tb_refresh", refresh},
        {"tb_home", home},
        {"tb_search", search},
    };
    return icons;
}

QImage renderToolbarIcon(const ToolbarIcon& icon, int scale) {
    const int side = 24 * scale;
    QImage art(side, side, QImage::Format_ARGB32_Premultiplied);
    art.fill(Qt::transparent);
    {
        QPainter p(&art);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(scale, scale);
        icon.draw(p);
    }
    // Each pixel is either the mask colour or fully the icon's colour: a
    // half-covered pixel blended with silver would show as a halo once the
    // silver is keyed out.
    QImage out(side, side, QImage::Format_RGB32);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const QRgb px = art.pixel(x, y);
            QRgb v = kToolbarMask;
            if (qAlpha(px) >= 128) {
                int r = qRed(px), g = qGreen(px), b = qBlue(px);
                // greys blended between white and dark lines can land on the
                // mask colour, where they would read as holes: push them off
                if (std::abs(r - 0xC0) + std::abs(g - 0xC0) + std::abs(b - 0xC0) <= 48) {
                    const int step = qGray(r, g, b) >= 0xC0 ? 28 : -28;
                    r = std::clamp(r + step, 0, 255);
                    g = std::clamp(g + step, 0, 255);
                    b = std::clamp(b + step, 0, 255);
                }
                v = qRgb(r, g, b);
            }
            out.setPixel(x, y, v);
        }
    return out;
}

} // namespace pg

const std::vector<int>& pg::appIconSizes() {
    static const std::vector<int> sizes = {16, 22, 24, 32, 48, 64, 128, 256};
    return sizes;
}
