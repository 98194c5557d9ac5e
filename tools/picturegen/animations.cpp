// The nine exercise animations. Everything is drawn in a 33x33 logical
// square; the 66 px versions are the same drawing at twice the scale.
#include "picturegen.h"

#include <QPainter>
#include <QPainterPath>
#include <QtMath>
#include <cmath>

namespace pg {

std::vector<QRgb> ink::all() {
    return {paper,     white,     black,     outline, iris,    irisDark, skin,
            skinShade, skinLine,  hair,      red,     darkRed, orange,   yellow,
            green,     darkGreen, grass,     sky,     skyPale, mountain, mountainFar,
            screen,    bezel,     steel,     key,     lcd,     lcdInk,   lung,
            lungDark,  water,     waterPale, navy,    cyan,    teal};
}

namespace {

QColor c(QRgb rgb) { return QColor::fromRgba(rgb); }
QPen pen(QRgb rgb, double w) { return QPen(c(rgb), w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin); }

QPointF unit(QPointF v) {
    const double len = std::hypot(v.x(), v.y());
    return len < 1e-9 ? QPointF() : v / len;
}

// Direction from an eye towards a target, as the drawEye look vector.
QPointF lookAt(QPointF eye, QPointF target) { return unit(target - eye); }

double wave01(int f, int n) { return 0.5 - 0.5 * std::cos(2 * M_PI * f / n); }

// ---- 0: eyes run round the edge of the monitor ----
QPointF rectPath(const QRectF& r, double t) {
    t -= std::floor(t);
    const double w = r.width(), h = r.height();
    double d = t * 2 * (w + h);
    if (d < w)
        return {r.left() + d, r.top()};
    d -= w;
    if (d < h)
        return {r.right(), r.top() + d};
    d -= h;
    if (d < w)
        return {r.right() - d, r.bottom()};
    d -= w;
    return {r.left(), r.bottom() - d};
}

void drawEdging(QPainter& p, int f) {
    const int n = 16;
    p.setPen(pen(ink::outline, 1));
    p.setBrush(c(ink::bezel));
    p.drawRoundedRect(QRectF(2.5, 3.5, 28, 21), 2, 2);
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(14, 24.5, 5, 3.5));
    p.drawRoundedRect(QRectF(9.5, 27.5, 14, 2.5), 1, 1);
    p.setBrush(c(ink::screen));
    p.drawRect(QRectF(4.5, 5.5, 24, 17));

