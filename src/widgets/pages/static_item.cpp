#include "pages/static_item.h"

#include <QPainter>

CStaticItem::CStaticItem(QWidget* parent) : QLabel(parent) {}

CStaticItem::CStaticItem(const QString& text, QWidget* parent) : QLabel(text, parent) {}

void CStaticItem::SetBoldFont()
{
    const QWidget* owner = parentWidget();
    if (owner == nullptr) {
        return;
    }
    QFont bold = owner->font();
    bold.setWeight(QFont::Bold);
    setFont(bold);
    update();
}

void CStaticItem::SetBackgroundColor(const QColor& color)
{
    m_background = color;
    update();
}

void CStaticItem::paintEvent(QPaintEvent* event)
{
    {
        QPainter painter(this);
        painter.fillRect(rect(), m_background);
    }
    // QLabel draws only the text (and a frame when one is set), never a background box of
    // its own, so the text lies on the flat colour.
    QLabel::paintEvent(event);
}
