#pragma once

#include <QColor>
#include <QSplitter>

// A splitter whose panes only the program sizes: its bars cannot be dragged, show no
// resize cursor and are drawn as 1-pixel outlines in the colour of the window face, so
// that the panes look joined. The main frame has two of them.
class CUtilSplitterWnd : public QSplitter
{
    Q_OBJECT

public:
    // Width of a bar between two panes, in pixels.
    static constexpr int kBarWidth = 2;
    // The outline colour of the bars (red, green and blue 240).
    static constexpr QRgb kBarColor = 0xF0F0F0;

    explicit CUtilSplitterWnd(Qt::Orientation orientation, QWidget* parent = nullptr);

protected:
    QSplitterHandle* createHandle() override;
};