    const QRectF track(6.5, 7.5, 20, 13);
    const double t = double(f) / n;
    QPainterPath trail;
    for (int i = 0; i <= 12; ++i) {
        const QPointF q = rectPath(track, t - 0.22 + 0.22 * i / 12);
        i ? trail.lineTo(q) : trail.moveTo(q);
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(pen(ink::orange, 1.3));
    p.drawPath(trail);
    const QPointF dot = rectPath(track, t);
    drawBall(p, dot, 1.9, ink::red, ink::darkRed);

    for (QPointF e : {QPointF(12.5, 14), QPointF(20.5, 14)})
        drawEye(p, e, 7.5, 6, lookAt(e, dot), 1.0, ink::screen);
}

// ---- 1: cupped palms over the eyes ----
void drawHand(QPainter& p, QPointF at, double angle, bool mirror) {
    p.save();
    p.translate(at);
    p.rotate(angle);
    if (mirror)
        p.scale(-1, 1);
    // forearm reaching down out of the picture
    p.setPen(pen(ink::skinLine, 0.9));
    p.setBrush(c(ink::skinShade));
    p.drawRoundedRect(QRectF(-3.2, 3, 6.4, 16), 2.5, 2.5);
    // one mitten shape with faint finger grooves: separate fingers turn to
    // noise at 33 px
    QPainterPath hand;
    hand.setFillRule(Qt::WindingFill);
    hand.addRoundedRect(QRectF(-4.3, -2.5, 8.6, 8), 3.5, 3.5);
    hand.addRoundedRect(QRectF(-4.2, -7.4, 8.4, 8), 3, 3);
    hand.addRoundedRect(QRectF(3.2, -1.0, 2.2, 5.0), 1.1, 1.1); // thumb
    p.setBrush(c(ink::skin));
    p.drawPath(hand.simplified());
    p.setPen(pen(ink::skinShade, 0.7));
    for (int i = 1; i < 4; ++i) {
        const double x = -4.2 + i * 2.1;
        p.drawLine(QPointF(x, -6.2), QPointF(x, -3.2));
    }
    p.restore();
}

void drawFace(QPainter& p, double eyesOpen) {
    p.setPen(Qt::NoPen);
    p.setBrush(c(ink::water));
    p.drawRoundedRect(QRectF(3, 28, 27, 10), 5, 5); // shoulders
    p.setBrush(c(ink::skin));
    p.drawRect(QRectF(13.5, 24, 6, 5)); // neck
    p.setPen(pen(ink::skinLine, 0.9));
    p.drawEllipse(QRectF(6.5, 4.5, 20, 22));
    p.setPen(Qt::NoPen);
    p.setBrush(c(ink::hair));
    QPainterPath hair;
    hair.moveTo(6.3, 13);
    hair.cubicTo(5.5, 3, 27.5, 3, 26.7, 13);
    hair.cubicTo(24, 8.5, 16, 11, 11, 8.8);
    hair.cubicTo(9.5, 9.5, 7.5, 11, 6.3, 13);
    p.drawPath(hair);
    drawEye(p, {12.5, 15.5}, 5.5, 4, {0, 0.2}, eyesOpen);
    drawEye(p, {20.5, 15.5}, 5.5, 4, {0, 0.2}, eyesOpen);
    p.setPen(pen(ink::skinLine, 0.9));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(13.5, 18.5, 6, 3.5), 200 * 16, 140 * 16);
}

void drawPalming(QPainter& p, int f) {
    static const double cover[12] = {0, 0.3, 0.65, 1, 1, 1, 1, 1, 1, 1, 0.65, 0.3};
    const double k = cover[f];
    drawFace(p, 1.0);
    const double drop = (1 - k) * 19;
    drawHand(p, {21.8, 16.6 + drop}, -22 * k, true);
    drawHand(p, {11.2, 16.6 + drop}, 22 * k, false);
}

// ---- 2: blinking ----
void drawBlink(QPainter& p, int f) {
    static const double open[12] = {1, 1, 1, 1, 0.5, 0.05, 0.05, 0.5, 1, 1, 0.5, 0.05};
    p.setPen(pen(ink::hair, 1.6));
    p.setBrush(Qt::NoBrush);
    const double browLift = (1 - open[f]) * -0.8;
    for (double x : {9.0, 24.0}) {
        QPainterPath brow;
        brow.moveTo(x - 5.5, 10.5 + browLift);
        brow.quadTo(x, 6.5 + browLift, x + 5.5, 9.8 + browLift);
        p.drawPath(brow);
        drawEye(p, {x, 18}, 13, 11, {0, 0}, open[f]);
    }
}

// ---- 3: looking far away ----
void drawFarAway(QPainter& p, int f) {
    const int n = 10;
    QPainterPath frame;
    frame.addRoundedRect(QRectF(0.5, 0.5, 32, 32), 3, 3);
    p.save();
    p.setClipPath(frame);
    p.fillRect(QRectF(0, 0, 33, 21), c(ink::sky));
    p.fillRect(QRectF(0, 21, 33, 12), c(ink::grass));
    p.setPen(Qt::NoPen);
    p.setBrush(c(ink::yellow));
    p.drawEllipse(QPointF(27.5, 5.5), 2.6, 2.6);
    p.setBrush(c(ink::mountainFar));
    p.drawPolygon(QPolygonF({{12, 21.2}, {19, 13.5}, {23, 17.5}, {26.5, 14.5}, {34, 21.2}}));
    p.setBrush(c(ink::white));
    p.drawPolygon(QPolygonF({{17.3, 15.4}, {19, 13.5}, {20.7, 15.4}, {19, 15}}));
    // a road running off to the horizon
    p.setBrush(c(ink::steel));
    p.drawPolygon(QPolygonF({{-2, 33}, {12, 33}, {18.2, 21}, {17.2, 21}}));
    p.restore();

    const QPointF eye(8, 9.5);
    const QPointF target(17.7, 20.6);
    drawEye(p, eye, 11, 8, lookAt(eye, target) * 1.2, 1.0, ink::sky);
    // dots flying out along the line of sight
    const QPointF from = eye + unit(target - eye) * 4.5;
    p.setPen(Qt::NoPen);
    p.setBrush(c(ink::red));
    for (int i = 0; i < 3; ++i) {
        const double u = (i + double(f) / n) / 3.0;
        const double r = 1.3 * (1 - u) + 0.5;
        p.drawEllipse(from + (target - from) * u, r, r);
    }
    if (f % 2 == 0) {
        p.setPen(pen(ink::red, 0.8));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(target, 1.8, 1.2);
    }
}

// ---- 4: walking ----
void drawWalk(QPainter& p, int f) {
    const int n = 8;
    const double phi = 2 * M_PI * f / n;
    // ground marks slide back so the walker seems to move on
    p.setPen(pen(ink::darkGreen, 1.2));
    p.drawLine(QPointF(1, 31.2), QPointF(32, 31.2));
    p.setPen(pen(ink::grass, 1.2));
    for (int i = -1; i < 6; ++i) {
        const double x = i * 8 + 8 - std::fmod(f * 2.0, 8.0);
        p.drawLine(QPointF(x, 32.4), QPointF(x + 2.5, 32.4));
    }

    struct Leg {
        QPointF knee, foot, toe;
    };
    const QPointF hip(16.5, 0);
    auto leg = [&](double ph) {
        const double thigh = qDegreesToRadians(32 * std::sin(ph));
        const double bend = qDegreesToRadians(50 * std::max(0.0, std::cos(ph)));
        const double shin = thigh - bend;
        Leg l;
        l.knee = hip + QPointF(std::sin(thigh), std::cos(thigh)) * 6.3;
        l.foot = l.knee + QPointF(std::sin(shin), std::cos(shin)) * 6.3;
        l.toe = l.foot + QPointF(std::cos(shin), -std::sin(shin)) * 2.6;
        return l;
    };
    const Leg near = leg(phi), far = leg(phi + M_PI);
    const double lowest = std::max({near.foot.y(), far.foot.y(), near.toe.y(), far.toe.y()});
    const double dy = 30.2 - lowest; // the hip height that keeps a foot on the ground
    const QPointF off(0, dy);
    const QPointF shoulder = QPointF(17.4, dy - 8.6); // leaning a little into the walk

    auto drawLimbs = [&](const Leg& l, double armPh, QRgb col) {
        p.setPen(pen(col, 2.4));
        p.drawPolyline(QPolygonF({hip + off, l.knee + off, l.foot + off, l.toe + off}));
        const double a = qDegreesToRadians(-36 * std::sin(armPh));
        const QPointF elbow = shoulder + QPointF(std::sin(a), std::cos(a)) * 4.3;
        const double fa = a + qDegreesToRadians(22);
        p.drawPolyline(
            QPolygonF({shoulder, elbow, elbow + QPointF(std::sin(fa), std::cos(fa)) * 3.9}));
    };
    drawLimbs(far, phi + M_PI, ink::steel);
    p.setPen(pen(ink::navy, 3));
    p.drawLine(hip + off, shoulder + QPointF(0, -1));
    p.setBrush(c(ink::skin));
    p.setPen(pen(ink::navy, 1.2));
    p.drawEllipse(shoulder + QPointF(0.7, -4.3), 3.1, 3.1);
    drawLimbs(near, phi, ink::navy);
}

// ---- 5: mental arithmetic on a calculator ----
// 3x5 pixel glyphs, like a cheap LCD.
void drawGlyph(QPainter& p, char ch, int x, int y) {
    static const struct {
        char ch;
        const char* rows[5];
    } font[] = {
        {'2', {"###", "..#", "###", "#..", "###"}}, {'3', {"###", "..#", "###", "..#", "###"}},
        {'5', {"###", "#..", "###", "..#", "###"}}, {'+', {"...", ".#.", "###", ".#.", "..."}},
        {'=', {"...", "###", "...", "###", "..."}},
    };
    for (const auto& g : font) {
        if (g.ch != ch)
            continue;
        for (int r = 0; r < 5; ++r)
            for (int col = 0; col < 3; ++col)
                if (g.rows[r][col] == '#')
                    p.fillRect(QRectF(x + col, y + r, 1, 1), c(ink::lcdInk));
    }
}

void drawCalculator(QPainter& p, int f) {
    static const char* const text[10] = {
        "", "2", "2+", "2+3", "2+3=", "2+3=5", "2+3=5", "2+3=5", "2+3=5", "2+3=5"};
    static const char keys[4][5] = {"789/", "456*", "123-", "0.=+"};
    const QString shown = QString::fromLatin1(text[f]);
    const char pressed = (f >= 1 && f <= 4) ? text[f][f - 1] : (f == 5 ? '=' : 0);

    p.setPen(pen(ink::outline, 1));
    p.setBrush(c(ink::bezel));
    p.drawRoundedRect(QRectF(3.5, 1.5, 26, 30.5), 2.5, 2.5);
    p.setPen(Qt::NoPen);
    p.setBrush(c(ink::lcd));
    p.drawRect(QRectF(5, 3, 23, 9));
    for (int i = 0; i < shown.size(); ++i)
        drawGlyph(p, shown[i].toLatin1(), 7 + 4 * i, 5);
    for (int r = 0; r < 4; ++r)
        for (int k = 0; k < 4; ++k) {
            const char ch = keys[r][k];
            QRgb fill = ink::key;
            if (ch == pressed)
                fill = ink::orange;
            else if (k == 3 || ch == '=')
                fill = ink::steel;
            p.setBrush(c(fill));
            p.drawRect(QRectF(6 + k * 5.5, 15 + r * 4, 4.5, 3));
        }
}

// ---- 6: breathing ----
void drawBreathing(QPainter& p, int f) {
    const int n = 12;
    const double s = 0.8 + 0.2 * wave01(f, n);
    const bool inhale = f < n / 2;

    QPainterPath lobe; // right lobe, origin where the bronchus enters
    lobe.moveTo(0.5, -8);
    lobe.cubicTo(5, -9, 8, -2, 8, 5);
    lobe.cubicTo(8, 9, 5, 10.5, 1.5, 9.5);
    lobe.cubicTo(-0.5, 9, -1, 6.5, 0, 4.5);
    lobe.cubicTo(-1.5, 2, -1.5, -5, 0.5, -8);

    p.setPen(pen(ink::lungDark, 1));
    for (int side : {-1, 1}) {
        p.save();
        p.translate(16.5 + side * 2.3, 17);
        p.scale(side * s, s);
        p.setBrush(c(ink::lung));
        p.drawPath(lobe);
        p.setBrush(Qt::NoBrush);
        p.setPen(pen(ink::lungDark, 0.8 / s));
        p.drawPolyline(QPolygonF({{-2.3, -4}, {1.5, -1}, {4, -3}}));
        p.drawLine(QPointF(1.5, -1), QPointF(3.5, 3));
        p.restore();
    }
    p.setPen(pen(ink::lungDark, 1));
    p.setBrush(c(ink::white));
    p.drawRoundedRect(QRectF(15, 2, 3, 12), 1.2, 1.2);
    p.setPen(pen(ink::lungDark, 0.6));
    for (double y = 4; y < 13; y += 2.5)
        p.drawLine(QPointF(15.5, y), QPointF(17.5, y));

    // air going in, then out
    p.setPen(pen(ink::water, 1.2));
    for (double x : {10.0, 23.0}) {
        const double y0 = inhale ? 2 : 8, y1 = inhale ? 8 : 2;
        const double tip = inhale ? -2.2 : 2.2;
        p.drawLine(QPointF(x, y0), QPointF(x, y1));
        p.drawPolyline(QPolygonF({{x - 1.8, y1 + tip}, {x, y1}, {x + 1.8, y1 + tip}}));
    }
}

// ---- 7: following a wave ----
double waveY(double x) { return 23 + 3.6 * std::sin(2 * M_PI * (x - 1) / 14.5); }

void drawWave(QPainter& p, int f) {
    const int n = 16;
    QPainterPath sea;
    sea.moveTo(0, 33);
    for (double x = 0; x <= 33; x += 0.5)
        sea.lineTo(x, waveY(x));
    sea.lineTo(33, 33);
    sea.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(c(ink::waterPale));
    p.drawPath(sea);
    QPainterPath crest;
    for (double x = 0; x <= 33; x += 0.5)
        x == 0 ? crest.moveTo(x, waveY(x)) : crest.lineTo(x, waveY(x));
    p.setBrush(Qt::NoBrush);
    p.setPen(pen(ink::water, 1.8));
    p.drawPath(crest);

    const double bx = 4 + 25 * wave01(f, n);
    const QPointF ball(bx, waveY(bx) - 2.4);
    drawBall(p, ball, 2.2, ink::red, ink::darkRed);
    for (QPointF e : {QPointF(11.5, 8), QPointF(21.5, 8)})
        drawEye(p, e, 9, 7, lookAt(e, ball));
}

// ---- 8: tracing an X ----
void drawX(QPainter& p, int f) {
    const QPointF a1(5, 5), b1(28, 28), a2(28, 5), b2(5, 28);
    p.setPen(QPen(c(ink::mountainFar), 1, Qt::DashLine, Qt::FlatCap));
    p.drawLine(a1, b1);
    p.drawLine(a2, b2);

    // frames 0-6 run down the first stroke, 7-13 the second, then a pause
    QPointF head, dir;
    p.setPen(pen(ink::orange, 2.6));
    if (f <= 6) {
        head = a1 + (b1 - a1) * (f / 6.0);
        dir = b1 - a1;
        if (f)
            p.drawLine(a1, head);
    } else {
        p.drawLine(a1, b1);
        const double u = std::min(1.0, (f - 7) / 6.0);
        head = a2 + (b2 - a2) * u;
        dir = b2 - a2;
        if (u > 0)
            p.drawLine(a2, head);
    }
    // the travelling eye looks where it is going
    p.setPen(pen(ink::outline, 1));
    p.setBrush(c(ink::white));
    p.drawEllipse(head, 3.6, 3.6);
    const QPointF look = head + unit(dir) * 1.5;
    p.setPen(Qt::NoPen);
    p.setBrush(c(ink::iris));
    p.drawEllipse(look, 2, 2);
    p.setBrush(c(ink::black));
    p.drawEllipse(look, 1, 1);
}

} // namespace

