#include "pagebase_test_support.h"

#include "app/fixed_text.h"

#include <qpu/messages.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

#include <cstring>

namespace pagebase_test {

bool ProgressRecorder::event(QEvent* event)
{
    if (auto* message = qpu::WindowMessageEvent::From(event)) {
        if (message->message() == QPU_WM_PROGRESS_103) {
            values.push_back(static_cast<int>(message->wParam()));
            allOnOwnThread = allOnOwnThread && QThread::currentThread() == thread();
            message->setResult(0);
            return true;
        }
    }
    return QWidget::event(event);
}

FakeFrame::FakeFrame() = default;

bool FakeFrame::event(QEvent* event)
{
    auto* message = qpu::WindowMessageEvent::From(event);
    if (message == nullptr)
        return QWidget::event(event);
    switch (message->message()) {
    case QPU_WM_STATUS_QUERY:
        ++stateQueries;
        *reinterpret_cast<int32_t*>(message->wParam()) = state;
        return true;
    case QPU_WM_CREATE_PROGRESS:
        ++startRequests;
        if (refuseStart) {
            message->setResult(0);
        } else {
            delete progress.data();
            progress = new ProgressRecorder(this);
            message->setResult(reinterpret_cast<intptr_t>(static_cast<QObject*>(progress.data())));
        }
        return true;
    case QPU_WM_RUN_PROGRESS:
        RunRequest(*reinterpret_cast<const ProgressRequest*>(message->wParam()));
        message->setResult(0);
        return true;
    case QPU_WM_STATUS_REFRESH:
        ++refreshPosts;
        return true;
    default:
        return QWidget::event(event);
    }
}

void FakeFrame::RunRequest(const ProgressRequest& request)
{
    lastRequest = request;
    if (!endDialogAtOnce) {
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (request.progressEvent != nullptr && qpu_event_is_set(request.progressEvent)) {
                ++progressSignals;
                qpu_event_reset(request.progressEvent);
            }
            if (qpu_event_is_set(request.doneEvent))
                loop.quit();
        });
        poll.start(2);
        loop.exec();
    }
    doneWhenDialogEnded = qpu_event_is_set(request.doneEvent) != 0;
    if (progress)
        reported = progress->values;
}

void FakeFrame::closeEvent(QCloseEvent* event)
{
    ++closeRequests;
    event->ignore();
}

MessageBoxWatcher::MessageBoxWatcher(QMessageBox::StandardButton answer) : m_answer(answer)
{
    connect(&m_timer, &QTimer::timeout, this, &MessageBoxWatcher::Poll);
    m_timer.start(5);
}

void MessageBoxWatcher::Poll()
{
    // Any visible box, whether or not another modal window (the progress dialog) is up.
    QMessageBox* box = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* candidate = qobject_cast<QMessageBox*>(window);
        if (candidate != nullptr && candidate->isVisible())
            box = candidate;
    }
    if (box == nullptr)
        return;
    QWidget* owner = box->parentWidget();
    boxes.push_back(
        Box{box->windowTitle(), box->text(), box->icon(), owner,
            owner != nullptr ? QString::fromLatin1(owner->metaObject()->className()) : QString()});
    QAbstractButton* button = box->button(m_answer);
    if (button == nullptr)
        button = box->buttons().value(0);
    if (button != nullptr)
        button->click();
}

AppFixture::AppFixture() : state(std::make_unique<AppState>())
{
    std::memset(state.get(), 0, sizeof(AppState));
    languageFolder = dir.path() + QStringLiteral("/LANG/");
    QDir().mkpath(languageFolder);
    state->languageId = 0x0409;
    SetFixedText(state->languageIdText, QStringLiteral("0409"));
    SetFixedText(state->languageFolder, languageFolder);
    SetFixedText(state->programFolder, QStringLiteral(QPU_APP_DIR "/"));
    state->dataMgr = &dataMgr;
    state->appLock = lock.native();
    state->portType = PortTypeEthernet;
}

void AppFixture::WriteLanguageFile(const QString& name, const QByteArray& text)
{
    QFile file(languageFolder + name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

QByteArray EnglishLanguageFile()
{
    return "[PRINTER_SETTING_VIEW_MSG]\r\n"
           "MSG_0=Device ID text from the file.\r\n"
           "MSG_1=Communication text from the file.\r\n"
           "[PLUGIN_COMMON_MSG]\r\n"
           "MSG_0=Common text.\r\n";
}

} // namespace pagebase_test
