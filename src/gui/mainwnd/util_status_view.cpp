#include "mainwnd/util_status_view.h"

#include "app/fixed_text.h"
#include "app/message_box.h"
#include "comm/comm_lib_binding.h"
#include "mainwnd/printer_picture.h"
#include "pages/plugin_data_mgr.h"
#include "pages/printer_info_block.h"
#include "pages/static_item.h"
#include "pages/static_picture_item.h"

#include <qpu/data_block.h>
#include <qpu/status_texts.h>
#include <qpu/window_message.h>

#include <QGridLayout>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>

#include <array>

namespace {

constexpr int kStartModeNoPrinter = 4;

// The strip is 65 pixels high; the picture sits in it with a few pixels to spare.
constexpr int kMarginPixels = 8;
constexpr int kColumnSpacingPixels = 16;
constexpr int kRowSpacingPixels = 4;

// The system window colour: the background of the text items and of the view itself.
QColor WindowColor(const QWidget& widget)
{
    return widget.palette().color(QPalette::Base);
}

// The status line's colour tells the kind of condition (qpu/status_texts.h); Unknown, and
// start mode 4 without a printer, in the normal text colour.
QColor StatusColour(int shownCode, bool noPrinter, const QWidget& view)
{
    const QpuStatusText* text = qpu_status_text(shownCode);
    if (noPrinter || text == nullptr)
        return view.palette().color(QPalette::WindowText);
    return QColor::fromRgb(qpu_status_kind_rgb(text->kind));
}

// A text that does not fit is cut at the strip's edge; the tip shows it whole.
void SetItemText(QLabel* item, const QString& text)
{
    item->setText(text);
    item->setToolTip(text);
}

} // namespace

CUtilStatusView::CUtilStatusView(Context context, std::unique_ptr<IStatusPrinterReader> reader,
                                 QWidget* parent)
    : QWidget(parent), m_context(std::move(context)), m_reader(std::move(reader))
{
    setProperty("controlId", kTemplateId);
    BuildControls();
}

CUtilStatusView::~CUtilStatusView() = default;

void CUtilStatusView::BuildControls()
{
    const auto makeItem = [this](int controlId, const char* name) {
        auto* item = new CStaticItem(this);
        item->setProperty("controlId", controlId);
        item->setObjectName(QLatin1String(name));
        item->setTextFormat(Qt::PlainText);
        item->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        // Long texts are cut at the strip's edge rather than widening the window.
        item->setMinimumWidth(1);
        item->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        return item;
    };
    m_picture = new CStaticPictureItem(this);
    m_picture->setProperty("controlId", kPictureId);
    m_picture->setObjectName(QStringLiteral("picture"));
    m_picture->setFixedSize(kPrinterPictureSize, kPrinterPictureSize);
    m_picture->setPixmap(QPixmap::fromImage(PrinterPicture()));

    // Empty until the initial update fills them.
    m_modelLine = makeItem(kModelLineId, "modelLine");
    m_portLine = makeItem(kPortLineId, "portLine");
    m_characterSet = makeItem(kCharacterSetId, "characterSet");
    m_serialLine = makeItem(kSerialLineId, "serialLine");
    m_statusLineItem = makeItem(kStatusLineId, "statusLine");

    // Picture on the left; model and port in the left column, character set in the middle
    // column, serial number on the right; the status line runs from the middle column to
    // the right edge.
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(kMarginPixels, 0, kMarginPixels, 0);
    grid->setHorizontalSpacing(kColumnSpacingPixels);
    grid->setVerticalSpacing(kRowSpacingPixels);
    grid->addWidget(m_picture, 0, 0, 2, 1, Qt::AlignCenter);
    grid->addWidget(m_modelLine, 0, 1);
    grid->addWidget(m_portLine, 1, 1);
    grid->addWidget(m_characterSet, 0, 2);
    grid->addWidget(m_serialLine, 0, 3);
    grid->addWidget(m_statusLineItem, 1, 2, 1, 2);
    grid->setColumnStretch(1, 5);
    grid->setColumnStretch(2, 3);
    grid->setColumnStretch(3, 4);
    grid->setRowStretch(0, 1);
    grid->setRowStretch(1, 1);
}

QWidget* CUtilStatusView::Control(int controlId) const
{
    const std::array<QWidget*, 6> controls = {m_picture,      m_modelLine,  m_portLine,
                                              m_characterSet, m_serialLine, m_statusLineItem};
    for (QWidget* control : controls) {
        if (control->property("controlId").toInt() == controlId)
            return control;
    }
    return nullptr;
}

void CUtilStatusView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    InitialUpdate();
}

