#pragma once

#include <QImage>
#include <QLabel>

// A static picture stretched over the whole control, with the colour of the picture's
// top-left pixel treated as transparent, so that the window's background shows through
// wherever the picture has that colour. The picture is the label's pixmap (setPixmap); a
// control without one paints nothing.
class CStaticPictureItem : public QLabel
{
    Q_OBJECT

public:
    explicit CStaticPictureItem(QWidget* parent = nullptr);

    // The picture with every pixel of the key colour made fully transparent; a null image
    // when the item has no picture.
    QImage MaskedPicture() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The masked picture is made once per pixmap and reused until the pixmap changes.
    mutable QImage m_masked;
    mutable qint64 m_maskedKey = 0;
};
