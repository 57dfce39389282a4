#pragma once

#include <QImage>
#include <QString>

struct MenuLayout;

// The four pictures of the menu: the background behind the whole menu and the pictures
// behind the on-mouse, selected and selecting rows. Each comes from the file that the menu
// definition names (any image format the toolkit reads; a name without a folder is taken
// relative to the current directory) or, when the name is empty or the file cannot be
// read, from the built-in picture. Built-in pictures are 24 bits per pixel: background
// 223 x 540, state pictures 223 x 30.
class MenuPictures
{
public:
    static constexpr int kBuiltInWidth = 223;
    static constexpr int kBuiltInBackgroundHeight = 540;
    static constexpr int kBuiltInRowHeight = 30;

    MenuPictures();
    // Loads the pictures that the layout names; transparent state pictures when the
    // layout asks for them.
    explicit MenuPictures(const MenuLayout& layout);

    const QImage& Background() const { return m_background; }
    const QImage& OnMouse() const { return m_onMouse; }
    const QImage& Selected() const { return m_selected; }
    const QImage& Selecting() const { return m_selecting; }

    static QImage BuiltInBackground();
    static QImage BuiltInOnMouse();
    static QImage BuiltInSelected();
    static QImage BuiltInSelecting();

    // The file's picture, or the built-in one when the name is empty or the file does not
    // hold a picture.
    static QImage LoadOrBuiltIn(const QString& fileName, QImage (*builtIn)());
    // The picture with every pixel of the colour at its centre (width / 2, height / 2)
    // made fully transparent.
    static QImage WithCentreColorTransparent(const QImage& picture);

private:
    QImage m_background;
    QImage m_onMouse;
    QImage m_selected;
    QImage m_selecting;
};
