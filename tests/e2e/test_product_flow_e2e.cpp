// The whole product flow with the real program, its shipped plug-ins and the emulated
// printer: choose the printer, read it, change settings on the pages, apply them, exit,
// start again; and the same edit in start mode 4, where the output file takes the values.
#include "e2e_fixture.h"

#include "app/fixed_text.h"
#include "emulator_process.h"
#include "pages/plugin_data_mgr.h"

#include <qpu/port_info.h>
#include <qpu/shipped_blocks.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstring>

#include "e2e_files.h"

namespace {

using e2e::CopyFolder;
using e2e::PutLe32;
using e2e::ReadFile;
using e2e::WriteFile;

constexpr int kOkButtonId = 1;
constexpr int kPortListId = 1020;
constexpr int kModelLineId = 1021;
constexpr int kStatusLineId = 1025;
// Rows of the normal menu: caption, printer information, print settings, memory switches.
constexpr int kPrinterInfoRow = 1;
constexpr int kPrintSettingsRow = 2;
constexpr int kMemorySwitchRow = 3;
// Row of print settings in the menu of start mode 4.
constexpr int kOfflinePrintSettingsRow = 1;
const char kDensity[] = "PrintSettingsPage/density";
const char kSpeed[] = "PrintSettingsPage/speed";
const char kSwitchBit[] = "MemorySwitchPage/msw1bit3";

// The "set customized value" command as the printer receives it.
QByteArray CustomValueCommand(quint8 number, quint16 value)
{
    QByteArray bytes("\x1D\x28\x45\x04\x00\x05", 6);
    bytes.append(static_cast<char>(number));
    bytes.append(static_cast<char>(value & 0xFF));
    bytes.append(static_cast<char>(value >> 8));
    return bytes;
}

const QByteArray kSetSwitchPrefix("\x1D\x28\x45\x0A\x00\x03", 6);
const QByteArray kSetCustomPrefix("\x1D\x28\x45\x04\x00\x05", 6);

class ProductFlowE2e : public e2e::ProgramFixture
{
protected:
    void SetUp() override
    {
        PrepareWorld();
        for (const char* plugin :
             {"libQpuPrintSettings.so", "libQpuMemorySwitch.so", "libQpuPrinterInfo.so"})
            ASSERT_TRUE(QFileInfo::exists(Path("program/") + plugin)) << plugin;
        WriteNetPortList();
    }

    QString SettingsFile() const { return Path("common/VORKA/QP60Utl/PORT_0/QP-R60_Setting.DAT"); }

    std::unique_ptr<ProgramRun> Run(const QStringList& arguments)
    {
        return RunProgram(arguments, BaseEnvironment());
    }

    // Chooses the emulator's port in the selection dialog and waits until the printer read
    // has ended; the main window's id, or 0.
    int StartWithPrinter(ProgramRun& run)
    {
        const auto dialog = run.WaitFor("shown", "CPrinterSelectDlg");
        EXPECT_TRUE(dialog.has_value()) << Log(run);
        if (!dialog)
            return 0;
        // The dialog lists the registered port.
        const auto fields = run.State(dialog->id);
        EXPECT_TRUE(fields.has_value());
        EXPECT_EQ(fields.value_or(QHash<int, QString>()).value(kPortListId), "1");
        run.Send(QStringLiteral("click %1 %2").arg(dialog->id).arg(kOkButtonId));
        const auto frame = run.WaitFor("shown", "CMainFrame");
        EXPECT_TRUE(frame.has_value()) << Log(run);
        if (!frame)
            return 0;
        // The read shows its progress in a window of its own, and then fills the status strip.
        for (int attempt = 0; attempt < 200; ++attempt) {
            const auto state = run.State(frame->id).value_or(QHash<int, QString>());
            if (state.value(kModelLineId).contains("ESC/VRK") && state.value(-1).isEmpty()) {
                m_readyStatus = state.value(kStatusLineId);
                return frame->id;
            }
            run.WaitFor("hidden", {}, 100);
        }
        ADD_FAILURE() << "printer read did not end\n" << Log(run);
        return 0;
    }

    // Waits until the status strip shows the printer as it was after the read (a printer
    // that restarts after a change is offline for a moment and takes no job meanwhile).
    bool WaitUntilReady(ProgramRun& run, int frame) const
    {
        for (int attempt = 0; attempt < 200; ++attempt) {
            const auto state = run.State(frame).value_or(QHash<int, QString>());
            if (state.value(kStatusLineId) == m_readyStatus && state.value(-1).isEmpty())
                return true;
            run.WaitFor("hidden", {}, 100);
        }
        return false;
    }

    static std::string Log(ProgramRun& run) { return run.Log().join('\n').toStdString(); }

    // Selects a menu row and waits until its page answers for control.
    static bool OpenPage(ProgramRun& run, int frame, int row, const QString& control)
    {
        run.Send(QStringLiteral("menu %1 %2").arg(frame).arg(row));
        if (!run.WaitFor("menu", QString::number(row), 5000))
            return false;
        for (int attempt = 0; attempt < 50; ++attempt) {
            run.Send(QStringLiteral("get %1 %2").arg(frame).arg(control));
            if (run.WaitFor("value", control + ' ', 200))
                return true;
        }
        return false;
    }

