#include "app/startup_ui_hook.h"

#include "app/startup_test_hooks.h"
#include "platform/activation_channel.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QLocalSocket>
#include <QMessageBox>
#include <QPixmap>
#include <QTimer>

#include <cstdlib>

namespace {

QString IconName(QMessageBox::Icon icon)
{
    switch (icon) {
    case QMessageBox::Warning:
        return QStringLiteral("warning");
    case QMessageBox::Question:
        return QStringLiteral("question");
    case QMessageBox::Information:
        return QStringLiteral("information");
    case QMessageBox::Critical:
        return QStringLiteral("critical");
    case QMessageBox::NoIcon:
        break;
    }
    return QStringLiteral("none");
}

QMessageBox::StandardButton StandardButtonNamed(const QString& name)
{
    if (name == QLatin1String("yes"))
        return QMessageBox::Yes;
    if (name == QLatin1String("no"))
        return QMessageBox::No;
    if (name == QLatin1String("ok"))
        return QMessageBox::Ok;
    if (name == QLatin1String("cancel"))
        return QMessageBox::Cancel;
    return QMessageBox::NoButton;
}

} // namespace

StartupUiHook* StartupUiHook::Install(QObject* parent)
{
    if (!startup::TestHooksEnabled())
        return nullptr;
    const char* path = std::getenv(startup::kTestHookVariable);
    if (path == nullptr || *path == '\0')
        return nullptr;
    auto* socket = new QLocalSocket;
    socket->connectToServer(QString::fromLocal8Bit(path));
    if (!socket->waitForConnected(5000)) {
        delete socket;
        return nullptr;
    }
    auto* hook = new StartupUiHook(socket, parent);
    qApp->installEventFilter(hook);
    return hook;
}

StartupUiHook::StartupUiHook(QLocalSocket* socket, QObject* parent)
    : QObject(parent), m_socket(socket)
{
    m_socket->setParent(this);
    connect(m_socket, &QLocalSocket::readyRead, this, &StartupUiHook::OnReadyRead);
    Send(QStringLiteral("hello %1").arg(QCoreApplication::applicationPid()));
}

StartupUiHook::~StartupUiHook()
{
    if (QCoreApplication* app = QCoreApplication::instance(); app != nullptr)
        app->removeEventFilter(this);
}

QString StartupUiHook::Escape(const QString& text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    escaped.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    return escaped;
}

void StartupUiHook::Send(const QString& line)
{
    if (m_socket->state() != QLocalSocket::ConnectedState)
        return;
    m_socket->write(line.toUtf8() + '\n');
    m_socket->flush();
}

int StartupUiHook::IdOf(QWidget* window)
{
    if (auto it = m_ids.constFind(window); it != m_ids.constEnd() && m_windows.value(*it) == window)
        return *it;
    const int id = m_nextId++;
    m_ids.insert(window, id);
    m_windows.insert(id, window);
    return id;
}

