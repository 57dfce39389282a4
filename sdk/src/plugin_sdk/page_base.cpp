#include <qpu/plugin_sdk/page_base.h>

#include <qpu/messages.h>
#include <qpu/plugin.h>
#include <qpu/sync.h>
#include <qpu/window_message.h>

#include <QCoreApplication>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <thread>

namespace qpu::sdk {

namespace {

// Communication states of the main window that forbid a new job.
bool StateForbidsJob(int32_t state)
{
    return state == 1 || state == 16 || state == -1;
}

const QColor kPageBackground(240, 240, 240);

// Holds AppLock for the lifetime of the object (nothing to hold when there is none).
class AppLockGuard
{
public:
    explicit AppLockGuard(pthread_mutex_t* lock) : m_lock(lock)
    {
        if (m_lock)
            pthread_mutex_lock(m_lock);
    }
    ~AppLockGuard()
    {
        if (m_lock)
            pthread_mutex_unlock(m_lock);
    }
    AppLockGuard(const AppLockGuard&) = delete;
    AppLockGuard& operator=(const AppLockGuard&) = delete;

private:
    pthread_mutex_t* m_lock;
};

QMessageBox::StandardButton Box(QWidget* owner, QMessageBox::Icon icon, const QString& text,
                                QMessageBox::StandardButtons buttons,
                                QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(icon, QString::fromLatin1(kProductTitle), text, buttons, owner);
    box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace

void ShowInfoMessage(QWidget* owner, const QString& text)
{
    Box(owner, QMessageBox::Information, text, QMessageBox::Ok, QMessageBox::Ok);
}

void ShowWarningMessage(QWidget* owner, const QString& text)
{
    Box(owner, QMessageBox::Warning, text, QMessageBox::Ok, QMessageBox::Ok);
}

SaveAnswer AskSaveChanges(QWidget* owner, const QString& text)
{
    switch (Box(owner, QMessageBox::Question, text,
                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes)) {
    case QMessageBox::Yes:
        return SaveAnswer::Save;
    case QMessageBox::No:
        return SaveAnswer::Discard;
    default:
        return SaveAnswer::Cancel;
    }
}

void JobProgress::Report(int percent)
{
    SendWindowMessage(m_window, QPU_WM_PROGRESS_103, percent, 0);
    if (m_event)
        qpu_event_set(static_cast<QpuEvent*>(m_event));
}

PageBase::PageBase(const PluginContext& context, const QString& windowName,
                   const QStringList& extraWindows)
    : QWidget(context.pagePane), m_context(context), m_windowName(windowName)
{
    m_texts.Load(context.state, QStringList{windowName, QStringLiteral("PLUGIN_COMMON"),
                                            QStringLiteral("PLUGIN_PAGE")} +
                                    extraWindows);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, kPageBackground);
    setPalette(palette);

    // Title, description and body scroll together when a language's texts need more room
    // than the page area has; the buttons stay at the bottom.
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 14);
    outer->setSpacing(8);
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("pageScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setAutoFillBackground(false);
    auto* content = new QWidget(scroll);
    content->setAutoFillBackground(false);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(18, 14, 18, 0);
    column->setSpacing(8);
    m_title = new QLabel(content);
    QFont titleFont = m_title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.35);
    titleFont.setBold(true);
    m_title->setFont(titleFont);
    m_title->setWordWrap(true);
    column->addWidget(m_title);
    auto* rule = new QFrame(content);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    column->addWidget(rule);
    m_description = new QLabel(content);
    m_description->setWordWrap(true);
    column->addWidget(m_description);
    m_body = new QVBoxLayout();
    m_body->setSpacing(10);
    column->addLayout(m_body);
    column->addStretch(1);
    scroll->setWidget(content);
    outer->addWidget(scroll, 1);
    m_buttons = new QHBoxLayout();
    m_buttons->setContentsMargins(18, 0, 18, 0);
    m_changedNote = new QLabel(this);
    m_changedNote->setWordWrap(true);
    m_changedNote->setStyleSheet(QStringLiteral("color: #a05000;"));
    m_buttons->addWidget(m_changedNote, 1);
    outer->addLayout(m_buttons);

