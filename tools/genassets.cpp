// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the game's pictures and synthesises its sounds, all from code, deterministically.
// Usage: genassets SOURCE_DIR   (writes into board/layouts/pictures, platform/media, data/icons)

#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtEndian>
#include <cmath>
#include <cstdio>
#include <random>

namespace {

constexpr double Pi = 3.14159265358979323846;

// ---------- the photograph: a lakeside village under a sky of balloons ----------

struct Scene
{
    QPainter &p;
    std::mt19937 rng;
    double uniform(double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); }
    int pick(int a, int b) { return std::uniform_int_distribution<int>(a, b)(rng); }
    QColor vary(QColor c, int amount)
    {
        return QColor(std::clamp(c.red() + pick(-amount, amount), 0, 255),
                      std::clamp(c.green() + pick(-amount, amount), 0, 255),
                      std::clamp(c.blue() + pick(-amount, amount), 0, 255));
    }
};

void drawSky(Scene &s, int w)
{
    QLinearGradient sky(0, 0, 0, 200);
    sky.setColorAt(0.0, QColor(38, 52, 128));
    sky.setColorAt(0.35, QColor(92, 92, 170));
    sky.setColorAt(0.7, QColor(235, 140, 110));
    sky.setColorAt(1.0, QColor(252, 200, 120));
    s.p.fillRect(0, 0, w, 200, sky);
    // the sun, low on the right, with rays
    QRadialGradient glow(440, 150, 90);
    glow.setColorAt(0, QColor(255, 250, 200, 255));
    glow.setColorAt(0.25, QColor(255, 220, 120, 200));
    glow.setColorAt(1, QColor(255, 180, 100, 0));
    s.p.setPen(Qt::NoPen);
    s.p.setBrush(glow);
    s.p.drawEllipse(QPointF(440, 150), 90, 90);
    s.p.setPen(QPen(QColor(255, 235, 160, 110), 2));
    for (int i = 0; i < 24; ++i) {
        const double a = i * Pi / 12;
        s.p.drawLine(QPointF(440 + 34 * std::cos(a), 150 + 34 * std::sin(a)),
                     QPointF(440 + 70 * std::cos(a), 150 + 70 * std::sin(a)));
    }
    // stars fading into the evening in the upper left
    for (int i = 0; i < 70; ++i) {
        const double x = s.uniform(0, 300), y = s.uniform(0, 70);
        s.p.setPen(QPen(QColor(255, 255, 230, s.pick(90, 230)), s.uniform(1, 2.2)));
        s.p.drawPoint(QPointF(x, y));
    }
    // streaks of cloud
    for (int i = 0; i < 16; ++i) {
        const double x = s.uniform(-40, w), y = s.uniform(40, 180);
        const QColor c = s.vary(QColor(250, 190, 170, 255), 25);
        for (int k = 0; k < 6; ++k) {
            s.p.setPen(Qt::NoPen);
            s.p.setBrush(QColor(c.red(), c.green(), c.blue(), 70));
            s.p.drawEllipse(QPointF(x + k * 14 + s.uniform(-4, 4), y + s.uniform(-4, 4)),
                            s.uniform(14, 26), s.uniform(5, 9));
        }
    }
}

