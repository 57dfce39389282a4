#include "mainwnd/menu_pictures.h"

#include "mainwnd/menu_file.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr QRgb kAccent = qRgb(0x2a, 0x6c, 0xc0);
constexpr QRgb kAccentDark = qRgb(0x1d, 0x4f, 0x8f);

// Draws with paint on a fresh picture of the given size and hands it back at 24 bits per
// pixel, the depth of the program's own pictures.
template <typename Paint> QImage DrawPicture(int width, int height, Paint paint)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        paint(painter, QRectF(0, 0, width, height));
    }
    return image.convertToFormat(QImage::Format_RGB888);
}

void FillVertical(QPainter& painter, const QRectF& area, const QColor& top, const QColor& bottom)
{
    QLinearGradient gradient(area.topLeft(), area.bottomLeft());
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    painter.fillRect(area, gradient);
}

void HorizontalLine(QPainter& painter, qreal y, int width, const QColor& color)
{
    painter.fillRect(QRectF(0, y, width, 1), color);
}

// A band whose upper edge is one soft wave from the left edge to the right edge.
QPainterPath WaveBand(const QRectF& area, qreal leftY, qreal rightY, qreal swing)
{
    QPainterPath path;
    path.moveTo(0, leftY);
    path.cubicTo(area.width() * 0.35, leftY - swing, area.width() * 0.65, rightY + swing,
                 area.width(), rightY);
    path.lineTo(area.width(), area.height());
    path.lineTo(0, area.height());
    path.closeSubpath();
    return path;
}

// The state pictures share a frame: a vertical gradient with a light upper and a darker
// lower edge line, and an accent bar at the left.
QImage StatePicture(const QColor& top, const QColor& bottom, const QColor& upperLine,
                    const QColor& lowerLine, const QColor& accent, int accentWidth, bool arrow)
{
    const int width = MenuPictures::kBuiltInWidth;
    const int height = MenuPictures::kBuiltInRowHeight;
    return DrawPicture(width, height, [&](QPainter& painter, const QRectF& area) {
        FillVertical(painter, area, top, bottom);
        HorizontalLine(painter, 0, width, upperLine);
        HorizontalLine(painter, height - 1, width, lowerLine);
        painter.fillRect(QRectF(0, 0, accentWidth, height), accent);
        if (arrow) {
            QPainterPath chevron;
            const qreal x = width - 16;
            const qreal y = height / 2.0;
            chevron.moveTo(x, y - 5);
            chevron.lineTo(x + 5, y);
            chevron.lineTo(x, y + 5);
            painter.setPen(QPen(accent, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            painter.drawPath(chevron);
        }
    });
}

} // namespace

MenuPictures::MenuPictures()
    : m_background(BuiltInBackground()), m_onMouse(BuiltInOnMouse()), m_selected(BuiltInSelected()),
      m_selecting(BuiltInSelecting())
{}

MenuPictures::MenuPictures(const MenuLayout& layout)
    : m_background(LoadOrBuiltIn(layout.backgroundPicture, &BuiltInBackground)),
      m_onMouse(LoadOrBuiltIn(layout.onMousePicture, &BuiltInOnMouse)),
      m_selected(LoadOrBuiltIn(layout.selectedPicture, &BuiltInSelected)),
      m_selecting(LoadOrBuiltIn(layout.selectingPicture, &BuiltInSelecting))
{
    if (layout.IsTransparent()) {
        m_onMouse = WithCentreColorTransparent(m_onMouse);
        m_selected = WithCentreColorTransparent(m_selected);
        m_selecting = WithCentreColorTransparent(m_selecting);
    }
}

QImage MenuPictures::LoadOrBuiltIn(const QString& fileName, QImage (*builtIn)())
{
    if (!fileName.isEmpty()) {
        QImage picture(fileName);
        if (!picture.isNull())
            return picture;
    }
    return builtIn();
}

QImage MenuPictures::WithCentreColorTransparent(const QImage& picture)
{
    if (picture.isNull())
        return picture;
    QImage result = picture.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = result.pixel(result.width() / 2, result.height() / 2) | 0xFF000000u;
    for (int y = 0; y < result.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < result.width(); ++x) {
            if ((line[x] | 0xFF000000u) == key)
                line[x] = 0;
        }
    }
    return result;
}

QImage MenuPictures::BuiltInBackground()
{
    const int width = kBuiltInWidth;
    const int height = kBuiltInBackgroundHeight;
    return DrawPicture(width, height, [&](QPainter& painter, const QRectF& area) {
        QLinearGradient base(area.topLeft(), area.bottomLeft());
        base.setColorAt(0.0, QColor(0xf8, 0xfa, 0xfd));
        base.setColorAt(0.6, QColor(0xee, 0xf3, 0xf9));
        base.setColorAt(1.0, QColor(0xdc, 0xe6, 0xf2));
        painter.fillRect(area, base);

        // Soft waves rising into a solid band that carries the product name.
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x5a, 0xa0, 0xe6, 40));
        painter.drawPath(WaveBand(area, height - 150, height - 110, 26));
        painter.setBrush(QColor(0x2a, 0x6c, 0xc0, 46));
        painter.drawPath(WaveBand(area, height - 105, height - 135, 22));
        QLinearGradient band(0, height - 80, 0, height);
        band.setColorAt(0, QColor(kAccent));
        band.setColorAt(1, QColor(kAccentDark));
        painter.setBrush(band);
        painter.drawPath(WaveBand(area, height - 62, height - 84, 14));

        QFont name(QStringLiteral("Sans Serif"));
        name.setPixelSize(17);
        name.setWeight(QFont::Bold);
        painter.setFont(name);
        painter.setPen(QColor(0xff, 0xff, 0xff));
        painter.drawText(QRectF(14, height - 46, width - 28, 22), Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("QP-R60"));
        QFont utility = name;
        utility.setPixelSize(12);
        utility.setWeight(QFont::Normal);
        painter.setFont(utility);
        painter.setPen(QColor(0xd6, 0xe6, 0xf8));
        painter.drawText(QRectF(14, height - 26, width - 28, 16), Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("Utility"));

        // A fine edge towards the page area.
        painter.fillRect(QRectF(width - 1, 0, 1, height), QColor(0xc5, 0xd3, 0xe3));
    });
}

QImage MenuPictures::BuiltInOnMouse()
{
    return StatePicture(QColor(0xf3, 0xf8, 0xfe), QColor(0xe0, 0xed, 0xfb),
                        QColor(0xff, 0xff, 0xff), QColor(0xc6, 0xdb, 0xf3),
                        QColor(0x9c, 0xc2, 0xec), 3, false);
}

QImage MenuPictures::BuiltInSelected()
{
    return StatePicture(QColor(0xdb, 0xea, 0xfb), QColor(0xbb, 0xd6, 0xf6),
                        QColor(0xee, 0xf5, 0xfd), QColor(0x8f, 0xb6, 0xe6), QColor(kAccent), 4,
                        true);
}

QImage MenuPictures::BuiltInSelecting()
{
    return StatePicture(QColor(0xb6, 0xd2, 0xf4), QColor(0xd2, 0xe4, 0xf9),
                        QColor(0x8f, 0xb6, 0xe6), QColor(0xd2, 0xe4, 0xf9), QColor(kAccentDark), 4,
                        true);
}
