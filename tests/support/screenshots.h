#pragma once

#include <QDir>
#include <QString>

// Pictures for people: cases that show a window save a picture of it only when
// QPU_SCREENSHOTS is set, into the build folder's screenshots/ (never elsewhere). Empty
// when no pictures are wanted.
inline QString ScreenshotFolder()
{
    if (qEnvironmentVariableIsEmpty("QPU_SCREENSHOTS"))
        return {};
    const QString folder = QStringLiteral(QPU_TEST_SCREENSHOT_DIR);
    return QDir().mkpath(folder) ? folder + QLatin1Char('/') : QString();
}