void drawBalloon(Scene &s, QPointF c, double r, QColor a, QColor b, int stripes, int pattern)
{
    QPainterPath envelope;
    envelope.moveTo(c.x(), c.y() + r * 1.25);
    envelope.cubicTo(c.x() - r * 1.3, c.y() + r * 0.4, c.x() - r * 1.1, c.y() - r * 1.1, c.x(),
                     c.y() - r);
    envelope.cubicTo(c.x() + r * 1.1, c.y() - r * 1.1, c.x() + r * 1.3, c.y() + r * 0.4, c.x(),
                     c.y() + r * 1.25);
    s.p.save();
    s.p.setClipPath(envelope);
    s.p.fillRect(QRectF(c.x() - 2 * r, c.y() - 2 * r, 4 * r, 4 * r), a);
    s.p.setPen(Qt::NoPen);
    for (int i = 0; i < stripes; ++i) {
        if (i % 2)
            continue;
        const double x0 = c.x() - 1.2 * r + i * 2.4 * r / stripes;
        if (pattern == 0) {
            s.p.setBrush(b);
            s.p.drawRect(QRectF(x0, c.y() - 2 * r, 2.4 * r / stripes, 4 * r));
        } else if (pattern == 1) {
            s.p.setBrush(b);
            s.p.drawRect(
                QRectF(c.x() - 2 * r, c.y() - r + i * 2.4 * r / stripes, 4 * r, 2.4 * r / stripes));
        } else {
            s.p.setBrush(b);
            for (int k = -3; k < 4; ++k)
                s.p.drawEllipse(QPointF(x0, c.y() + k * r * 0.45), r * 0.16, r * 0.16);
        }
    }
    QRadialGradient shade(c.x() - r * 0.4, c.y() - r * 0.4, r * 1.8);
    shade.setColorAt(0, QColor(255, 255, 255, 90));
    shade.setColorAt(1, QColor(0, 0, 0, 90));
    s.p.setBrush(shade);
    s.p.drawRect(QRectF(c.x() - 2 * r, c.y() - 2 * r, 4 * r, 4 * r));
    s.p.restore();
    s.p.setPen(QPen(QColor(60, 40, 30), 1));
    s.p.drawLine(QPointF(c.x() - r * 0.3, c.y() + r * 1.18),
                 QPointF(c.x() - r * 0.2, c.y() + r * 1.6));
    s.p.drawLine(QPointF(c.x() + r * 0.3, c.y() + r * 1.18),
                 QPointF(c.x() + r * 0.2, c.y() + r * 1.6));
    s.p.setBrush(QColor(130, 80, 40));
    s.p.drawRect(QRectF(c.x() - r * 0.22, c.y() + r * 1.6, r * 0.44, r * 0.35));
}

void drawBirds(Scene &s, double x, double y, int count)
{
    s.p.setPen(QPen(QColor(40, 30, 50), 1.3));
    s.p.setBrush(Qt::NoBrush);
    for (int i = 0; i < count; ++i) {
        const double bx = x + s.uniform(-30, 30), by = y + s.uniform(-12, 12), k = s.uniform(3, 6);
        QPainterPath bird;
        bird.moveTo(bx - k, by - k * 0.4);
        bird.quadTo(bx - k * 0.4, by - k * 0.8, bx, by);
        bird.quadTo(bx + k * 0.4, by - k * 0.8, bx + k, by - k * 0.4);
        s.p.drawPath(bird);
    }
}

void drawMountains(Scene &s, int w)
{
    const QColor layers[] = {QColor(120, 100, 150), QColor(90, 110, 140), QColor(70, 110, 90)};
    const double base[] = {205, 230, 255};
    for (int l = 0; l < 3; ++l) {
        QPainterPath ridge;
        ridge.moveTo(0, 300);
        double y = base[l] - 40;
        for (int x = 0; x <= w + 6; x += 6) { // past the edge: no drop at the border
            y += s.uniform(-7, 7) + (base[l] - 45 - y) * 0.08;
            if (l == 0 && x % 150 < 6)
                y -= 30;
            ridge.lineTo(x, y);
        }
        ridge.lineTo(w + 6, 300);
        ridge.closeSubpath();
        QLinearGradient g(0, base[l] - 80, 0, base[l] + 40);
        g.setColorAt(0, layers[l].lighter(130));
        g.setColorAt(1, layers[l].darker(120));
        s.p.setPen(Qt::NoPen);
        s.p.setBrush(g);
        s.p.drawPath(ridge);
        if (l == 0) { // snow on the far peaks
            s.p.save();
            s.p.setClipPath(ridge);
            s.p.setBrush(QColor(245, 240, 250, 200));
            for (int x = 0; x < w; x += 3)
                s.p.drawRect(QRectF(x, base[l] - 90, 3, 40 + 12 * std::sin(x * 0.07)));
            s.p.restore();
        }
    }
}

void drawTree(Scene &s, double x, double y, double h)
{
    s.p.setPen(Qt::NoPen);
    s.p.setBrush(QColor(90, 60, 35));
    s.p.drawRect(QRectF(x - h * 0.06, y - h * 0.35, h * 0.12, h * 0.35));
    if (s.pick(0, 1)) { // a fir
        for (int k = 0; k < 3; ++k) {
            QPolygonF tri;
            const double top = y - h + k * h * 0.22, width = h * (0.25 + k * 0.1);
            tri << QPointF(x, top) << QPointF(x - width, top + h * 0.4)
                << QPointF(x + width, top + h * 0.4);
            s.p.setBrush(s.vary(QColor(40, 100 + k * 15, 50), 20));
            s.p.drawPolygon(tri);
        }
    } else { // a round tree with fruit
        for (int k = 0; k < 6; ++k) {
            s.p.setBrush(s.vary(QColor(60, 140, 60), 30));
            s.p.drawEllipse(QPointF(x + s.uniform(-h * 0.25, h * 0.25),
                                    y - h * 0.6 + s.uniform(-h * 0.2, h * 0.15)),
                            h * 0.26, h * 0.24);
        }
        s.p.setBrush(s.vary(QColor(230, 60, 40), 30));
        for (int k = 0; k < 5; ++k)
            s.p.drawEllipse(QPointF(x + s.uniform(-h * 0.3, h * 0.3),
                                    y - h * 0.6 + s.uniform(-h * 0.3, h * 0.2)),
                            2, 2);
    }
}

