#include "pages/common_form_view.h"

#include "app/fixed_text.h"
#include "app/message_box.h"
#include "pages/plugin_data_mgr.h"
#include "pages/setting_data.h"
#include "pages/thread_call.h"

#include <QMetaObject>
#include <QPainter>
#include <QPointer>
#include <QResizeEvent>

namespace {

const char kNoLanguageFileText[] = "Could not find the required files.\nClosing application.";
const char kEnglishOnlyText[] =
    "Could not find the required files.\nDisplaying the screen in English.";

} // namespace

const QColor CCommonFormView::kBackgroundColor(240, 240, 240);

CCommonFormView::CCommonFormView(int templateId) : m_templateId(templateId)
{
    resize(kTemplateWidthPixels, kTemplateHeightPixels);
}

CCommonFormView::~CCommonFormView() = default;

int CCommonFormView::OnCreate()
{
    return 0;
}

AppState* CCommonFormView::AppStateBlock() const
{
    return m_context ? m_context->appState : nullptr;
}

QWidget* CCommonFormView::MainWindow() const
{
    return m_context ? m_context->mainWindow.data() : nullptr;
}

PluginDataMgr* CCommonFormView::DataMgr() const
{
    const AppState* state = AppStateBlock();
    return state != nullptr ? static_cast<PluginDataMgr*>(state->dataMgr) : nullptr;
}

int CCommonFormView::ReadPrinterData()
{
    return 1;
}

int CCommonFormView::GetCommTiming(CommTiming* timing)
{
    if (timing == nullptr)
        return 0;
    *timing = CommonCommTiming(AppStateBlock());
    return 1;
}

int CCommonFormView::SetSettingDataById(quint32 blockId, void* data, qint32 sizeBytes)
{
    return ::SetSettingDataById(DataMgr(), blockId, data, sizeBytes);
}

int CCommonFormView::SetSettingData(void* data, qint32 sizeBytes)
{
    if (!m_context)
        return PluginDataMgr::kNotFound;
    return SetSettingDataById(m_context->blockId, data, sizeBytes);
}

int CCommonFormView::GetSettingDataById(quint32 blockId, void* buffer, qint32 sizeBytes)
{
    return ::GetSettingDataById(DataMgr(), blockId, buffer, sizeBytes);
}

int CCommonFormView::GetSettingData(void* buffer, qint32 sizeBytes)
{
    if (!m_context)
        return PluginDataMgr::kNotFound;
    return GetSettingDataById(m_context->blockId, buffer, sizeBytes);
}

void CCommonFormView::CloseApplication()
{
    const QPointer<QWidget> target(MainWindow());
    if (target.isNull())
        return;
    QMetaObject::invokeMethod(
        target.data(),
        [target] {
            if (target)
                target->close();
        },
        Qt::QueuedConnection);
}

int CCommonFormView::RunPrinterJob(JobRoutine routine)
{
    const AppState* state = AppStateBlock();
    pthread_mutex_t* appLock = state != nullptr ? state->appLock : nullptr;
    return ::RunPrinterJob(MainWindow(), appLock, m_job, [this, routine = std::move(routine)] {
        return routine ? routine(*this) : 0;
    });
}

void CCommonFormView::ReportProgress(int value)
{
    ::ReportProgress(value, &m_job);
}

QWidget* CCommonFormView::ProgressWindow() const
{
    return qobject_cast<QWidget*>(static_cast<QObject*>(m_job.progressWindow));
}

void CCommonFormView::ShowJobWarning(const QString& text)
{
    QWidget* owner = ProgressWindow();
    CallOnThreadOf<int>(owner, [owner, &text] {
        qpu::ShowWarningMessage(owner, text);
        return 0;
    });
}

void CCommonFormView::OnInitialUpdate()
{
    AppState* state = AppStateBlock();
    const QString folder = state != nullptr ? FixedText(state->languageFolder) : QString();
    const int languageId = state != nullptr ? state->languageId : CLangResStore::kFallbackLangId;

    if (m_appTexts.Open(folder, languageId, CLangResStore::kFallbackLangId) !=
        CLangResStore::kNotFound)
        m_appTexts.LoadSections(QLatin1String(kAppWindowName));

    const int opened = m_texts.Open(folder, languageId, CLangResStore::kFallbackLangId);
    if (opened == CLangResStore::kNotFound) {
        qpu::ShowWarningMessage(nullptr, QString::fromLatin1(kNoLanguageFileText));
        CloseApplication();
        return;
    }
    if (opened == CLangResStore::kOpenedFallback) {
        if (m_englishNoticeShown == 0) {
            qpu::ShowWarningMessage(nullptr, QString::fromLatin1(kEnglishOnlyText));
            m_englishNoticeShown = 1;
        }
        // The whole application goes on in English, so no later window asks again.
        if (state != nullptr) {
            state->languageId = CLangResStore::kFallbackLangId;
            SetFixedText(state->languageIdText, QStringLiteral("0409"));
        }
    }
    m_texts.LoadSections(QLatin1String(kWindowName));
}

void CCommonFormView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_startupDone) {
        m_startupDone = true;
        OnInitialUpdate();
    }
}

void CCommonFormView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (isVisible())
        FitToParent();
}

void CCommonFormView::FitToParent()
{
    const QWidget* parent = parentWidget();
    if (parent == nullptr)
        return;
    const QSize own = size();
    const QSize area = parent->size();
    // A page at least as large as the parent keeps its size (its parent scrolls it);
    // a smaller one is stretched over the parent's client area.
    if (own.width() >= area.width() && own.height() >= area.height())
        setGeometry(QRect(QPoint(0, 0), own));
    else
        setGeometry(parent->rect());
}

void CCommonFormView::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.fillRect(rect(), kBackgroundColor);
}
