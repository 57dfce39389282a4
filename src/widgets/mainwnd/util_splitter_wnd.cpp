#include "mainwnd/util_splitter_wnd.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <QRegion>
#include <QResizeEvent>

namespace {

// A bar that swallows the mouse: no dragging, no resize cursor.
class FixedSplitterHandle final : public QSplitterHandle
{
public:
    FixedSplitterHandle(Qt::Orientation orientation, QSplitter* parent)
        : QSplitterHandle(orientation, parent)
    {
        setCursor(Qt::ArrowCursor);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setPen(QPen(QColor(CUtilSplitterWnd::kBarColor), 1));
        // The splitter may widen a narrow bar to make it easier to grab, keeping the bar
        // itself as the contents; only the bar is drawn.
        const QRect r = contentsRect();
        // Left edge down, bottom edge right, right edge up, top edge left; nothing filled.
        painter.drawLine(r.topLeft(), r.bottomLeft());
        painter.drawLine(r.bottomLeft(), r.bottomRight());
        painter.drawLine(r.bottomRight(), r.topRight());
        painter.drawLine(r.topRight(), r.topLeft());
    }
    void resizeEvent(QResizeEvent* event) override
    {
        QSplitterHandle::resizeEvent(event);
        // The widened part would cover the panes' edges; there is nothing to grab anyway.
        setMask(QRegion(contentsRect()));
    }
    void mousePressEvent(QMouseEvent* event) override { event->accept(); }
    void mouseMoveEvent(QMouseEvent* event) override { event->accept(); }
    void mouseReleaseEvent(QMouseEvent* event) override { event->accept(); }
    void mouseDoubleClickEvent(QMouseEvent* event) override { event->accept(); }
};

} // namespace

CUtilSplitterWnd::CUtilSplitterWnd(Qt::Orientation orientation, QWidget* parent)
    : QSplitter(orientation, parent)
{
    setHandleWidth(kBarWidth);
    setChildrenCollapsible(false);
    setOpaqueResize(true);
}

QSplitterHandle* CUtilSplitterWnd::createHandle()
{
    return new FixedSplitterHandle(orientation(), this);
}