void drawCastle(Scene &s, double x, double y)
{
    s.p.setPen(QPen(QColor(70, 60, 60), 1));
    s.p.setBrush(QColor(170, 160, 150));
    s.p.drawRect(QRectF(x, y - 40, 70, 40));
    for (int t = 0; t < 3; ++t) {
        const double tx = x - 8 + t * 35;
        s.p.setBrush(QColor(185 - t * 10, 175 - t * 8, 160));
        s.p.drawRect(QRectF(tx, y - 70 + t * 6, 18, 70 - t * 6));
        QPolygonF roof;
        roof << QPointF(tx - 3, y - 70 + t * 6) << QPointF(tx + 9, y - 95 + t * 6)
             << QPointF(tx + 21, y - 70 + t * 6);
        s.p.setBrush(QColor(60, 70, 150));
        s.p.drawPolygon(roof);
        s.p.setBrush(QColor(255, 230, 120));
        s.p.drawRect(QRectF(tx + 6, y - 58 + t * 6, 5, 8));
    }
    s.p.setBrush(QColor(80, 50, 30));
    s.p.drawChord(QRectF(x + 27, y - 22, 16, 30), 0, 180 * 16);
    s.p.setPen(QPen(QColor(60, 40, 30), 1));
    s.p.drawLine(QPointF(x + 17, y - 95), QPointF(x + 17, y - 110));
    s.p.setBrush(QColor(220, 30, 40));
    s.p.drawRect(QRectF(x + 17, y - 110, 12, 7));
}

void drawHouse(Scene &s, double x, double base, double w, double h, int number)
{
    const QColor walls[] = {QColor(235, 200, 110), QColor(220, 120, 90),  QColor(240, 230, 210),
                            QColor(140, 180, 210), QColor(200, 150, 200), QColor(180, 210, 140),
                            QColor(250, 170, 60),  QColor(230, 110, 130)};
    const QColor wall = s.vary(walls[s.pick(0, 7)], 15);
    s.p.setPen(QPen(wall.darker(160), 1));
    s.p.setBrush(wall);
    s.p.drawRect(QRectF(x, base - h, w, h));
    QPolygonF roof;
    const double rise = s.uniform(10, 22);
    roof << QPointF(x - 3, base - h) << QPointF(x + w / 2, base - h - rise)
         << QPointF(x + w + 3, base - h);
    s.p.setBrush(s.vary(QColor(170, 60, 40), 30));
    s.p.drawPolygon(roof);
    if (s.pick(0, 2) == 0) { // chimney with smoke
        s.p.setBrush(QColor(120, 70, 60));
        s.p.drawRect(QRectF(x + w * 0.7, base - h - rise * 0.9, 5, 10));
        s.p.setPen(Qt::NoPen);
        for (int k = 0; k < 4; ++k) {
            s.p.setBrush(QColor(220, 220, 230, 120 - k * 25));
            s.p.drawEllipse(QPointF(x + w * 0.7 + 3 + k * 3, base - h - rise - 4 - k * 6), 3 + k,
                            3 + k);
        }
    }
    s.p.setPen(QPen(QColor(60, 50, 40), 1));
    const int cols = std::max(1, int(w / 12)), floors = std::max(1, int((h - 14) / 14));
    for (int f = 0; f < floors; ++f) {
        for (int c = 0; c < cols; ++c) {
            const bool lit = s.pick(0, 2) > 0;
            s.p.setBrush(lit ? QColor(255, 225, 110) : QColor(60, 80, 110));
            const QRectF win(x + 3 + c * (w - 6) / cols + 1, base - h + 4 + f * 14,
                             (w - 6) / cols - 4, 8);
            s.p.drawRect(win);
            s.p.drawLine(QPointF(win.center().x(), win.top()),
                         QPointF(win.center().x(), win.bottom()));
        }
    }
    s.p.setBrush(s.vary(QColor(100, 60, 30), 20));
    s.p.drawRect(QRectF(x + w / 2 - 4, base - 11, 8, 11));
    s.p.setPen(QColor(30, 30, 30));
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPixelSize(7);
    s.p.setFont(f);
    s.p.drawText(QRectF(x + w / 2 - 6, base - 20, 12, 8), Qt::AlignCenter, QString::number(number));
}