void drawBall(QPainter& p, QPointF centre, double r, QRgb fill, QRgb line) {
    p.setPen(pen(line, std::max(0.6, r * 0.3)));
    p.setBrush(c(fill));
    p.drawEllipse(centre, r, r);
}

void drawEye(QPainter& p, QPointF ce, double w, double h, QPointF look, double open, QRgb lid) {
    const double lw = std::max(0.8, w / 11.0);
    QPainterPath eye;
    eye.moveTo(ce.x() - w / 2, ce.y());
    eye.quadTo(ce.x(), ce.y() - h, ce.x() + w / 2, ce.y());
    eye.quadTo(ce.x(), ce.y() + h, ce.x() - w / 2, ce.y());
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(c(ink::white));
    p.drawPath(eye);
    p.setClipPath(eye);
    const double ir = h * 0.42;
    const QPointF ic = ce + QPointF(look.x() * w * 0.2, look.y() * h * 0.18);
    p.setBrush(c(ink::iris));
    p.drawEllipse(ic, ir, ir);
    p.setBrush(c(ink::black));
    p.drawEllipse(ic, ir * 0.5, ir * 0.5);
    if (w >= 7) {
        p.setBrush(c(ink::white));
        p.drawEllipse(ic + QPointF(ir * 0.35, -ir * 0.35), ir * 0.22, ir * 0.22);
    }
    double lidY = ce.y() - h / 2;
    if (open < 1) {
        lidY = ce.y() - h / 2 + (1 - open) * h;
        QPainterPath lidPath;
        lidPath.moveTo(ce.x() - w, ce.y() - h);
        lidPath.lineTo(ce.x() + w, ce.y() - h);
        lidPath.lineTo(ce.x() + w, ce.y());
        lidPath.lineTo(ce.x() + w / 2, ce.y());
        lidPath.quadTo(ce.x(), 2 * lidY - ce.y(), ce.x() - w / 2, ce.y());
        lidPath.lineTo(ce.x() - w, ce.y());
        lidPath.closeSubpath();
        p.setBrush(c(lid));
        p.drawPath(lidPath);
    }
    p.restore();
    p.setBrush(Qt::NoBrush);
    p.setPen(pen(ink::outline, lw));
    if (open <= 0.1) { // shut: only the lashes line
        QPainterPath shut;
        shut.moveTo(ce.x() - w / 2, ce.y());
        shut.quadTo(ce.x(), ce.y() + h * 0.45, ce.x() + w / 2, ce.y());
        p.drawPath(shut);
    } else {
        p.drawPath(eye);
        if (open < 1) {
            QPainterPath edge;
            edge.moveTo(ce.x() - w / 2, ce.y());
            edge.quadTo(ce.x(), 2 * lidY - ce.y(), ce.x() + w / 2, ce.y());
            p.drawPath(edge);
        }
    }
}

