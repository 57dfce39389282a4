#include "app/startup_ui_hook.h"

#include "app/startup_test_hooks.h"
#include "platform/activation_channel.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QListWidget>
#include <QLocalSocket>
#include <QMessageBox>
#include <QMouseEvent>
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

// The control that path names below window: object names joined by '/', each looked for
// below the one before ("PrintSettingsPage/apply"); null when one is missing.
QWidget* FindControl(QWidget* window, const QString& path)
{
    QWidget* control = window;
    for (const QString& name : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        control = control->findChild<QWidget*>(name);
        if (control == nullptr)
            break;
    }
    return control == window ? nullptr : control;
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
                const QWidget* owner = box->parentWidget();
                Send(QStringLiteral("owner %1 %2")
                         .arg(id)
                         .arg(owner != nullptr
                                  ? QString::fromLatin1(owner->window()->metaObject()->className())
                                  : QStringLiteral("none")));
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
        // A second copy started from here on finds this window.
        if (server->isListening())
            Send(QStringLiteral("listening %1").arg(id));
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
    } else if (command == QLatin1String("menu")) {
        SelectMenuRow(id, window, argument);
    } else if (command == QLatin1String("set")) {
        SetControl(id, window, argument);
    } else if (command == QLatin1String("get")) {
        ReportControl(id, window, argument);
    } else if (command == QLatin1String("press")) {
        PressControl(id, window, argument);
    } else if (command == QLatin1String("size")) {
        ReportSize(id, window);
    } else if (command == QLatin1String("resize")) {
        window->resize(argument.section(QLatin1Char(' '), 0, 0).toInt(),
                       argument.section(QLatin1Char(' '), 1, 1).toInt());
        ReportSize(id, window);
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

void StartupUiHook::SelectMenuRow(int id, QWidget* window, const QString& row)
{
    QListWidget* menu = nullptr;
    for (QListWidget* candidate : window->findChildren<QListWidget*>()) {
        if (candidate->inherits("CUtilMenuView")) {
            menu = candidate;
            break;
        }
    }
    if (menu == nullptr) {
        Send(QStringLiteral("error %1 no menu").arg(id));
        return;
    }
    bool isNumber = false;
    int index = row.toInt(&isNumber);
    if (!isNumber) {
        index = -1;
        for (int i = 0; i < menu->count() && index < 0; ++i)
            if (menu->item(i)->text() == row)
                index = i;
    }
    if (index < 0 || index >= menu->count()) {
        Send(QStringLiteral("error %1 no menu row %2").arg(id).arg(row));
        return;
    }
    const QPointF local = QRectF(menu->visualItemRect(menu->item(index))).center();
    const QPointF global = menu->viewport()->mapToGlobal(local);
    // Queued, so that a page that opens a modal loop does not hold up this reader.
    QTimer::singleShot(0, menu, [menu, local, global] {
        QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(menu->viewport(), &press);
        QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QCoreApplication::sendEvent(menu->viewport(), &release);
    });
    Send(QStringLiteral("menu %1 %2").arg(id).arg(index));
}

void StartupUiHook::SetControl(int id, QWidget* window, const QString& argument)
{
    const QString name = argument.section(QLatin1Char(' '), 0, 0);
    const QString value = argument.section(QLatin1Char(' '), 1);
    QWidget* control = FindControl(window, name);
    bool done = false;
    if (auto* combo = qobject_cast<QComboBox*>(control)) {
        int index = -1;
        if (value.startsWith(QLatin1Char('#'))) {
            index = value.mid(1).toInt();
        } else {
            bool isNumber = false;
            const int data = value.toInt(&isNumber);
            index = isNumber ? combo->findData(data) : combo->findData(value);
        }
        if (index >= 0 && index < combo->count()) {
            combo->setCurrentIndex(index);
            done = true;
        }
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        if (button->isCheckable()) {
            button->setChecked(value.toInt() != 0);
            done = true;
        }
    }
    if (!done) {
        Send(QStringLiteral("error %1 cannot set %2 to %3").arg(id).arg(name, value));
        return;
    }
    Send(QStringLiteral("set %1 %2").arg(id).arg(name));
}

void StartupUiHook::ReportControl(int id, QWidget* window, const QString& name)
{
    QWidget* control = FindControl(window, name);
    QString value;
    if (auto* combo = qobject_cast<QComboBox*>(control))
        value = combo->currentData().toString();
    else if (auto* button = qobject_cast<QAbstractButton*>(control))
        value = QString::number(button->isChecked() ? 1 : 0);
    else {
        Send(QStringLiteral("error %1 no control %2").arg(id).arg(name));
        return;
    }
    Send(QStringLiteral("value %1 %2 %3").arg(id).arg(name, Escape(value)));
}

void StartupUiHook::PressControl(int id, QWidget* window, const QString& name)
{
    auto* button = qobject_cast<QAbstractButton*>(FindControl(window, name));
    if (button == nullptr || !button->isVisible() || !button->isEnabled()) {
        Send(QStringLiteral("error %1 cannot press %2").arg(id).arg(name));
        return;
    }
    Send(QStringLiteral("pressed %1 %2").arg(id).arg(name));
    QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
}

void StartupUiHook::ReportSize(int id, QWidget* window)
{
    Send(QStringLiteral("size %1 %2 %3").arg(id).arg(window->width()).arg(window->height()));
}