void drawChurch(Scene &s, double x, double base)
{
    s.p.setPen(QPen(QColor(90, 80, 70), 1));
    s.p.setBrush(QColor(230, 220, 200));
    s.p.drawRect(QRectF(x, base - 110, 24, 110));
    QPolygonF spire;
    spire << QPointF(x - 2, base - 110) << QPointF(x + 12, base - 150)
          << QPointF(x + 26, base - 110);
    s.p.setBrush(QColor(90, 130, 110));
    s.p.drawPolygon(spire);
    s.p.setBrush(Qt::white);
    s.p.drawEllipse(QPointF(x + 12, base - 92), 8, 8);
    s.p.setPen(QPen(Qt::black, 1.2));
    s.p.drawLine(QPointF(x + 12, base - 92), QPointF(x + 12, base - 98));
    s.p.drawLine(QPointF(x + 12, base - 92), QPointF(x + 16, base - 90));
    s.p.setPen(QPen(QColor(90, 80, 70), 1));
    s.p.setBrush(QColor(80, 60, 50));
    s.p.drawChord(QRectF(x + 6, base - 70, 12, 18), 0, 180 * 16);
    s.p.drawRect(QRectF(x + 6, base - 61, 12, 9));
}

void drawLake(Scene &s, int w, double top, double bottom)
{
    QLinearGradient water(0, top, 0, bottom);
    water.setColorAt(0, QColor(240, 160, 120));
    water.setColorAt(0.4, QColor(90, 110, 170));
    water.setColorAt(1, QColor(40, 70, 120));
    s.p.fillRect(QRectF(0, top, w, bottom - top), water);
    s.p.setPen(Qt::NoPen);
    for (int i = 0; i < 260; ++i) { // ripples and glints
        const double x = s.uniform(0, w), y = s.uniform(top, bottom);
        s.p.setBrush(QColor(255, 240, 200, s.pick(40, 140)));
        s.p.drawRect(QRectF(x, y, s.uniform(4, 16), 1.2));
    }
}

void drawBoat(Scene &s, double x, double y, double size, QColor sail, QColor hull)
{
    QPainterPath body;
    body.moveTo(x - size, y);
    body.lineTo(x + size, y);
    body.lineTo(x + size * 0.7, y + size * 0.35);
    body.lineTo(x - size * 0.7, y + size * 0.35);
    body.closeSubpath();
    s.p.setPen(QPen(hull.darker(170), 1));
    s.p.setBrush(hull);
    s.p.drawPath(body);
    s.p.drawLine(QPointF(x, y), QPointF(x, y - size * 1.6));
    QPolygonF main;
    main << QPointF(x + 1, y - size * 1.55) << QPointF(x + 1, y - 2)
         << QPointF(x + size * 0.9, y - 2);
    s.p.setBrush(sail);
    s.p.drawPolygon(main);
    QPolygonF jib;
    jib << QPointF(x - 1, y - size * 1.3) << QPointF(x - 1, y - 2)
        << QPointF(x - size * 0.6, y - 2);
    s.p.setBrush(sail.lighter(130));
    s.p.drawPolygon(jib);
    s.p.setPen(QPen(QColor(255, 255, 255, 90), 1));
    s.p.drawLine(QPointF(x - size * 0.8, y + size * 0.5), QPointF(x + size * 0.8, y + size * 0.5));
}

