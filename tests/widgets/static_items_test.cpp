// The static text item (bold font, flat background) and the static picture item
// (stretched, top-left colour transparent).

#include "pages/static_item.h"
#include "pages/static_picture_item.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>
#include <QWidget>

namespace {

// A parent window painted in one colour, so that transparent areas show it.
class Backdrop : public QWidget
{
public:
    explicit Backdrop(QColor color)
    {
        setAutoFillBackground(true);
        QPalette palette;
        palette.setColor(QPalette::Window, color);
        setPalette(palette);
        resize(200, 120);
    }
    QImage Shot() { return grab().toImage().convertToFormat(QImage::Format_RGB32); }
};

TEST(StaticItem, BoldFontIsABoldCopyOfTheParentsFont)
{
    QWidget parent;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(17);
    font.setItalic(true);
    parent.setFont(font);
    auto* item = new CStaticItem(QStringLiteral("Heading"), &parent);

    item->SetBoldFont();
    EXPECT_EQ(item->font().weight(), QFont::Bold);
    EXPECT_EQ(item->font().family(), font.family());
    EXPECT_EQ(item->font().pixelSize(), 17);
    EXPECT_TRUE(item->font().italic());

    item->SetBoldFont();
    EXPECT_EQ(item->font().weight(), QFont::Bold);
    EXPECT_EQ(item->font().pixelSize(), 17);
    EXPECT_EQ(item->font().family(), font.family());
}

TEST(StaticItem, BoldFontWithoutParentChangesNothing)
{
    CStaticItem item(QStringLiteral("Alone"));
    const QFont before = item.font();
    item.SetBoldFont();
    EXPECT_EQ(item.font(), before);
    EXPECT_NE(item.font().weight(), QFont::Bold);
}

TEST(StaticItem, TextLiesOnTheFlatBackgroundColour)
{
    Backdrop window(Qt::blue);
    auto* item = new CStaticItem(QStringLiteral("Online"), &window);
    EXPECT_EQ(item->BackgroundColor(), QColor(240, 240, 240));
    item->SetBackgroundColor(QColor(250, 200, 40));
    item->setGeometry(10, 10, 150, 40);
    QPalette palette = item->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    item->setPalette(palette);
    window.show();

    const QImage shot = window.Shot();
    int background = 0;
    int text = 0;
    int other = 0;
    for (int y = 10; y < 50; ++y) {
        for (int x = 10; x < 160; ++x) {
            const QColor pixel = shot.pixelColor(x, y);
            if (pixel == QColor(250, 200, 40)) {
                ++background;
            } else if (qGray(pixel.rgb()) < 100) {
                ++text;
            } else if (pixel == QColor(Qt::blue)) {
                ++other;
            }
        }
    }
    EXPECT_GT(background, 150 * 40 / 2);
    EXPECT_GT(text, 10);
    EXPECT_EQ(other, 0); // no part of the item shows the window behind it
    EXPECT_EQ(shot.pixelColor(5, 5), QColor(Qt::blue));
}

QImage TestPicture(QColor key)
{
    // 32 x 30: key colour all round and in an inner square, a red square between.
    QImage picture(32, 30, QImage::Format_RGB32);
    picture.fill(key);
    for (int y = 5; y < 25; ++y) {
        for (int x = 6; x < 26; ++x) {
            picture.setPixelColor(x, y, Qt::red);
        }
    }
    for (int y = 12; y < 18; ++y) {
        for (int x = 13; x < 19; ++x) {
            picture.setPixelColor(x, y, key);
        }
    }
    return picture;
}

TEST(StaticPictureItem, StretchesThePictureOverTheControlWithItsCornerColourTransparent)
{
    Backdrop window(Qt::blue);
    auto* item = new CStaticPictureItem(&window);
    item->setPixmap(QPixmap::fromImage(TestPicture(Qt::white)));
    item->setGeometry(20, 10, 64, 60);
    window.show();

    const QImage shot = window.Shot();
    // Drawn at twice the size: the red square covers 12..51 x 10..49 of the control.
    EXPECT_EQ(shot.pixelColor(20 + 12, 10 + 10), QColor(Qt::red));
    EXPECT_EQ(shot.pixelColor(20 + 51, 10 + 49), QColor(Qt::red));
    EXPECT_EQ(shot.pixelColor(20 + 11, 10 + 30), QColor(Qt::blue));
    EXPECT_EQ(shot.pixelColor(20 + 52, 10 + 30), QColor(Qt::blue));
    // Every white pixel is left out, the inner ones too.
    EXPECT_EQ(shot.pixelColor(20 + 0, 10 + 0), QColor(Qt::blue));
    EXPECT_EQ(shot.pixelColor(20 + 32, 10 + 30), QColor(Qt::blue));
    int white = 0;
    for (int y = 10; y < 70; ++y) {
        for (int x = 20; x < 84; ++x) {
            white += shot.pixelColor(x, y) == QColor(Qt::white) ? 1 : 0;
        }
    }
    EXPECT_EQ(white, 0);
}

TEST(StaticPictureItem, AnyCornerColourIsTheTransparentOne)
{
    Backdrop window(Qt::blue);
    auto* item = new CStaticPictureItem(&window);
    QImage picture = TestPicture(Qt::magenta);
    picture.setPixelColor(31, 29, Qt::white); // white is kept when it is not the key
    item->setPixmap(QPixmap::fromImage(picture));
    item->setGeometry(0, 0, 32, 30);
    window.show();

    const QImage shot = window.Shot();
    EXPECT_EQ(shot.pixelColor(0, 0), QColor(Qt::blue));
    EXPECT_EQ(shot.pixelColor(15, 15), QColor(Qt::blue));
    EXPECT_EQ(shot.pixelColor(31, 29), QColor(Qt::white));
    EXPECT_EQ(shot.pixelColor(8, 8), QColor(Qt::red));
}

TEST(StaticPictureItem, WithoutPicturePaintsNothing)
{
    Backdrop window(Qt::blue);
    auto* item = new CStaticPictureItem(&window);
    item->setGeometry(0, 0, 50, 50);
    window.show();
    EXPECT_TRUE(item->MaskedPicture().isNull());
    const QImage shot = window.Shot();
    EXPECT_EQ(shot.pixelColor(25, 25), QColor(Qt::blue));
}

TEST(StaticPictureItem, ANewPictureReplacesTheMaskedOne)
{
    CStaticPictureItem item;
    item.setPixmap(QPixmap::fromImage(TestPicture(Qt::white)));
    EXPECT_EQ(item.MaskedPicture().pixel(0, 0), 0u);
    EXPECT_EQ(qAlpha(item.MaskedPicture().pixel(8, 8)), 255);

    QImage plain(4, 4, QImage::Format_RGB32);
    plain.fill(Qt::green);
    plain.setPixelColor(1, 1, Qt::red);
    item.setPixmap(QPixmap::fromImage(plain));
    EXPECT_EQ(item.MaskedPicture().size(), QSize(4, 4));
    EXPECT_EQ(qAlpha(item.MaskedPicture().pixel(3, 3)), 0);
    EXPECT_EQ(item.MaskedPicture().pixelColor(1, 1), QColor(Qt::red));
}

} // namespace
