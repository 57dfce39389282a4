#pragma once

#include <QColor>
#include <QLabel>

// A static text drawn straight onto a flat background colour, bold on request. The
// printer selection dialog uses one for its heading and the status view five for its
// lines. Owners bind it by control ID like any static control and set its colour. The item
// paints its whole area in that colour itself, so the text never gets a box of another
// colour around it, whatever the parent's or the style's background.
class CStaticItem : public QLabel
{
    Q_OBJECT

public:
    // The page background colour that every owner sets: RGB(240, 240, 240).
    static constexpr QRgb kDefaultBackground = qRgb(240, 240, 240);

    explicit CStaticItem(QWidget* parent = nullptr);
    CStaticItem(const QString& text, QWidget* parent = nullptr);

    // Gives the item a bold copy of its parent's font: same family, size and every other
    // attribute, weight 700. Does nothing without a parent. Calling it again replaces the
    // font with a fresh bold copy of the parent's current font.
    void SetBoldFont();

    // The colour the item's whole area is filled with before the text is drawn.
    void SetBackgroundColor(const QColor& color);
    QColor BackgroundColor() const { return m_background; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_background{kDefaultBackground};
};