void drawMeadow(Scene &s, int w, double top, double h)
{
    QLinearGradient grass(0, top, 0, top + h);
    grass.setColorAt(0, QColor(110, 160, 70));
    grass.setColorAt(1, QColor(50, 110, 40));
    s.p.fillRect(QRectF(0, top, w, h), grass);
    // a winding path
    QPainterPath path;
    path.moveTo(250, top);
    path.cubicTo(200, top + 30, 330, top + 50, 270, top + h);
    s.p.setPen(QPen(QColor(210, 180, 130), 16, Qt::SolidLine, Qt::RoundCap));
    s.p.setBrush(Qt::NoBrush);
    s.p.drawPath(path);
    s.p.setPen(QPen(QColor(180, 150, 100), 2, Qt::DotLine));
    s.p.drawPath(path);
    // blades of grass
    for (int i = 0; i < 900; ++i) {
        const double x = s.uniform(0, w), y = s.uniform(top + 2, top + h);
        s.p.setPen(QPen(s.vary(QColor(70, 140, 50), 40), 1));
        s.p.drawLine(QPointF(x, y), QPointF(x + s.uniform(-2, 2), y - s.uniform(3, 7)));
    }
    // flowers, each stretch of the meadow with its own colours
    const QColor palettes[][2] = {{QColor(240, 60, 60), QColor(255, 200, 40)},
                                  {QColor(250, 250, 250), QColor(250, 200, 40)},
                                  {QColor(160, 80, 220), QColor(250, 240, 120)},
                                  {QColor(255, 150, 40), QColor(120, 40, 20)},
                                  {QColor(60, 120, 250), QColor(255, 255, 255)},
                                  {QColor(250, 120, 190), QColor(255, 240, 80)}};
    for (int i = 0; i < 340; ++i) {
        const double x = s.uniform(0, w), y = s.uniform(top + 6, top + h);
        const int zone = std::clamp(int(x / (w / 6.0)), 0, 5);
        const double r = 1.5 + (y - top) / h * 3.0;
        s.p.setPen(Qt::NoPen);
        s.p.setBrush(palettes[zone][0]);
        for (int k = 0; k < 5; ++k)
            s.p.drawEllipse(
                QPointF(x + r * std::cos(k * 2 * Pi / 5), y + r * std::sin(k * 2 * Pi / 5)),
                r * 0.7, r * 0.7);
        s.p.setBrush(palettes[zone][1]);
        s.p.drawEllipse(QPointF(x, y), r * 0.5, r * 0.5);
    }
    // a fence along the water
    s.p.setPen(QPen(QColor(120, 80, 40), 2));
    s.p.drawLine(QPointF(0, top + 8), QPointF(200, top + 14));
    for (int x = 4; x < 200; x += 14)
        s.p.drawLine(QPointF(x, top + 2 + x * 0.03), QPointF(x, top + 20 + x * 0.03));
}

void drawStall(Scene &s, double x, double base, QColor a, QColor b)
{
    s.p.setPen(QPen(QColor(80, 50, 30), 2));
    s.p.drawLine(QPointF(x, base), QPointF(x, base - 36));
    s.p.drawLine(QPointF(x + 50, base), QPointF(x + 50, base - 36));
    for (int k = 0; k < 5; ++k) {
        s.p.setPen(Qt::NoPen);
        s.p.setBrush(k % 2 ? a : b);
        s.p.drawRect(QRectF(x - 4 + k * 11.6, base - 46, 11.6, 12));
        s.p.drawChord(QRectF(x - 4 + k * 11.6, base - 40, 11.6, 10), 180 * 16, 180 * 16);
    }
    s.p.setBrush(QColor(150, 100, 60));
    s.p.drawRect(QRectF(x - 2, base - 16, 54, 6));
    const QColor fruit[]
        = {QColor(250, 60, 40), QColor(255, 200, 30), QColor(120, 200, 60), QColor(250, 140, 20)};
    for (int k = 0; k < 12; ++k) {
        s.p.setBrush(fruit[k % 4]);
        s.p.drawEllipse(QPointF(x + 3 + k * 4, base - 19 - (k % 3)), 2.5, 2.5);
    }
}

