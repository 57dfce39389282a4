#include "status_view_test_support.h"

#include <qpu/window_message.h>

#include <QApplication>
#include <QLabel>

#include <gtest/gtest.h>

#include <cstring>

namespace status_view_test {

int FakeReader::ReadAllSettings(const MenuItemList* entries)
{
    m_log->reads.push_back(entries);
    int32_t shown = -2;
    if (m_log->mainWindow != nullptr)
        qpu::SendWindowMessage(m_log->mainWindow, QPU_WM_STATUS_QUERY,
                               reinterpret_cast<intptr_t>(&shown), 0);
    m_log->shownCodeAtRead.push_back(shown);
    if (m_log->duringRead)
        m_log->duringRead();
    const size_t index = m_log->reads.size() - 1;
    return index < m_log->results.size() ? m_log->results[index] : 1;
}

Bench::Bench() : m_state(std::make_unique<AppState>()), m_log(std::make_shared<FakeReader::Log>())
{
    QDir(m_dir.path()).mkpath(QStringLiteral("LANG"));
    AddShippedLanguage(QStringLiteral("0409.DAT"));
    SetFixedText(m_state->languageFolder, LanguageFolder());
    m_state->languageId = 0x0409;
    m_state->dataMgr = &m_dataMgr;
    m_log->dataMgr = &m_dataMgr;
    SetPort(QStringLiteral("NET"), QStringLiteral("192.168.10.20"));
    m_entries.push_back(std::make_unique<MenuItem>());
}

bool Bench::AddShippedLanguage(const QString& fileName)
{
    return QFile::copy(QStringLiteral(QPU_SOURCE_DIR "/data/program/LANG/") + fileName,
                       LanguageFolder() + QLatin1Char('/') + fileName);
}

void Bench::RemoveLanguages()
{
    for (const QString& name : QDir(LanguageFolder()).entryList(QDir::Files))
        QFile::remove(LanguageFolder() + QLatin1Char('/') + name);
}

void Bench::SetPort(const QString& keyword, const QString& name)
{
    std::memset(&m_state->portInfo, 0, sizeof(m_state->portInfo));
    SetFixedText(m_state->portInfo.interfaceKeyword, keyword);
    SetFixedText(m_state->portInfo.portName, name);
}

void Bench::SetIdentity(const QString& serial, const QString& model, const QString& firmware,
                        const QString& characterSet)
{
    PrinterInfoBlock block = DefaultPrinterInfoBlock();
    ReadPrinterInfoBlock(m_dataMgr, &block);
    SetText(block, PrinterInfoText::SerialNumber, serial);
    SetText(block, PrinterInfoText::ModelName, model);
    SetText(block, PrinterInfoText::FirmwareText, firmware);
    SetText(block, PrinterInfoText::CharacterSet, characterSet);
    block.readFlag = 1;
    ASSERT_EQ(WritePrinterInfoBlock(m_dataMgr, block), 0);
}

std::unique_ptr<CUtilStatusView> Bench::MakeView(QWidget* mainWindow,
                                                 std::function<bool()> jobRunning)
{
    CUtilStatusView::Context context;
    context.appState = m_state.get();
    context.mainWindow = mainWindow;
    context.printerJobRunning = std::move(jobRunning);
    auto view = std::make_unique<CUtilStatusView>(context, std::make_unique<FakeReader>(m_log));
    view->resize(780, 65);
    return view;
}

QString ControlText(const CUtilStatusView& view, int controlId)
{
    const auto* label = qobject_cast<const QLabel*>(view.Control(controlId));
    return label != nullptr ? label->text() : QStringLiteral("<no control>");
}

} // namespace status_view_test
