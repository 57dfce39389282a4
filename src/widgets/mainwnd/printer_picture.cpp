#include "mainwnd/printer_picture.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPolygon>

namespace {

// Drawn without antialiasing: a blended edge pixel would be neither the key colour nor
// the printer's, and would show as a pink fringe once the key colour is made transparent.
void DrawReceipt(QPainter& painter)
{
    // The paper coming out of the slot, with a torn top edge.
    QPolygon paper;
    paper << QPoint(14, 19) << QPoint(14, 5);
    for (int x = 14, up = 1; x <= 33; x += 2, up = 1 - up)
        paper << QPoint(x, up ? 3 : 5);
    paper << QPoint(34, 4) << QPoint(34, 19);
    painter.setPen(QColor(120, 128, 140));
    painter.setBrush(QColor(255, 255, 255));
    painter.drawPolygon(paper);
    // Printed lines: a heading, items and a total.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(90, 100, 115));
    painter.drawRect(19, 7, 10, 1);
    painter.setBrush(QColor(150, 158, 170));
    for (int y = 10; y <= 14; y += 2) {
        painter.drawRect(17, y, 8, 1);
        painter.drawRect(28, y, 3, 1);
    }
    painter.setBrush(QColor(90, 100, 115));
    painter.drawRect(17, 16, 14, 1);
}

void DrawBody(QPainter& painter)
{
    const QColor outline(62, 70, 82);
    // Top cover, narrower at the back.
    QPolygon cover;
    cover << QPoint(7, 17) << QPoint(41, 17) << QPoint(44, 23) << QPoint(4, 23);
    QLinearGradient coverShade(0, 17, 0, 23);
    coverShade.setColorAt(0, QColor(196, 204, 214));
    coverShade.setColorAt(1, QColor(226, 231, 237));
    painter.setPen(outline);
    painter.setBrush(coverShade);
    painter.drawPolygon(cover);
    // The paper slot across the cover, the receipt disappearing into it.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(40, 46, 56));
    painter.drawRect(11, 19, 26, 2);
    painter.setBrush(QColor(255, 255, 255));
    painter.drawRect(15, 19, 19, 1);

    // Front.
    QLinearGradient frontShade(0, 23, 0, 42);
    frontShade.setColorAt(0, QColor(236, 239, 243));
    frontShade.setColorAt(1, QColor(176, 184, 195));
    painter.setPen(outline);
    painter.setBrush(frontShade);
    painter.drawRect(4, 23, 40, 18);
    // Cover seam and the dark band of the control panel.
    painter.setPen(QColor(150, 158, 170));
    painter.drawLine(5, 28, 43, 28);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(52, 60, 72));
    painter.drawRect(28, 31, 13, 7);
    // Power and error lamps, feed button.
    painter.setBrush(QColor(60, 210, 90));
    painter.drawRect(30, 33, 2, 2);
    painter.setBrush(QColor(255, 170, 40));
    painter.drawRect(34, 33, 2, 2);
    painter.setBrush(QColor(200, 206, 214));
    painter.drawRect(38, 32, 2, 4);
    // Maker's badge.
    painter.setBrush(QColor(70, 110, 180));
    painter.drawRect(8, 32, 10, 3);

    // Base with two feet.
    painter.setBrush(QColor(62, 70, 82));
    painter.drawRect(4, 42, 41, 2);
    painter.drawRect(7, 44, 6, 2);
    painter.drawRect(35, 44, 6, 2);
}

QImage DrawPrinterPicture()
{
    QImage canvas(kPrinterPictureSize, kPrinterPictureSize, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(kPrinterPictureKeyColor);
    {
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::Antialiasing, false);
        DrawReceipt(painter);
        DrawBody(painter);
    }
    return canvas.convertToFormat(QImage::Format_RGB888);
}

} // namespace

QImage PrinterPicture()
{
    static const QImage picture = DrawPrinterPicture();
    return picture;
}
