#include "app/splash.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QThread>

#include <memory>

CSplashWnd::CSplashWnd(int pictureId, int timeoutMs, quint16 flags,
                       std::function<QWidget*()> mainWindow)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint), m_pictureId(pictureId),
      m_timeoutMs(timeoutMs), m_flags(flags), m_mainWindow(std::move(mainWindow))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("CSplashWnd"));
    setCursor(Qt::WaitCursor);
    setFixedSize(kWidth, kHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen(); screen != nullptr)
        move(screen->geometry().center() - rect().center());
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &CSplashWnd::OnTimer);
    show();
    raise();
    activateWindow();
    if (m_timeoutMs != kNoTimeout)
        m_timer.start(m_timeoutMs);
}

CSplashWnd::~CSplashWnd() = default;

void CSplashWnd::OnTimer()
{
    if (!(m_flags & kIgnoreMainWindow) && (!m_mainWindow || m_mainWindow() == nullptr)) {
        m_timer.start(kRecheckMs);
        return;
    }
    close();
}

void CSplashWnd::keyPressEvent(QKeyEvent* event)
{
    if (m_flags & kCloseOnInput) {
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        return;
    }
    QWidget::keyPressEvent(event);
}

void CSplashWnd::mousePressEvent(QMouseEvent* event)
{
    if (m_flags & kCloseOnInput) {
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        return;
    }
    QWidget::mousePressEvent(event);
}

void CSplashWnd::closeEvent(QCloseEvent* event)
{
    m_timer.stop();
    QWidget::closeEvent(event);
    if (QWidget* main = m_mainWindow ? m_mainWindow() : nullptr; main != nullptr) {
        main->raise();
        main->activateWindow();
    }
}

CSplash::CSplash(CSplash** ownerSlot, std::function<QWidget*()> mainWindow, QObject* parent)
    : QObject(parent), m_ownerSlot(ownerSlot)
{
    if (m_ownerSlot != nullptr)
        *m_ownerSlot = this;
    m_window = new CSplashWnd(CSplashWnd::kPictureId, kTimeoutMs, 0, std::move(mainWindow));
    // The window deletes itself on close; the object goes with it.
    connect(m_window, &QObject::destroyed, this, &QObject::deleteLater);
}

CSplash::~CSplash()
{
    delete m_window.data();
    if (m_ownerSlot != nullptr && *m_ownerSlot == this)
        *m_ownerSlot = nullptr;
}

void CSplash::Close()
{
    if (!m_window.isNull())
        QMetaObject::invokeMethod(m_window.data(), &QWidget::close, Qt::QueuedConnection);
}

void CSplash::CloseNow()
{
    if (!m_window.isNull())
        m_window->close();
}

void RunWhileSplashResponds(const std::function<void()>& work)
{
    QEventLoop loop;
    std::unique_ptr<QThread> worker(QThread::create(work));
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit,
                     Qt::QueuedConnection);
    worker->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker->wait();
}
