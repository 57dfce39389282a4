#pragma once

#include <qpu/app_state.h>

#include <QPointer>
#include <QWidget>

#include <cstdint>

// What a page's controller hands the page when it creates the page's window: the shared
// block, the window that receives the page's requests (progress dialog, refresh, close),
// the block that holds the page's setting data, and the value every page of the set gets.
struct FormViewContext
{
    AppState* appState = nullptr;
    QPointer<QWidget> mainWindow;
    quint32 blockId = 0;
    int32_t pageValue = 0;
};
