#pragma once

#include <QWidget>

// The page pane of the main window until a plug-in draws into it: an empty view that the
// plug-ins use as the parent of their pages. Every change of its size is sent on as
// WM_SIZE (size type and new size) to all its descendants, so a page created inside it
// learns each new pane size.
class CUtilDummyView : public QWidget
{
    Q_OBJECT

public:
    explicit CUtilDummyView(QWidget* parent = nullptr);

protected:
    void resizeEvent(QResizeEvent* event) override;
};
