#include "pages/printer_setting_view.h"

#include "app/fixed_text.h"
#include "comm/comm_error_text.h"
#include "pages/form_view_ctrl.h"
#include "pages/output_file.h"
#include "pages/plugin_data_mgr.h"
#include "pages/read_all_settings.h"

#include <qpu/messages.h>
#include <qpu/window_message.h>

namespace {

const char* const kEnglishMessages[] = {
    "The device ID does not match the connected printer.",
    "A communication error occurred.",
    "Could not get some settings from the printer.",
};

// Why the printer check failed, in words: the second line of the communication message.
QString CheckFailureCause(const PrinterCheckResult& check, const AppState* state)
{
    if (check.result == kPrinterCheckNoConnection)
        return QStringLiteral("The printer information library is missing or could not "
                              "connect to the communication library.");
    if (check.result == kPrinterCheckTimedOut)
        return CommErrorCause(QPC_ERR_TIMEOUT,
                              state != nullptr ? PortDevicePath(state->portInfo) : QString());
    return QStringLiteral("The printer stopped answering while its identity was read.");
}

} // namespace

CPrinterSettingView::CPrinterSettingView() : m_info(DefaultPrinterInfoBlock()) {}

// The library binding goes with the page: "Finalize", then the library is released.
CPrinterSettingView::~CPrinterSettingView() = default;

int CPrinterSettingView::OnCreate()
{
    if (const AppState* state = AppStateBlock()) {
        if (MutableTexts().Open(FixedText(state->languageFolder), state->languageId,
                                CLangResStore::kFallbackLangId) != CLangResStore::kNotFound)
            MutableTexts().LoadSections(QLatin1String(kWindowName));
    }
    // Without the library the page still exists; every printer check then fails.
    m_bindResult = BindLibrary();
    return 0;
}

int CPrinterSettingView::BindLibrary()
{
    const AppState* state = AppStateBlock();
    if (!HasController() || state == nullptr)
        return PrinterInfoLibrary::kMissing;
    return m_library.Bind(FixedText(state->programFolder), state->commLib);
}

int CPrinterSettingView::GetCommTiming(CommTiming* timing)
{
    if (timing == nullptr)
        return 0;
    timing->timeMs = kTimeMs;
    timing->attempts = kAttempts;
    timing->pauseMs = kPauseMs;
    return 1;
}

int CPrinterSettingView::ReadPrinterData()
{
    GetSettingData(&m_info, sizeof(m_info));
    if (!m_library.HasInformationExport())
        return PrinterInfoLibrary::kMissing;
    PrinterInformation info{};
    info.requestMask = PRTINF_REQUEST_ALL;
    const int answer = m_library.GetPrinterInformation(&info);
    if (answer != PRTINF_OK)
        return answer;
    ApplyPrinterInformation(m_info, info);
    // A read that cannot be kept is no success: the settings file must not be enabled.
    if (const int stored = SetSettingData(&m_info, sizeof(m_info)); stored != PluginDataMgr::kOk)
        return stored;
    qpu::PostWindowMessage(MainWindow(), QPU_WM_STATUS_REFRESH, 0, 0);
    return 1;
}

PrinterCheckResult CPrinterSettingView::CheckPrinter()
{
    CommTiming timing;
    GetCommTiming(&timing);
    return RunPrinterCheck(&m_library, timing, m_clock);
}

QString CPrinterSettingView::MessageText(int number) const
{
    QString text;
    if (number >= 0 && number < static_cast<int>(std::size(kEnglishMessages)))
        text = QString::fromLatin1(kEnglishMessages[number]);
    Texts().GetMessage(number, text);
    return text;
}

int CPrinterSettingView::ReadAllSettings()
{
    ReadAllSettingsSteps steps;
    steps.reportProgress = [this](int percent) { ReportProgress(percent); };
    // Both run on the job's worker, one after the other.
    PrinterCheckResult check;
    steps.checkPrinter = [this, &check] {
        check = CheckPrinter();
        return check;
    };
    steps.readPrinterData = [this] { return ReadPrinterData(); };
    steps.showWarning = [this, &check](int message) {
        QString text = MessageText(message);
        if (message == kMsgCommunicationError)
            text += u'\n' + CheckFailureCause(check, AppStateBlock());
        ShowJobWarning(text);
    };
    if (m_entries != nullptr) {
        for (const auto& entry : *m_entries) {
            if (entry && entry->plugin.IsLoaded()) {
                MenuItem* item = entry.get();
                steps.pluginReads.emplace_back(
                    [item] { return item->plugin.ReadPrinterSettings(); });
            }
        }
    }
    const AppState* state = AppStateBlock();
    steps.startMode = state != nullptr ? state->startMode : 0;
    steps.dataMgr = DataMgr();
    return ::RunReadAllSettings(steps);
}

int CPrinterSettingView::RunReadAllSettings()
{
    return RunPrinterJob([](CCommonFormView& page) {
        return static_cast<CPrinterSettingView&>(page).ReadAllSettings();
    });
}

int CPrinterSettingView::WriteOutputFile(const QString& logoPath, const QString& deviceName,
                                         const QString& outputPath, int logoFlag) const
{
    // Without a data manager the command values are missing, as without their block.
    const PluginDataMgr noBlocks;
    const PluginDataMgr* dataMgr = DataMgr();
    return ::WriteOutputFile(logoPath, deviceName, outputPath, logoFlag,
                             dataMgr != nullptr ? *dataMgr : noBlocks);
}