    if (context.pagePane) {
        context.pagePane->installEventFilter(this);
        FollowPane();
    }
}

PageBase::~PageBase()
{
    if (m_context.pagePane)
        m_context.pagePane->removeEventFilter(this);
}

QString PageBase::Str(int number, const QString& english) const
{
    return m_texts.String(m_windowName, number, english);
}

QString PageBase::Msg(int number, const QString& english) const
{
    return m_texts.Message(m_windowName, number, english);
}

QString PageBase::PageText(int number, const QString& english) const
{
    return m_texts.String(QStringLiteral("PLUGIN_PAGE"), number, english);
}

QString PageBase::CommonMsg(int number, const QString& english) const
{
    return m_texts.Message(QStringLiteral("PLUGIN_COMMON"), number, english);
}

void PageBase::SetTitle(const QString& title, const QString& description)
{
    m_title->setText(title);
    m_description->setText(description);
    m_description->setVisible(!description.isEmpty());
}

QPushButton* PageBase::AddButton(const QString& text)
{
    auto* button = new QPushButton(text, this);
    button->setMinimumWidth(100);
    m_buttons->addWidget(button);
    return button;
}

void PageBase::ShowChanged(bool changed)
{
    m_changedNote->setText(
        changed ? PageText(kPageTextChanged, QStringLiteral("Changes not applied yet."))
                : QString());
}

bool PageBase::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_context.pagePane && event->type() == QEvent::Resize)
        FollowPane();
    return QWidget::eventFilter(watched, event);
}

void PageBase::FollowPane()
{
    setGeometry(m_context.pagePane->rect());
}

int32_t PageBase::AskBeforeLeaving()
{
    if (!HasUnsavedChanges())
        return 0;
    const QString question = CommonMsg(
        kMsgSaveToPrinter,
        QStringLiteral("Do you want to save your changes to the settings to the printer?"));
    switch (AskSaveChanges(this, question)) {
    case SaveAnswer::Save:
        return SaveChanges() == kPrinterOk ? 0 : QPU_MENU_STATE_REFUSE;
    case SaveAnswer::Discard:
        DiscardChanges();
        return 0;
    case SaveAnswer::Cancel:
        break;
    }
    return QPU_MENU_STATE_REFUSE;
}

int32_t PageBase::RunJob(const Job& job)
{
    void* frame = m_context.mainFrame;
    if (frame == nullptr)
        return kJobRefused;
    int32_t commState = 0;
    SendWindowMessage(frame, QPU_WM_STATUS_QUERY, reinterpret_cast<intptr_t>(&commState), 0);
    if (StateForbidsJob(commState))
        return kJobPrinterBusy;

    AppLockGuard lock(m_context.AppLock());
    void* progressWindow =
        reinterpret_cast<void*>(SendWindowMessage(frame, QPU_WM_CREATE_PROGRESS, 0, 0));
    if (progressWindow == nullptr)
        return kJobRefused;

    QpuEvent done;
    QpuEvent progress;
    if (qpu_event_init(&done, 0) != 0)
        return kJobThreadFailed;
    if (qpu_event_init(&progress, 0) != 0) {
        qpu_event_destroy(&done);
        return kJobThreadFailed;
    }
    int32_t result = kJobThreadFailed;
    {
        JobProgress reporter(progressWindow, &progress);
        std::thread worker;
        try {
            worker = std::thread([&] {
                result = job(reporter);
                qpu_event_set(&done);
            });
        } catch (const std::system_error&) {
            qpu_event_destroy(&progress);
            qpu_event_destroy(&done);
            return kJobThreadFailed;
        }
        ProgressRequest request{&done, &progress, QPU_PROGRESS_ANIMATION_TWO_WAY, 1};
        SendWindowMessage(frame, QPU_WM_RUN_PROGRESS, reinterpret_cast<intptr_t>(&request), 0);
        // A frame that could not show the dialog returns at once; the worker may still
        // send its progress to this thread, so keep serving events until it ends.
        while (!qpu_event_wait(&done, 20))
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        worker.join();
    }
    qpu_event_destroy(&progress);
    qpu_event_destroy(&done);
    return result;
}

} // namespace qpu::sdk