void CUtilStatusView::InitialUpdate()
{
    if (m_initialized)
        return;
    m_initialized = true;
    if (!OpenTexts()) {
        qpu::ShowWarningMessage(nullptr, QStringLiteral("Could not find the required files.\n"
                                                        "Closing application."));
        // Posted, as WM_CLOSE would be: the frame closes once the set-up has returned.
        if (QWidget* mainWindow = MainWindow())
            QMetaObject::invokeMethod(
                mainWindow, [mainWindow] { mainWindow->close(); }, Qt::QueuedConnection);
        return;
    }
    m_lastStatusText =
        Text(StatusCodeRules::kUnknownStatusNumber, StatusCodeRules::EnglishUnknown());
    if (m_reader)
        m_reader->Initialize(m_context.appState, MainWindow(), this);
    RegisterBlocks();
    SetUpItems();
    RefreshFields();
}

bool CUtilStatusView::OpenTexts()
{
    const AppState* state = m_context.appState;
    const QString folder = state != nullptr ? FixedText(state->languageFolder) : QString();
    const int languageId = state != nullptr ? state->languageId : CLangResStore::kFallbackLangId;
    if (m_texts.Open(folder, languageId, CLangResStore::kFallbackLangId) ==
        CLangResStore::kNotFound)
        return false;
    m_texts.LoadSections(QLatin1String(kWindowName));
    return true;
}

void CUtilStatusView::RegisterBlocks()
{
    PluginDataMgr* dataMgr = DataMgr();
    if (dataMgr == nullptr)
        return;
    RegisterBlock(*dataMgr, {QPU_BLOCK_PRINTER_INFO_ID, QPU_BLOCK_PRINTER_INFO_VERSION,
                             QPU_BLOCK_PRINTER_INFO_SIZE});
    if (m_reader) {
        for (const PluginInfo& info : m_reader->DependencyBlocks())
            RegisterBlock(*dataMgr, info);
    }
}

// A block restored from the settings file keeps its data; a missing one is added and
// filled with the page's defaults.
void CUtilStatusView::RegisterBlock(PluginDataMgr& dataMgr, const PluginInfo& info)
{
    if (dataMgr.FindBlock(info.blockId) != PluginDataMgr::kNotFound)
        return;
    if (dataMgr.AddBlock(info.blockId, info.blockVersion, static_cast<qint32>(info.blockSize)) !=
        PluginDataMgr::kOk)
        return;
    if (m_reader) {
        m_reader->InitSettingData(info.blockId);
    } else if (info.blockId == QPU_BLOCK_PRINTER_INFO_ID) {
        WriteDefaultPrinterInfoBlock(dataMgr);
    }
}

void CUtilStatusView::SetUpItems()
{
    const QColor background = WindowColor(*this);
    for (CStaticItem* item :
         {m_modelLine, m_portLine, m_characterSet, m_serialLine, m_statusLineItem}) {
        item->SetBackgroundColor(background);
        item->SetBoldFont();
    }
}

void CUtilStatusView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), WindowColor(*this));
}

QString CUtilStatusView::Text(int number, const QString& english) const
{
    QString text = english;
    m_texts.GetString(number, text);
    return text;
}

QString CUtilStatusView::StatusTextOf(int code) const
{
    return Text(StatusCodeRules::TextNumberOf(code), StatusCodeRules::EnglishTextOf(code));
}

StatusFieldLabels CUtilStatusView::FieldLabels() const
{
    StatusFieldLabels labels;
    labels.port = Text(StatusCodeRules::kPortLabelNumber, labels.port);
    labels.serial = Text(StatusCodeRules::kSerialLabelNumber, labels.serial);
    labels.unknown = Text(StatusCodeRules::kUnknownFieldNumber, labels.unknown);
    return labels;
}

void CUtilStatusView::RefreshFields()
{
    const PluginDataMgr* dataMgr = DataMgr();
    PrinterInfoBlock block{};
    if (dataMgr == nullptr || !ReadPrinterInfoBlock(*dataMgr, &block))
        return;
    m_fields = StatusFields(block, m_context.appState->portInfo, m_context.appState->startMode,
                            FieldLabels());
    SetItemText(m_modelLine, m_fields.modelLine);
    SetItemText(m_portLine, m_fields.portLine);
    SetItemText(m_characterSet, m_fields.characterSet);
    SetItemText(m_serialLine, m_fields.serialLine);
    SetItemText(m_statusLineItem, m_statusLine);
}

