#pragma once

#include "app/fixed_text.h"
#include "mainwnd/util_status_view.h"
#include "pages/plugin_data_mgr.h"
#include "pages/printer_info_block.h"

#include <qpu/app_state.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <ostream>
#include <vector>

// Readable texts in test failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace status_view_test {

// Stands in for the printer setting page: records what the view asks of it and answers
// each read with the next scripted result (1 once the script is used up).
class FakeReader final : public IStatusPrinterReader
{
public:
    struct Log
    {
        int initializeCalls = 0;
        AppState* state = nullptr;
        QWidget* mainWindow = nullptr;
        QWidget* parent = nullptr;
        std::vector<quint32> initSettingData;
        std::vector<const MenuItemList*> reads;
        // The shown code the view reports (WM_USER+201) when each read starts, as the
        // page's job runner asks it.
        std::vector<int> shownCodeAtRead;
        std::vector<int> results;
        std::vector<PluginInfo> dependencies;
        // Runs inside each read, as the progress dialog's event loop would run posted
        // messages.
        std::function<void()> duringRead;
        PluginDataMgr* dataMgr = nullptr;
    };

    explicit FakeReader(std::shared_ptr<Log> log) : m_log(std::move(log)) {}

    int Initialize(AppState* state, QWidget* mainWindow, QWidget* parent) override
    {
        ++m_log->initializeCalls;
        m_log->state = state;
        m_log->mainWindow = mainWindow;
        m_log->parent = parent;
        return 0;
    }
    int InitSettingData(quint32 blockId) override
    {
        m_log->initSettingData.push_back(blockId);
        if (blockId == QPU_BLOCK_PRINTER_INFO_ID && m_log->dataMgr != nullptr)
            return WriteDefaultPrinterInfoBlock(*m_log->dataMgr);
        return 1;
    }
    std::vector<PluginInfo> DependencyBlocks() override { return m_log->dependencies; }
    int ReadAllSettings(const MenuItemList* entries) override;

private:
    std::shared_ptr<Log> m_log;
};

// A language folder, a data manager with block 0x10001 and a shared state block for one
// status view.
class Bench
{
public:
    Bench();

    // Copies a shipped language file (e.g. "0409.DAT") into the language folder.
    bool AddShippedLanguage(const QString& fileName);
    void RemoveLanguages();
    QString LanguageFolder() const { return m_dir.path() + QStringLiteral("/LANG"); }

    void SetPort(const QString& keyword, const QString& name);
    // Writes the four identity texts into block 0x10001.
    void SetIdentity(const QString& serial, const QString& model, const QString& firmware,
                     const QString& characterSet);

    std::unique_ptr<CUtilStatusView> MakeView(QWidget* mainWindow = nullptr,
                                              std::function<bool()> jobRunning = {});

    AppState& State() { return *m_state; }
    PluginDataMgr& DataMgr() { return m_dataMgr; }
    FakeReader::Log& Reads() { return *m_log; }
    std::shared_ptr<FakeReader::Log> LogPtr() { return m_log; }
    // A menu entry list for the views; its content does not matter to the fake reader.
    const MenuItemList& Entries() const { return m_entries; }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<AppState> m_state;
    PluginDataMgr m_dataMgr;
    std::shared_ptr<FakeReader::Log> m_log;
    MenuItemList m_entries;
};

// The text on one of the view's static controls.
QString ControlText(const CUtilStatusView& view, int controlId);

} // namespace status_view_test