QImage drawPhotograph()
{
    const int w = 550, h = 495;
    QImage image(w, h, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    Scene s {painter, std::mt19937(20261208)};

    drawSky(s, w);
    // one balloon over each stretch of sky, each its own colours and pattern
    drawBalloon(s, QPointF(48, 52), 24, QColor(230, 40, 50), QColor(255, 220, 40), 6, 0);
    drawBalloon(s, QPointF(140, 34), 17, QColor(40, 90, 220), QColor(250, 250, 250), 5, 1);
    drawBalloon(s, QPointF(228, 70), 27, QColor(60, 180, 80), QColor(250, 140, 30), 7, 2);
    drawBalloon(s, QPointF(318, 30), 15, QColor(250, 160, 210), QColor(140, 40, 160), 6, 0);
    drawBalloon(s, QPointF(405, 58), 20, QColor(250, 250, 240), QColor(30, 160, 200), 4, 1);
    drawBalloon(s, QPointF(505, 36), 22, QColor(120, 40, 150), QColor(250, 200, 60), 8, 2);
    drawBalloon(s, QPointF(95, 128), 12, QColor(250, 120, 30), QColor(60, 60, 60), 6, 1);
    drawBalloon(s, QPointF(352, 118), 10, QColor(20, 160, 150), QColor(250, 240, 200), 5, 0);
    drawBirds(s, 190, 140, 5);
    drawBirds(s, 470, 100, 4);
    drawBirds(s, 20, 160, 3);

    drawMountains(s, w);
    drawCastle(s, 360, 250);
    for (int i = 0; i < 18; ++i)
        drawTree(s, s.uniform(0, w), s.uniform(240, 275), s.uniform(18, 34));

    // the village, two rows of houses and a church
    QLinearGradient ground(0, 260, 0, 360);
    ground.setColorAt(0, QColor(120, 150, 80));
    ground.setColorAt(1, QColor(150, 140, 90));
    painter.fillRect(QRectF(0, 268, w, 92), ground);
    int number = 1;
    for (double x = -10; x < w; x += s.uniform(34, 48))
        drawHouse(s, x, 310, s.uniform(26, 40), s.uniform(32, 52), number++);
    drawChurch(s, 150, 330);
    for (double x = 0; x < w; x += s.uniform(40, 56))
        drawHouse(s, x, 358, s.uniform(30, 44), s.uniform(30, 46), number++);
    for (int i = 0; i < 8; ++i)
        drawTree(s, s.uniform(0, w), 360, s.uniform(16, 24));

    drawLake(s, w, 358, 420);
    drawBoat(s, 60, 392, 15, QColor(250, 250, 250), QColor(180, 40, 40));
    drawBoat(s, 170, 404, 12, QColor(250, 200, 40), QColor(40, 80, 160));
    drawBoat(s, 280, 386, 10, QColor(230, 80, 160), QColor(240, 240, 240));
    drawBoat(s, 390, 408, 14, QColor(80, 200, 120), QColor(120, 70, 40));
    drawBoat(s, 490, 394, 11, QColor(250, 130, 40), QColor(30, 30, 60));

    drawMeadow(s, w, 418, h - 418);
    drawStall(s, 30, 488, QColor(230, 40, 40), QColor(250, 250, 250));
    drawStall(s, 400, 482, QColor(40, 120, 220), QColor(250, 220, 60));
    painter.end();

    // the grain of a photograph
    std::mt19937 grain(7);
    std::uniform_int_distribution<int> noise(-5, 5);
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int n = noise(grain);
            line[x] = qRgb(std::clamp(qRed(line[x]) + n, 0, 255),
                           std::clamp(qGreen(line[x]) + n, 0, 255),
                           std::clamp(qBlue(line[x]) + n, 0, 255));
        }
    }
    return image;
}

// ---------- the window icon: a red horseshoe magnet, poles down, tipped in silver-grey ----------

void drawMagnet(QPainter &p, double size)
{
    const double k = size / 32.0;
    p.setRenderHint(QPainter::Antialiasing, size > 32);
    QPainterPath arch;
    arch.moveTo(4 * k, 26 * k);
    arch.lineTo(4 * k, 14 * k);
    arch.arcTo(QRectF(4 * k, 2 * k, 24 * k, 24 * k), 180, -180);
    arch.lineTo(28 * k, 26 * k);
    arch.lineTo(20 * k, 26 * k);
    arch.lineTo(20 * k, 14 * k);
    arch.arcTo(QRectF(12 * k, 10 * k, 8 * k, 8 * k), 0, 180);
    arch.lineTo(12 * k, 26 * k);
    arch.closeSubpath();
    p.setPen(QPen(QColor(128, 0, 0), std::max(1.0, k)));
    p.setBrush(QColor(255, 0, 0));
    p.drawPath(arch);
    p.setBrush(QColor(192, 192, 192));
    p.setPen(QPen(QColor(128, 128, 128), std::max(1.0, k)));
    p.drawRect(QRectF(4 * k, 24 * k, 8 * k, 6 * k));
    p.drawRect(QRectF(20 * k, 24 * k, 8 * k, 6 * k));
    p.setPen(QPen(QColor(255, 255, 255), std::max(1.0, k)));
    p.drawLine(QPointF(6 * k, 22 * k), QPointF(6 * k, 14 * k));
}

