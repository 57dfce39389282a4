#include "mainwnd/util_dummy_view.h"

#include <qpu/window_message.h>

#include <QPointer>
#include <QResizeEvent>

#include <vector>

CUtilDummyView::CUtilDummyView(QWidget* parent) : QWidget(parent)
{
    setProperty("controlId", 101);
    setAutoFillBackground(true);
}

void CUtilDummyView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const intptr_t size = qpu::MakeSizeParam(event->size().width(), event->size().height());
    // A page may create or delete windows while it handles the message; guard each one.
    std::vector<QPointer<QWidget>> descendants;
    for (QWidget* child : findChildren<QWidget*>())
        descendants.emplace_back(child);
    for (const QPointer<QWidget>& child : descendants) {
        if (child)
            qpu::SendWindowMessage(child.data(), QPU_WM_SIZE, QPU_SIZE_RESTORED, size);
    }
}