bool StartupUiHook::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if ((type == QEvent::Show || type == QEvent::Hide) && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->isWindow() && !widget->inherits("QMenu") &&
            widget->windowType() != Qt::ToolTip) {
            const int id = IdOf(widget);
            const QString className = QString::fromLatin1(widget->metaObject()->className());
            if (type == QEvent::Hide) {
                Send(QStringLiteral("hidden %1 %2").arg(id).arg(className));
            } else if (auto* box = qobject_cast<QMessageBox*>(widget)) {
                Send(QStringLiteral("msgbox %1 %2 %3\t%4")
                         .arg(id)
                         .arg(IconName(box->icon()), Escape(box->windowTitle()),
                              Escape(box->text())));
            } else {
                Send(QStringLiteral("shown %1 %2 %3")
                         .arg(id)
                         .arg(className, Escape(widget->windowTitle())));
                // The window opens its activation channel as it shows itself.
                QTimer::singleShot(0, this, [this, guard = QPointer<QWidget>(widget)] {
                    if (guard)
                        WatchActivation(guard);
                });
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

void StartupUiHook::WatchActivation(QWidget* window)
{
    for (auto* server : window->findChildren<platform::ActivationServer*>()) {
        if (m_watchedServers.contains(server))
            continue;
        m_watchedServers.insert(server);
        connect(server, &QObject::destroyed, this,
                [this, server] { m_watchedServers.remove(server); });
        const int id = IdOf(window);
        connect(server, &platform::ActivationServer::activationRequested, this,
                [this, id] { Send(QStringLiteral("activated %1").arg(id)); });
    }
}

void StartupUiHook::OnReadyRead()
{
    while (m_socket->canReadLine())
        RunCommand(QString::fromUtf8(m_socket->readLine()).trimmed());
}

void StartupUiHook::RunCommand(const QString& line)
{
    const QString command = line.section(QLatin1Char(' '), 0, 0);
    const int id = line.section(QLatin1Char(' '), 1, 1).toInt();
    const QString argument = line.section(QLatin1Char(' '), 2);
    QWidget* window = m_windows.value(id);
    if (window == nullptr) {
        Send(QStringLiteral("error %1 no such window").arg(id));
        return;
    }
    if (command == QLatin1String("click")) {
        Click(window, argument);
    } else if (command == QLatin1String("close")) {
        QMetaObject::invokeMethod(window, &QWidget::close, Qt::QueuedConnection);
    } else if (command == QLatin1String("grab")) {
        const bool saved = window->grab().save(argument, "PNG");
        Send(QStringLiteral("grabbed %1 %2").arg(id).arg(saved ? 1 : 0));
    } else if (command == QLatin1String("state")) {
        ReportState(id, window);
    } else {
        Send(QStringLiteral("error %1 unknown command").arg(id));
    }
}

void StartupUiHook::Click(QWidget* window, const QString& button)
{
    QAbstractButton* target = nullptr;
    if (auto* box = qobject_cast<QMessageBox*>(window))
        target = box->button(StandardButtonNamed(button));
    if (target == nullptr) {
        bool isNumber = false;
        const int controlId = button.toInt(&isNumber);
        for (QAbstractButton* candidate : window->findChildren<QAbstractButton*>()) {
            const bool matches = isNumber ? candidate->property("controlId").toInt() == controlId
                                          : candidate->text().remove(QLatin1Char('&')) == button;
            if (matches && candidate->isVisible()) {
                target = candidate;
                break;
            }
        }
    }
    if (target == nullptr) {
        Send(QStringLiteral("error %1 no button %2").arg(IdOf(window)).arg(button));
        return;
    }
    // Queued, so that a modal loop that the click opens does not hold up this reader.
    QMetaObject::invokeMethod(target, &QAbstractButton::click, Qt::QueuedConnection);
}

void StartupUiHook::ReportState(int id, QWidget* window)
{
    // The texts of the window's controls by control ID; a list gives its row count; the
    // disabled controls are listed under -1.
    QStringList fields;
    QStringList disabled;
    for (QWidget* child : window->findChildren<QWidget*>()) {
        const QVariant controlId = child->property("controlId");
        if (!controlId.isValid())
            continue;
        QString text;
        if (auto* label = qobject_cast<QLabel*>(child))
            text = label->text();
        else if (auto* list = qobject_cast<QAbstractItemView*>(child))
            text = QString::number(list->model() != nullptr ? list->model()->rowCount() : 0);
        else if (child->property("text").isValid())
            text = child->property("text").toString();
        else
            continue;
        if (!child->isVisible())
            continue;
        fields << QStringLiteral("%1=%2").arg(controlId.toInt()).arg(Escape(text));
        if (!child->isEnabled())
            disabled << QString::number(controlId.toInt());
    }
    fields << QStringLiteral("-1=%1").arg(disabled.join(QLatin1Char(',')));
    Send(QStringLiteral("state %1 %2").arg(id).arg(fields.join(QLatin1Char('\t'))));
}
