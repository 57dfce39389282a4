#include "pages/static_picture_item.h"

#include <QPainter>
#include <QPixmap>

namespace {

QImage MaskKeyColor(const QImage& picture)
{
    QImage masked = picture.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = masked.pixel(0, 0) | 0xFF000000u;
    for (int y = 0; y < masked.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(masked.scanLine(y));
        for (int x = 0; x < masked.width(); ++x) {
            if ((line[x] | 0xFF000000u) == key) {
                line[x] = 0;
            }
        }
    }
    return masked;
}

} // namespace

CStaticPictureItem::CStaticPictureItem(QWidget* parent) : QLabel(parent) {}

QImage CStaticPictureItem::MaskedPicture() const
{
    const QPixmap picture = pixmap();
    if (picture.isNull()) {
        return {};
    }
    if (m_masked.isNull() || m_maskedKey != picture.cacheKey()) {
        m_masked = MaskKeyColor(picture.toImage());
        m_maskedKey = picture.cacheKey();
    }
    return m_masked;
}

void CStaticPictureItem::paintEvent(QPaintEvent* /*event*/)
{
    const QImage picture = MaskedPicture();
    if (picture.isNull()) {
        return;
    }
    // Stretched or shrunk to the control pixel by pixel, without smoothing, so that the
    // transparent colour stays a sharp mask.
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(rect(), picture);
}