QImage magnet(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    drawMagnet(p, size);
    return image;
}

// The 16 colours of the classic palette.
const QRgb Vga16[16]
    = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
       0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};

int nearest16(QRgb c)
{
    int best = 0, bestDistance = 1 << 30;
    for (int i = 0; i < 16; ++i) {
        const int dr = qRed(c) - qRed(Vga16[i]), dg = qGreen(c) - qGreen(Vga16[i]),
                  db = qBlue(c) - qBlue(Vga16[i]);
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

void put16(QByteArray &b, quint16 v)
{
    b.append(char(v & 0xFF)).append(char(v >> 8));
}
void put32(QByteArray &b, quint32 v)
{
    put16(b, quint16(v & 0xFFFF));
    put16(b, quint16(v >> 16));
}

// One icon image: a 4-bit bitmap with its transparency mask.
QByteArray iconImage(const QImage &image)
{
    const int n = image.width();
    const int xorStride = ((n * 4 + 31) / 32) * 4, andStride = ((n + 31) / 32) * 4;
    QByteArray b;
    put32(b, 40);
    put32(b, quint32(n));
    put32(b, quint32(2 * n));
    put16(b, 1);
    put16(b, 4);
    put32(b, 0);
    put32(b, quint32((xorStride + andStride) * n));
    put32(b, 0);
    put32(b, 0);
    put32(b, 16);
    put32(b, 0);
    for (QRgb c : Vga16)
        b.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c))).append('\0');
    for (int y = n - 1; y >= 0; --y) {
        QByteArray row(xorStride, '\0');
        for (int x = 0; x < n; ++x) {
            const QRgb c = image.pixel(x, y);
            const int index = qAlpha(c) < 128 ? 0 : nearest16(c);
            row[x / 2] = char(row[x / 2] | (x % 2 ? index : index << 4));
        }
        b.append(row);
    }
    for (int y = n - 1; y >= 0; --y) {
        QByteArray row(andStride, '\0');
        for (int x = 0; x < n; ++x) {
            if (qAlpha(image.pixel(x, y)) < 128)
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        }
        b.append(row);
    }
    return b;
}

QByteArray icon16Colours()
{
    const QByteArray big = iconImage(magnet(32)), small = iconImage(magnet(16));
    QByteArray b;
    put16(b, 0);
    put16(b, 1);
    put16(b, 2);
    quint32 offset = 6 + 2 * 16;
    for (const auto &[size, data] : {std::pair {32, big}, std::pair {16, small}}) {
        b.append(char(size)).append(char(size)).append(char(16)).append('\0');
        put16(b, 1);
        put16(b, 4);
        put32(b, quint32(data.size()));
        put32(b, offset);
        offset += quint32(data.size());
    }
    return b + big + small;
}

// The same magnet as a scalable icon, drawn on the 32-unit grid of the bitmap one.
QByteArray magnetSvg()
{
    return QByteArray(R"(<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">
  <path d="M4 26 V14 A12 12 0 0 1 28 14 V26 H20 V14 A4 4 0 0 0 12 14 V26 Z"
        fill="#ff0000" stroke="#800000" stroke-width="1" stroke-linejoin="round"/>
  <rect x="4" y="24" width="8" height="6" fill="#c0c0c0" stroke="#808080" stroke-width="1"/>
  <rect x="20" y="24" width="8" height="6" fill="#c0c0c0" stroke="#808080" stroke-width="1"/>
  <path d="M6 22 V14" stroke="#ffffff" stroke-width="1"/>
</svg>
)");
}

// ---------- the button faces: multicoloured letters on white ----------

QImage buttonFace(const QString &text, int w, int h, int pixelSize)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont font(QStringLiteral("Liberation Sans"));
    font.setBold(true);
    font.setPixelSize(pixelSize);
    p.setFont(font);
    const QColor colours[] = {QColor(220, 20, 30), QColor(0, 110, 220),  QColor(0, 150, 40),
                              QColor(240, 140, 0), QColor(150, 30, 180), QColor(0, 160, 170)};
    const QFontMetrics metrics(font);
    double x = (w - metrics.horizontalAdvance(text)) / 2.0;
    const double baseline = (h + metrics.ascent() - metrics.descent()) / 2.0;
    int c = 0;
    for (const QChar ch : text) {
        if (!ch.isSpace()) {
            p.setPen(QColor(0, 0, 0, 60));
            p.drawText(QPointF(x + 1, baseline + 1), QString(ch));
            p.setPen(colours[c++ % 6]);
            p.drawText(QPointF(x, baseline), QString(ch));
        }
        x += metrics.horizontalAdvance(ch);
    }
    return image;
}