void CUtilStatusView::ShowStatusLine(const QString& statusText)
{
    const QString label =
        Text(StatusCodeRules::kStatusLabelNumber, StatusCodeRules::EnglishStatusLabel());
    m_statusLine = StatusCodeRules::StatusLine(label, statusText, NoPrinterMode());
    SetItemText(m_statusLineItem, m_statusLine);
    QPalette palette = m_statusLineItem->palette();
    palette.setColor(QPalette::WindowText,
                     StatusColour(m_rules.ShownCode(), NoPrinterMode(), *this));
    m_statusLineItem->setPalette(palette);
    m_lastStatusText = statusText;
}

void CUtilStatusView::SetEntryList(const MenuItemList* entries)
{
    m_entries = entries;
}

void CUtilStatusView::ShowCurrentStatus()
{
    ShowStatusLine(StatusTextOf(m_rules.ShownCode()));
}

void CUtilStatusView::StartWithPrinterReady()
{
    m_rules.StartMonitoring(0);
    ShowStatusLine(StatusTextOf(m_rules.ShownCode()));
    ReadPrinter();
}

void CUtilStatusView::SetCommLib(CommLibTable* table)
{
    m_commLib = table;
}

void CUtilStatusView::SetPrinterJobQuery(std::function<bool()> running)
{
    m_frameJobQuery = std::move(running);
}

int CUtilStatusView::ShownCode() const
{
    return m_rules.ShownCode();
}

void CUtilStatusView::StopMonitoring()
{
    m_rules.StopMonitoring();
}

int CUtilStatusView::ReadPrinter()
{
    if (m_entries == nullptr)
        return 1;
    if (m_readRunning)
        return kReadBusy;
    if (!m_commLibTaken) {
        m_commLibTaken = true;
        if (m_context.appState != nullptr && m_context.appState->commLib != nullptr)
            m_commLib = m_context.appState->commLib;
        if (IsCommLibBound(m_commLib))
            QpcCall(m_commLib, &CommLibTable::Initialize);
    }
    if (!m_reader)
        return kReadNoPage;
    m_readRunning = true;
    ++m_readCount;
    // The read waits in the progress dialog's event loop: status codes that were already
    // posted may be handled meanwhile, but they cannot start a second read.
    const int result = m_reader->ReadAllSettings(m_entries);
    m_readRunning = false;
    m_rules.ReadFinished(result);
    return result;
}

int CUtilStatusView::HandleStatusCode(int statusCode)
{
    const StatusCodeRules::Update update = m_rules.OnStatusCode(statusCode, IsPrinterJobRunning());
    if (!update.handled)
        return 1;
    const QString text = StatusTextOf(update.shownCode);
    if (update.startRead) {
        if (!m_rules.StatusReadFinished(update, ReadPrinter())) {
            // The printer cannot be read: the former status stays on screen.
            ShowStatusLine(m_lastStatusText);
            return 0;
        }
        // A code handled while the read ran is newer than this one and stays on screen.
        if (m_rules.ShownCode() != update.shownCode)
            return 1;
    }
    ShowStatusLine(text);
    return 1;
}

bool CUtilStatusView::IsPrinterJobRunning() const
{
    if (m_readRunning)
        return true;
    if (m_context.printerJobRunning)
        return m_context.printerJobRunning();
    return m_frameJobQuery && m_frameJobQuery();
}

QWidget* CUtilStatusView::MainWindow() const
{
    return m_context.mainWindow != nullptr ? m_context.mainWindow : window();
}

PluginDataMgr* CUtilStatusView::DataMgr() const
{
    return m_context.appState != nullptr ? static_cast<PluginDataMgr*>(m_context.appState->dataMgr)
                                         : nullptr;
}

bool CUtilStatusView::NoPrinterMode() const
{
    return m_context.appState != nullptr && m_context.appState->startMode == kStartModeNoPrinter;
}

bool CUtilStatusView::event(QEvent* event)
{
    auto* message = qpu::WindowMessageEvent::From(event);
    if (message == nullptr)
        return QWidget::event(event);
    switch (message->message()) {
    case QPU_WM_STATUS_REFRESH:
        RefreshFields();
        message->setResult(0);
        return true;
    case QPU_WM_STATUS_QUERY:
        if (auto* code = reinterpret_cast<int32_t*>(message->wParam()))
            *code = ShownCode();
        message->setResult(0);
        return true;
    case QPU_WM_STATUS_FRESH_READ:
        message->setResult(ReadPrinter());
        return true;
    case QPU_WM_STATUS_END:
        StopMonitoring();
        message->setResult(0);
        return true;
    case QPU_WM_STATUS_CHANGED:
        message->setResult(HandleStatusCode(static_cast<int>(message->wParam())));
        return true;
    default:
        return QWidget::event(event);
    }
}
