// Simple pictograms for menus and the toolbar, drawn on a 32 x 32 grid.
#include "shell/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace zentrel::gui {

namespace {
const QColor kInk(40, 48, 64);
const QColor kBlue(46, 110, 190);
const QColor kGreen(70, 150, 80);
const QColor kRed(200, 60, 50);
const QColor kPaper(250, 250, 245);
const QColor kSand(230, 200, 120);

void drawPrinter(QPainter& p) {
    p.setBrush(kPaper);
    p.drawRect(9, 4, 14, 9);
    p.setBrush(QColor(170, 175, 185));
    p.drawRoundedRect(4, 12, 24, 11, 2, 2);
    p.setBrush(kPaper);
    p.drawRect(9, 19, 14, 9);
    p.drawLine(11, 23, 21, 23);
}

void drawGlobe(QPainter& p, const QRectF& r) {
    p.setBrush(QColor(120, 180, 230));
    p.drawEllipse(r);
    p.setBrush(kGreen);
    QPainterPath land;
    land.moveTo(r.left() + r.width() * 0.3, r.top() + r.height() * 0.2);
    land.cubicTo(r.left() + r.width() * 0.6, r.top() + r.height() * 0.25, r.left() + r.width() * 0.45,
                 r.top() + r.height() * 0.55, r.left() + r.width() * 0.55, r.top() + r.height() * 0.8);
    land.cubicTo(r.left() + r.width() * 0.3, r.top() + r.height() * 0.7, r.left() + r.width() * 0.15,
                 r.top() + r.height() * 0.45, r.left() + r.width() * 0.3, r.top() + r.height() * 0.2);
    p.drawPath(land);
}

void drawPin(QPainter& p, QPointF tip, qreal size) {
    QPainterPath pin;
    pin.moveTo(tip);
    pin.cubicTo(tip + QPointF(-size * 0.9, -size * 0.9), tip + QPointF(-size * 0.6, -size * 1.9),
                tip + QPointF(0, -size * 1.9));
    pin.cubicTo(tip + QPointF(size * 0.6, -size * 1.9), tip + QPointF(size * 0.9, -size * 0.9), tip);
    p.setBrush(kRed);
    p.drawPath(pin);
    p.setBrush(Qt::white);
    p.drawEllipse(tip + QPointF(0, -size * 1.3), size * 0.3, size * 0.3);
}

void drawWindowFrame(QPainter& p, const QRectF& r) {
    p.setBrush(kPaper);
    p.drawRect(r);
    p.setBrush(kBlue);
    p.drawRect(QRectF(r.left(), r.top(), r.width(), 4));
}

void drawLetter(QPainter& p, const QRectF& r, const QString& text, const QColor& background) {
    p.setBrush(background);
    p.drawEllipse(r);
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(static_cast<int>(r.height() * 0.7));
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(r, Qt::AlignCenter, text);
}

void paint(QPainter& p, Picture picture) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kInk, 1.5));
    switch (picture) {
        case Picture::Save:
            p.setBrush(kBlue);
            p.drawRoundedRect(4, 4, 24, 24, 2, 2);
            p.setBrush(kPaper);
            p.drawRect(9, 4, 14, 9);
            p.setBrush(QColor(200, 205, 215));
            p.drawRect(8, 18, 16, 10);
            break;
        case Picture::Print: drawPrinter(p); break;
        case Picture::PrinterSetup:
            drawPrinter(p);
            p.setBrush(kSand);
            p.drawEllipse(QPointF(24, 24), 6, 6);
            p.setBrush(Qt::white);
            p.drawEllipse(QPointF(24, 24), 2, 2);
            break;
        case Picture::SetLocation:
            p.setBrush(kPaper);
            p.drawRect(4, 20, 24, 8);
            drawPin(p, {16, 26}, 10);
            break;
        case Picture::LocationBitmap:
            drawGlobe(p, {4, 4, 24, 24});
            drawPin(p, {20, 20}, 6);
            break;
        case Picture::RasterMap:
            for (int i = 0; i < 4; ++i)
                for (int j = 0; j < 4; ++j) {
                    static const QColor shades[] = {QColor(90, 160, 90), QColor(170, 200, 110), kSand, QColor(180, 140, 90)};
                    p.setBrush(shades[(i + j) % 4]);
                    p.drawRect(4 + i * 6, 4 + j * 6, 6, 6);
                }
            drawPin(p, {22, 22}, 6);
            break;
        case Picture::LocationFile:
            p.setBrush(kPaper);
            p.drawPolygon(QPolygonF({{7, 3}, {20, 3}, {26, 9}, {26, 29}, {7, 29}}));
            for (int y = 12; y <= 24; y += 4) p.drawLine(10, y, 23, y);
            break;
        case Picture::LocationGrid:
            p.setBrush(kPaper);
            p.drawRect(4, 4, 24, 24);
            p.setPen(QPen(QColor(150, 160, 175), 1));
            for (int i = 1; i < 4; ++i) {
                p.drawLine(4 + i * 6, 4, 4 + i * 6, 28);
                p.drawLine(4, 4 + i * 6, 28, 4 + i * 6);
            }
            p.setPen(Qt::NoPen);
            p.setBrush(kRed);
            for (int i = 0; i < 4; ++i)
                for (int j = 0; j < 4; ++j) p.drawEllipse(QPointF(7 + i * 6, 7 + j * 6), 1.6, 1.6);
            break;
        case Picture::ViewData:
            p.setBrush(kPaper);
            p.drawRect(4, 6, 24, 20);
            p.setBrush(kBlue);
            for (int i = 0; i < 5; ++i) {
                const int h = (i * 7 + 5) % 13 + 3;
                p.drawRect(7 + i * 4, 24 - h, 3, h);
            }
            break;
        case Picture::WorkBench:
            p.setBrush(kSand);
            p.drawRect(3, 18, 26, 5);
            p.drawLine(6, 23, 6, 29);
            p.drawLine(26, 23, 26, 29);
            p.setBrush(QColor(150, 155, 165));
            p.drawRect(9, 6, 14, 6);
            p.drawLine(16, 12, 16, 18);
            break;
        case Picture::Help: drawLetter(p, {4, 4, 24, 24}, QStringLiteral("?"), kBlue); break;
        case Picture::Index:
            p.setBrush(kPaper);
            p.drawRect(6, 3, 20, 26);
            {
                QFont font = p.font();
                font.setBold(true);
                font.setPixelSize(10);
                p.setFont(font);
                p.drawText(QRectF(6, 4, 20, 12), Qt::AlignCenter, QStringLiteral("A-Z"));
            }
            for (int y = 18; y <= 26; y += 4) p.drawLine(9, y, 23, y);
            break;
        case Picture::About: drawLetter(p, {4, 4, 24, 24}, QStringLiteral("i"), kGreen); break;
        case Picture::Cascade:
            drawWindowFrame(p, {3, 3, 17, 13});
            drawWindowFrame(p, {8, 9, 17, 13});
            drawWindowFrame(p, {13, 15, 16, 13});
            break;
        case Picture::TileHorizontal:
            drawWindowFrame(p, {4, 4, 24, 11});
            drawWindowFrame(p, {4, 17, 24, 11});
            break;
        case Picture::TileVertical:
            drawWindowFrame(p, {4, 4, 11, 24});
            drawWindowFrame(p, {17, 4, 11, 24});
            break;
        case Picture::Coordinates: {
            QFont font = p.font();
            font.setBold(true);
            font.setPixelSize(13);
            p.setFont(font);
            p.setBrush(kPaper);
            p.drawRoundedRect(2, 5, 28, 22, 3, 3);
            p.drawText(QRectF(2, 5, 28, 22), Qt::AlignCenter, QStringLiteral("°'\""));
            break;
        }
        case Picture::Settings:
            for (int i = 0; i < 3; ++i) {
                const int y = 8 + i * 8;
                p.drawLine(5, y, 27, y);
                p.setBrush(i == 1 ? kRed : kBlue);
                p.drawRect(QRectF(8 + ((i * 9) % 14), y - 3, 5, 6));
            }
            break;
        case Picture::OutputFormat:
            p.setBrush(kPaper);
            p.drawPolygon(QPolygonF({{7, 3}, {20, 3}, {26, 9}, {26, 29}, {7, 29}}));
            {
                QFont font = p.font();
                font.setBold(true);
                font.setPixelSize(9);
                p.setFont(font);
                p.setPen(kBlue);
                p.drawText(QRectF(7, 12, 19, 12), Qt::AlignCenter, QStringLiteral("FMT"));
            }
            break;
    }
}

QPixmap render(Picture picture, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.scale(size / 32.0, size / 32.0);
    paint(p, picture);
    return pixmap;
}
}  // namespace

QIcon pictureIcon(Picture picture) {
    QIcon icon;
    for (int size : {16, 24, 32}) icon.addPixmap(render(picture, size));
    return icon;
}

}  // namespace zentrel::gui