QImage renderFrame(const Animation& a, int frame, int size, bool opaque) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(opaque ? QColor::fromRgba(ink::paper) : QColor(Qt::transparent));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 33.0, size / 33.0);
    a.draw(p, frame);
    p.end();
    return img;
}

QImage drawExercisePicture(int index, int size) {
    const Animation& a = animations().at(size_t(index));
    return renderFrame(a, a.stillFrame, size, false);
}

const std::vector<Animation>& animations() {
    auto even = [](int ms) { return [ms](int) { return ms; }; };
    static const std::vector<Animation> list = {
        {"Piment", 16, drawEdging, even(120), 3},
        {"Palm", 12, drawPalming, [](int f) { return f == 6 ? 200 : 150; }, 5},
        {"Blink", 12, drawBlink, [](int f) { return f < 3 ? 200 : 110; }, 0},
        {"Oeil", 10, drawFarAway, even(150), 4},
        {"Legs", 8, drawWalk, even(120), 1},
        {"Calcul", 10, drawCalculator, [](int f) { return f >= 5 ? 200 : 160; }, 6},
        {"Poumons", 12, drawBreathing, even(150), 6},
        {"Vague", 16, drawWave, even(110), 4},
        {"XAnim", 16, drawX, [](int f) { return f >= 13 ? 200 : 110; }, 10},
    };
    return list;
}

} // namespace pg