// ---------- the sounds ----------

QByteArray wav(const std::vector<double> &samples, int rate)
{
    QByteArray data;
    for (double v : samples)
        put16(data, quint16(qint16(std::clamp(v, -1.0, 1.0) * 32000)));
    QByteArray b("RIFF");
    put32(b, quint32(36 + data.size()));
    b.append("WAVEfmt ");
    put32(b, 16);
    put16(b, 1);
    put16(b, 1);
    put32(b, quint32(rate));
    put32(b, quint32(rate * 2));
    put16(b, 2);
    put16(b, 16);
    b.append("data");
    put32(b, quint32(data.size()));
    return b + data;
}

void addNote(std::vector<double> &out, int rate, double start, double length, double frequency,
             double volume)
{
    const int first = int(start * rate), count = int(length * rate);
    if (out.size() < size_t(first + count))
        out.resize(first + count, 0.0);
    for (int i = 0; i < count; ++i) {
        const double t = double(i) / rate;
        const double attack = std::min(1.0, t / 0.008);
        const double envelope
            = attack * std::exp(-t * 3.2 / length) * std::min(1.0, (length - t) / 0.02);
        const double tone = std::sin(2 * Pi * frequency * t)
            + 0.45 * std::sin(4 * Pi * frequency * t) + 0.2 * std::sin(6 * Pi * frequency * t)
            + 0.12 * std::sin(2 * Pi * frequency * 2.76 * t);
        out[first + i] += volume * envelope * tone;
    }
}

bool write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("wrote %s (%lld bytes)\n", qPrintable(path), static_cast<long long>(bytes.size()));
    return true;
}

bool save(const QImage &image, const QString &path, const char *format, int quality = -1)
{
    if (!image.save(path, format, quality)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("wrote %s\n", qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QDir root(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    const QString pictures = root.filePath(QStringLiteral("board/layouts/pictures"));
    const QString media = root.filePath(QStringLiteral("platform/media"));
    const QString icons = root.filePath(QStringLiteral("data/icons"));
    QDir().mkpath(pictures);
    QDir().mkpath(media);
    QDir().mkpath(icons);
    bool ok = true;

    const QImage photo = drawPhotograph();
    ok &= save(photo, pictures + QStringLiteral("/photo.jpg"), "JPG", 90);
    ok &= save(photo.convertToFormat(QImage::Format_Indexed8, Qt::DiffuseDither),
               pictures + QStringLiteral("/photo.bmp"), "BMP");
    ok &= write(pictures + QStringLiteral("/puzzle.ico"), icon16Colours());
    ok &= save(buttonFace(QStringLiteral("Esci"), 71, 37, 24),
               pictures + QStringLiteral("/esci.bmp"), "BMP");
    ok &= save(buttonFace(QStringLiteral("Mostra Puzzle"), 133, 37, 18),
               pictures + QStringLiteral("/mostra.bmp"), "BMP");
    for (int size : {16, 32, 48, 64, 128, 256})
        ok &= save(magnet(size), icons + QStringLiteral("/puzzle-%1.png").arg(size), "PNG");

    ok &= write(icons + QStringLiteral("/puzzle.svg"), magnetSvg());

    const int rate = 44100;
    std::vector<double> chime;
    addNote(chime, rate, 0.0, 0.30, 1318.5, 0.45); // E6
    addNote(chime, rate, 0.07, 0.28, 1975.5, 0.35); // B6
    ok &= write(media + QStringLiteral("/notify.wav"), wav(chime, rate));
    std::vector<double> fanfare;
    addNote(fanfare, rate, 0.00, 0.22, 523.25, 0.35); // C5
    addNote(fanfare, rate, 0.16, 0.22, 659.25, 0.35); // E5
    addNote(fanfare, rate, 0.32, 0.70, 783.99, 0.35); // G5, held
    addNote(fanfare, rate, 0.32, 0.70, 1046.5, 0.2); // with C6 above
    ok &= write(media + QStringLiteral("/tada.wav"), wav(fanfare, rate));
    return ok ? 0 : 1;
}