    static QString Get(ProgramRun& run, int frame, const QString& control)
    {
        run.Send(QStringLiteral("get %1 %2").arg(frame).arg(control));
        const auto line = run.WaitFor("value", control + ' ', 5000);
        return line ? line->rest.section(' ', 1) : QStringLiteral("(none)");
    }

    static bool Set(ProgramRun& run, int frame, const QString& control, const QString& value)
    {
        run.Send(QStringLiteral("set %1 %2 %3").arg(frame).arg(control, value));
        return run.WaitFor("set", control, 5000).has_value();
    }

    // Presses a page's Apply and answers the boxes that follow until the printer reports
    // the change; the texts of the boxes.
    static QStringList Apply(ProgramRun& run, int frame, const QString& page)
    {
        QStringList boxes;
        run.Send(QStringLiteral("press %1 %2/apply").arg(frame).arg(page));
        if (!run.WaitFor("pressed", page + "/apply", 5000))
            return {"(apply not pressed)"};
        for (int i = 0; i < 5; ++i) {
            const auto box = run.WaitFor("msgbox", {}, 30000);
            if (!box)
                break;
            const QString text = ProgramRun::Unescape(box->rest);
            boxes << text;
            const bool question = text.startsWith("question");
            run.Send(QStringLiteral("click %1 %2").arg(box->id).arg(question ? "yes" : "ok"));
            run.WaitForHidden(box->id, 10000);
            if (!question)
                break;
        }
        return boxes;
    }

    // Closes the main window and answers any question about leaving with answer.
    static std::optional<int> Exit(ProgramRun& run, int frame, const QString& answer)
    {
        run.Send(QStringLiteral("close %1").arg(frame));
        while (const auto box = run.WaitFor("msgbox", {}, 3000))
            run.Send(QStringLiteral("click %1 %2").arg(box->id).arg(answer));
        return run.WaitForExit();
    }

    QByteArray PrinterLog() const
    {
        const qpr60test::Bytes bytes = m_printer.receivedBytes();
        return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                          static_cast<qsizetype>(bytes.size()));
    }

    std::string Control(const std::string& command) const { return m_printer.control(command); }

    PrintSettingsBlock SavedPrintSettings() const
    {
        PrintSettingsBlock block{};
        PluginDataMgr blocks;
        EXPECT_EQ(blocks.LoadSettingsFile(SettingsFile()), 0);
        EXPECT_EQ(blocks.GetBlockData(QPU_BLOCK_PRINT_SETTINGS_ID, &block, sizeof block), 0);
        return block;
    }

    MemorySwitchBlock SavedSwitches() const
    {
        MemorySwitchBlock block{};
        PluginDataMgr blocks;
        EXPECT_EQ(blocks.LoadSettingsFile(SettingsFile()), 0);
        EXPECT_EQ(blocks.GetBlockData(QPU_BLOCK_MEMORY_SWITCH_ID, &block, sizeof block), 0);
        return block;
    }

    QString m_readyStatus;
};

} // namespace

TEST_F(ProductFlowE2e, SettingsChangedOnThePagesReachThePrinterAndSurviveARestart)
{
    ASSERT_EQ(Control("custom 5"), "OK 100");
    ASSERT_EQ(Control("memsw 1"), "OK 00000000");
    {
        auto run = Run({});
        const int frame = StartWithPrinter(*run);
        ASSERT_NE(frame, 0);

        // Every page opens from the menu and shows what the printer read gave.
        ASSERT_TRUE(OpenPage(*run, frame, kPrinterInfoRow, "PrinterInfoPage/withSettings"))
            << Log(*run);
        ASSERT_TRUE(OpenPage(*run, frame, kPrintSettingsRow, kDensity)) << Log(*run);
        EXPECT_EQ(Get(*run, frame, kDensity), "100");
        EXPECT_EQ(Get(*run, frame, kSpeed), "3");

        ASSERT_EQ(Control("log clear"), "OK");
        ASSERT_TRUE(Set(*run, frame, kDensity, "115")) << Log(*run);
        const QStringList densityBoxes = Apply(*run, frame, "PrintSettingsPage");
        ASSERT_FALSE(densityBoxes.isEmpty()) << Log(*run);
        EXPECT_EQ(densityBoxes.last(), "information QP-R60 Utility\tSettings were changed "
                                       "successfully.")
            << densityBoxes.join('|').toStdString();
        QByteArray received = PrinterLog();
        // Density and the unchanged speed were written, once each, and nothing else was set.
        EXPECT_EQ(received.count(CustomValueCommand(5, 115)), 1) << received.toHex(' ').data();
        EXPECT_EQ(received.count(CustomValueCommand(6, 3)), 1) << received.toHex(' ').data();
        EXPECT_EQ(received.count(kSetCustomPrefix), 2);
        EXPECT_EQ(received.count(kSetSwitchPrefix), 0);
        EXPECT_EQ(Control("custom 5"), "OK 115");
        EXPECT_EQ(Control("custom 6"), "OK 3");

        ASSERT_TRUE(WaitUntilReady(*run, frame)) << Log(*run);
        ASSERT_TRUE(OpenPage(*run, frame, kMemorySwitchRow, kSwitchBit)) << Log(*run);
        EXPECT_EQ(Get(*run, frame, kSwitchBit), "0");
        ASSERT_EQ(Control("log clear"), "OK");
        ASSERT_TRUE(Set(*run, frame, kSwitchBit, "1"));
        const QStringList switchBoxes = Apply(*run, frame, "MemorySwitchPage");
        ASSERT_FALSE(switchBoxes.isEmpty()) << Log(*run);
        EXPECT_TRUE(switchBoxes.last().startsWith("information"))
            << switchBoxes.join('|').toStdString();
        received = PrinterLog();
        // Only the changed switch was written.
        EXPECT_EQ(received.count(kSetSwitchPrefix), 1) << received.toHex(' ').data();
        EXPECT_EQ(received.count(kSetSwitchPrefix + "\x01" + "00100000"), 1)
            << received.toHex(' ').data();
        EXPECT_EQ(received.count(kSetCustomPrefix), 0);
        EXPECT_EQ(Control("memsw 1"), "OK 00100000");
        EXPECT_EQ(Control("memsw 2"), "OK 00000000");
        EXPECT_EQ(Control("custom 5"), "OK 115");

        ASSERT_TRUE(WaitUntilReady(*run, frame)) << Log(*run);
        ASSERT_EQ(Exit(*run, frame, "yes"), 1) << Log(*run);
    }
    const PrintSettingsBlock saved = SavedPrintSettings();
    EXPECT_EQ(saved.printDensity, 115);
    EXPECT_EQ(saved.printSpeed, 3);
    EXPECT_EQ(saved.readFlag, 1u);
    EXPECT_EQ(SavedSwitches().switches[0], 0x04u);

    // The next start shows the values on the pages.
    ASSERT_EQ(Control("log clear"), "OK");
    auto again = Run({});
    const int frame = StartWithPrinter(*again);
    ASSERT_NE(frame, 0);
    ASSERT_TRUE(OpenPage(*again, frame, kPrintSettingsRow, kDensity)) << Log(*again);
    EXPECT_EQ(Get(*again, frame, kDensity), "115");
    ASSERT_TRUE(OpenPage(*again, frame, kMemorySwitchRow, kSwitchBit)) << Log(*again);
    EXPECT_EQ(Get(*again, frame, kSwitchBit), "1");
    EXPECT_EQ(Get(*again, frame, "MemorySwitchPage/msw1bit1"), "0");
    ASSERT_EQ(Exit(*again, frame, "yes"), 1) << Log(*again);
    // Looking at the pages wrote nothing to the printer.
    const QByteArray received = PrinterLog();
    EXPECT_EQ(received.count(kSetCustomPrefix), 0);
    EXPECT_EQ(received.count(kSetSwitchPrefix), 0);
}

TEST_F(ProductFlowE2e, StartModeFourPutsThePageValuesIntoTheOutputFile)
{
    const QString output = Path("out/settings.out");
    QDir().mkpath(Path("out"));
    auto run = Run({"/mF" + output});
    const auto frame = run->WaitFor("shown", "CMainFrame");
    ASSERT_TRUE(frame.has_value()) << Log(*run);
    ASSERT_TRUE(OpenPage(*run, frame->id, kOfflinePrintSettingsRow, kDensity)) << Log(*run);
    ASSERT_TRUE(Set(*run, frame->id, kDensity, "85"));
    ASSERT_TRUE(Set(*run, frame->id, kSpeed, "7"));
    EXPECT_EQ(Get(*run, frame->id, kDensity), "85");

    run->Send(QStringLiteral("close %1").arg(frame->id));
    const auto question = run->WaitFor("msgbox");
    ASSERT_TRUE(question.has_value()) << Log(*run);
    EXPECT_EQ(
        ProgramRun::Unescape(question->rest),
        QStringLiteral("question Save to File\tDo you want to save the settings to the file?"));
    run->Send(QStringLiteral("click %1 yes").arg(question->id));
    ASSERT_EQ(run->WaitForExit(), 1) << Log(*run);
    EXPECT_EQ(run->Log().filter("msgbox").size(), 1) << Log(*run);

    const QByteArray written = ReadFile(output);
    ASSERT_GT(written.size(), 256);
    EXPECT_EQ(written.count(CustomValueCommand(5, 85)), 1) << written.toHex(' ').data();
    EXPECT_EQ(written.count(CustomValueCommand(6, 7)), 1) << written.toHex(' ').data();
    EXPECT_EQ(written.count(QByteArray(kSetCustomPrefix) + '\x05'), 1);
    EXPECT_EQ(written.count(QByteArray(kSetCustomPrefix) + '\x06'), 1);
    // The printer was never spoken to.
    EXPECT_EQ(m_printer.statusField("received"), "0");
}
