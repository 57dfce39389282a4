// The status strip inside the main frame: the frame's start of monitoring and its
// forwarded messages, and the whole road from a printer's status change to the status line
// with the real communication library and the emulated printer.
#include "status_view_test_support.h"

#include "comm/comm_lib_binding.h"
#include "mainwnd/main_frame.h"
#include "mainwnd/printer_setting_reader.h"
#include "pages/printer_setting_view.h"
#include "platform/library.h"
#include "platform/manual_reset_event.h"

#include "emulator_process.h"
#include "screenshots.h"

#include <qpu/prtinf.h>
#include <qpu/window_message.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace {

using status_view_test::Bench;
using status_view_test::ControlText;

constexpr int kStatusLine = CUtilStatusView::kStatusLineId;

// A bound library of which only the status procedure entry points work.
struct StatusProcTable
{
    static inline std::mutex mutex;
    static inline QPC_StatusProc proc = nullptr;
    static inline void* context = nullptr;
    static inline int moduleStandIn = 0;

    static int32_t Register(QPC_StatusProc p, void* c)
    {
        const std::lock_guard<std::mutex> lock(mutex);
        proc = p;
        context = c;
        return QPC_OK;
    }
    static int32_t Unregister()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        proc = nullptr;
        context = nullptr;
        return QPC_OK;
    }
    static int32_t Initialize() { return QPC_OK; }
    // Calls the registered procedure from a thread of its own, as the library does.
    static void Report(int32_t code)
    {
        std::thread([code] {
            const std::lock_guard<std::mutex> lock(mutex);
            if (proc != nullptr)
                proc(code, context);
        }).join();
    }

    StatusProcTable()
    {
        table.module = &moduleStandIn;
        table.RegisterStatusProc = &Register;
        table.UnregisterStatusProc = &Unregister;
        table.Initialize = &Initialize;
        Unregister();
    }
    CommLibTable table{};
};

// A frame with a status view in its status pane.
struct FrameBench
{
    explicit FrameBench(Bench& bench) : frame(&bench.State())
    {
        auto owned = bench.MakeView(&frame);
        view = owned.get();
        frame.SetStatusView(owned.release());
        view->InitialUpdate();
    }
    CMainFrame frame;
    CUtilStatusView* view = nullptr;
};

TEST(StatusViewInFrame, PrinterAnsweredAtStartShowsOnlineReadsAndRegistersTheCallback)
{
    Bench bench;
    StatusProcTable lib;
    bench.State().commLib = &lib.table;
    FrameBench f(bench);
    f.frame.SetStartupCommResult(0);
    f.frame.StartStatusMonitoring(bench.Entries());

    EXPECT_EQ(ControlText(*f.view, kStatusLine), "Status: Online");
    ASSERT_EQ(bench.Reads().reads.size(), 1u);
    EXPECT_EQ(bench.Reads().reads[0], &bench.Entries());
    EXPECT_EQ(bench.Reads().mainWindow, &f.frame);
    // The page asked the frame for the status (WM_USER+201), which asked the view.
    EXPECT_EQ(bench.Reads().shownCodeAtRead[0], 0);

    // The callback posts to the view from the library's thread; the UI thread handles it.
    StatusProcTable::Report(6);
    EXPECT_EQ(ControlText(*f.view, kStatusLine), "Status: Online");
    QApplication::processEvents();
    EXPECT_EQ(ControlText(*f.view, kStatusLine), "Status: Cover is open");

    // Messages that plug-in pages send to the main window reach the view.
    int32_t shown = -5;
    qpu::SendWindowMessage(&f.frame, QPU_WM_STATUS_QUERY, reinterpret_cast<intptr_t>(&shown), 0);
    EXPECT_EQ(shown, 6);
    EXPECT_EQ(qpu::SendWindowMessage(&f.frame, QPU_WM_STATUS_FRESH_READ, 0, 0), 0);
    EXPECT_EQ(bench.Reads().reads.size(), 2u);
    qpu::SendWindowMessage(&f.frame, QPU_WM_STATUS_END, 0, 0);
    StatusProcTable::Report(1);
    QApplication::processEvents();
    EXPECT_EQ(ControlText(*f.view, kStatusLine), "Status: Cover is open");
}

TEST(StatusViewInFrame, PrinterSilentAtStartShowsUnknownUntilItReports)
{
    Bench bench;
    StatusProcTable lib;
    bench.State().commLib = &lib.table;
    FrameBench f(bench);
    f.frame.SetStartupCommResult(QPC_ERR_TIMEOUT);
    f.frame.StartStatusMonitoring(bench.Entries());
    EXPECT_EQ(ControlText(*f.view, kStatusLine), "Status: Unknown");
    EXPECT_TRUE(bench.Reads().reads.empty());

    StatusProcTable::Report(0);
    QApplication::processEvents();
    EXPECT_EQ(ControlText(*f.view, kStatusLine), "Status: Online");
    EXPECT_EQ(bench.Reads().reads.size(), 1u);
}

TEST(StatusViewInFrame, ReadsWaitWhileTheFrameRunsItsProgressDialog)
{
    Bench bench;
    FrameBench f(bench);
    f.view->SetEntryList(&bench.Entries());
    f.view->HandleStatusCode(1);
    // A page runs its own job behind the frame's progress dialog; the printer comes back
    // meanwhile.
    ASSERT_NE(f.frame.CreateProgressDialog(nullptr), nullptr);
    platform::ManualResetEvent done;
    QTimer::singleShot(50, &f.frame, [&] {
        f.view->HandleStatusCode(0);
        done.set();
    });
    ProgressRequest request{done.native(), nullptr, QPU_PROGRESS_ANIMATION_TWO_WAY, 1};
    ASSERT_EQ(f.frame.RunProgressDialog(&request, nullptr), 0);
    EXPECT_TRUE(bench.Reads().reads.empty());
    EXPECT_EQ(ControlText(*f.view, kStatusLine), "Status: Online");
}

// ---------------------------------------------------------------------------------------
// With libQPComm.so and the emulated printer.

// Sets an environment variable for the life of the object.
class EnvSetting
{
public:
    EnvSetting(const char* name, const QByteArray& value) : m_name(name)
    {
        m_had = qEnvironmentVariableIsSet(name);
        m_old = qgetenv(name);
        qputenv(name, value);
    }
    ~EnvSetting()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    QByteArray m_old;
    bool m_had = false;
};

// Reads the printer's identity through the printer information library into block
// 0x10001 and asks the main window to refresh the strip, as the printer setting page does.
class IdentityReader final : public IStatusPrinterReader
{
public:
    IdentityReader(PluginDataMgr& dataMgr, int* readCount) : m_dataMgr(dataMgr), m_count(readCount)
    {}
    ~IdentityReader() override
    {
        if (m_handle != nullptr)
            m_library.ResolveAs<PrtInf_Finalize_t>("Finalize")(&m_handle);
    }

    int Initialize(AppState* state, QWidget* mainWindow, QWidget* /*parent*/) override
    {
        m_mainWindow = mainWindow;
        if (!m_library.Load(QStringLiteral(PRTINF_LIBRARY_NAME), QStringLiteral(QPU_APP_DIR "/")))
            return -24;
        const auto init = m_library.ResolveAs<PrtInf_Initialize_t>("Initialize");
        m_handle = init != nullptr ? init(state->commLib) : nullptr;
        return m_handle != nullptr ? 0 : -24;
    }
    int InitSettingData(quint32 /*blockId*/) override
    {
        return WriteDefaultPrinterInfoBlock(m_dataMgr);
    }
    int ReadAllSettings(const MenuItemList* /*entries*/) override
    {
        ++*m_count;
        const auto get =
            m_library.ResolveAs<PrtInf_GetPrinterInformation_t>("GetPrinterInformation");
        if (m_handle == nullptr || get == nullptr)
            return -67;
        PrinterInformation info{};
        info.requestMask = PRTINF_REQUEST_ALL;
        if (get(m_handle, &info, 0) != PRTINF_OK)
            return -67;
        PrinterInfoBlock block = DefaultPrinterInfoBlock();
        ApplyPrinterInformation(block, info);
        WritePrinterInfoBlock(m_dataMgr, block);
        qpu::PostWindowMessage(m_mainWindow, QPU_WM_STATUS_REFRESH, 0, 0);
        return 1;
    }

private:
    PluginDataMgr& m_dataMgr;
    int* m_count;
    QWidget* m_mainWindow = nullptr;
    platform::Library m_library;
    PrtInfHandle m_handle = nullptr;
};

class StatusViewWithPrinter : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_tmp.isValid());
        m_env.emplace_back(std::make_unique<EnvSetting>(
            "QP60UTIL_COMMON_APPDATA", QDir(m_tmp.path()).filePath("common").toUtf8()));
        m_env.emplace_back(std::make_unique<EnvSetting>(
            "XDG_RUNTIME_DIR", QDir(m_tmp.path()).filePath("run").toUtf8()));
        m_env.emplace_back(std::make_unique<EnvSetting>("QPCOMM_DISCOVERY_ADDR", "127.0.0.1"));
        m_env.emplace_back(std::make_unique<EnvSetting>("QPCOMM_STATUS_INTERVAL_MS", "100"));
        QDir(m_tmp.path()).mkpath("common");
        QDir(m_tmp.path()).mkpath("run");
        ASSERT_TRUE(m_printer.start({"--tcp", "127.0.0.1:0"}))
            << m_printer.error() << m_printer.stderrText();
        ASSERT_EQ(m_binding.Bind(QLatin1String(kCommLibraryName), QStringLiteral(QPU_APP_DIR "/")),
                  QPC_OK)
            << m_binding.ErrorString().toStdString();

        const QString address = QStringLiteral("127.0.0.1:%1").arg(m_printer.tcpPort());
        m_bench.SetPort(QStringLiteral("NET"), address);
        ASSERT_EQ(m_binding.Call(&CommLibTable::SetPort, &m_bench.State().portInfo), QPC_OK);
        ASSERT_EQ(m_binding.Call(&CommLibTable::Open, 1), QPC_OK);
        m_bench.State().commLib = m_binding.Table();
    }

    void TearDown() override
    {
        m_binding.Call(&CommLibTable::Terminate);
        m_binding.Unbind();
        m_printer.stop();
    }

    void Control(const std::string& command)
    {
        const std::string answer = m_printer.control(command);
        ASSERT_EQ(answer.substr(0, 2), "OK") << command << ": " << answer;
    }

    // Waits, handling events, until the status line reads text; at most 5 seconds.
    ::testing::AssertionResult StatusLineBecomes(const CUtilStatusView& view, const QString& text)
    {
        if (QTest::qWaitFor([&] { return ControlText(view, kStatusLine) == text; }, 5000))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "status line is \"" << ControlText(view, kStatusLine).toStdString()
               << "\", expected \"" << text.toStdString() << "\"";
    }

    QTemporaryDir m_tmp;
    std::vector<std::unique_ptr<EnvSetting>> m_env;
    qpr60test::EmulatorProcess m_printer;
    CommLibBinding m_binding;
    Bench m_bench;
};

TEST_F(StatusViewWithPrinter, StatusChangesOfThePrinterReachTheStatusLine)
{
    CMainFrame frame(&m_bench.State());
    int reads = 0;
    CUtilStatusView::Context context;
    context.appState = &m_bench.State();
    context.mainWindow = &frame;
    auto* view =
        new CUtilStatusView(context, std::make_unique<IdentityReader>(m_bench.DataMgr(), &reads));
    frame.SetStatusView(view);
    view->InitialUpdate();
    frame.SetStartupCommResult(0);
    frame.StartStatusMonitoring(m_bench.Entries());
    frame.show();

    // The read at start filled in the printer's identity.
    EXPECT_EQ(reads, 1);
    EXPECT_TRUE(StatusLineBecomes(*view, "Status: Online"));
    const QString port = QStringLiteral("Port: 127.0.0.1:%1").arg(m_printer.tcpPort());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return ControlText(*view, CUtilStatusView::kSerialLineId) != "Serial No: Unknown"; },
        5000));
    EXPECT_EQ(ControlText(*view, CUtilStatusView::kModelLineId), "QP-R60 ESC/VRK-A Ver.1.00");
    EXPECT_EQ(ControlText(*view, CUtilStatusView::kPortLineId), port);
    EXPECT_EQ(ControlText(*view, CUtilStatusView::kCharacterSetId), "South Asia");
    EXPECT_EQ(ControlText(*view, CUtilStatusView::kSerialLineId), "Serial No: QPR6000001");

    QElapsedTimer latency;
    latency.start();
    Control("cover open");
    EXPECT_TRUE(StatusLineBecomes(*view, "Status: Cover is open"));
    // A figure for people, not a limit: from the control command to the status line.
    std::printf("[ figure   ] cover open to status line: %lld ms\n",
                static_cast<long long>(latency.elapsed()));
    Control("cover close");
    EXPECT_TRUE(StatusLineBecomes(*view, "Status: Online"));
    EXPECT_EQ(reads, 1); // the printer was never offline

    // Offline and back: the settings are read afresh, with the printer's new identity.
    Control("offline on");
    EXPECT_TRUE(StatusLineBecomes(*view, "Status: Offline"));
    Control("serial QPR6000777");
    Control("offline off");
    EXPECT_TRUE(StatusLineBecomes(*view, "Status: Online"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return reads == 2; }, 5000));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return ControlText(*view, CUtilStatusView::kSerialLineId) == "Serial No: QPR6000777";
        },
        5000));

    // A lasting ink condition outranks online and higher codes, not lower ones.
    Control("ink 1 out");
    EXPECT_TRUE(StatusLineBecomes(*view, "Status: Out of ink 1"));
    Control("paper end");
    EXPECT_TRUE(StatusLineBecomes(*view, "Status: Out of paper"));
    Control("paper ok");
    EXPECT_TRUE(StatusLineBecomes(*view, "Status: Out of ink 1"));
    Control("ink 1 ok");
    EXPECT_TRUE(StatusLineBecomes(*view, "Status: Online"));
    EXPECT_EQ(reads, 2);

    // A picture of the strip for people, when asked for.
    if (const QString dir = ScreenshotFolder(); !dir.isEmpty()) {
        Control("ink 2 near");
        EXPECT_TRUE(StatusLineBecomes(*view, "Status: Ink 2 near-end"));
        view->grab().save(dir + QStringLiteral("status_view_strip.png"));
        frame.grab().save(dir + QStringLiteral("status_view_frame.png"));
        const QImage strip = view->grab().toImage();
        strip.scaled(strip.size() * 3).save(dir + QStringLiteral("status_view_strip_x3.png"));
    }
    frame.hide();
}

// Accepts every message box that comes up while it lives, and keeps their texts.
class MessageBoxCloser
{
public:
    MessageBoxCloser()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            // The progress dialog may come up after the box and be the active modal
            // window; the box is found among all windows.
            for (QWidget* window : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(window);
                if (box != nullptr && box->isVisible()) {
                    texts.push_back(box->text());
                    box->accept();
                }
            }
        });
        m_timer.start(20);
    }
    std::vector<QString> texts;

private:
    QTimer m_timer;
};

// The strip with the built-in printer setting page in a main frame, as the program has it.
struct RealPageBench
{
    explicit RealPageBench(Bench& bench) : frame(&bench.State())
    {
        SetFixedText(bench.State().programFolder, QStringLiteral(QPU_APP_DIR "/"));
        CUtilStatusView::Context context;
        context.appState = &bench.State();
        context.mainWindow = &frame;
        auto reader = std::make_unique<CPrinterSettingReader>();
        controller = &reader->Controller();
        view = new CUtilStatusView(context, std::move(reader));
        frame.SetStatusView(view);
        view->InitialUpdate();
    }
    CMainFrame frame;
    CUtilStatusView* view = nullptr;
    CPrinterSettingViewCtrl* controller = nullptr;
};

TEST_F(StatusViewWithPrinter, PrinterSettingPageReadsTheIdentityBehindTheProgressDialog)
{
    MessageBoxCloser boxes;
    Control("serial QPR60-4711");
    RealPageBench f(m_bench);
    ASSERT_NE(f.controller->Page(), nullptr);
    EXPECT_EQ(f.controller->Page()->parentWidget(), f.view);
    EXPECT_FALSE(f.controller->Page()->isVisible());
    EXPECT_EQ(m_bench.DataMgr().BlockSize(QPU_BLOCK_PRINTER_INFO_ID), 992);

    f.frame.SetStartupCommResult(0);
    f.frame.StartStatusMonitoring(m_bench.Entries());
    EXPECT_EQ(f.view->ReadCount(), 1);
    EXPECT_FALSE(f.view->Rules().NeedsReread());
    EXPECT_EQ(m_bench.DataMgr().SaveEnabled(), 1);
    // The page posts the refresh to the frame, which posts it on to the strip.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return ControlText(*f.view, CUtilStatusView::kSerialLineId) == "Serial No: QPR60-4711";
        },
        5000));
    EXPECT_EQ(ControlText(*f.view, CUtilStatusView::kModelLineId), "QP-R60 ESC/VRK-A Ver.1.00");
    EXPECT_EQ(ControlText(*f.view, CUtilStatusView::kCharacterSetId), "South Asia");
    EXPECT_EQ(ControlText(*f.view, kStatusLine), "Status: Online");

    // Offline and back: the read runs again, with the printer's new identity.
    Control("offline on");
    EXPECT_TRUE(StatusLineBecomes(*f.view, "Status: Offline"));
    Control("charset Thai");
    Control("offline off");
    EXPECT_TRUE(StatusLineBecomes(*f.view, "Status: Online"));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return ControlText(*f.view, CUtilStatusView::kCharacterSetId) == "Thai"; }, 5000));
    EXPECT_EQ(f.view->ReadCount(), 2);
    // The status callback is registered again after the progress dialog.
    Control("cover open");
    EXPECT_TRUE(StatusLineBecomes(*f.view, "Status: Cover is open"));
    EXPECT_TRUE(boxes.texts.empty());
}

TEST_F(StatusViewWithPrinter, AnotherModelKeepsTheFormerStatusAndTheReadDue)
{
    MessageBoxCloser boxes;
    Control("model QP-R99");
    RealPageBench f(m_bench);
    f.frame.SetStartupCommResult(QPC_ERR_TIMEOUT);
    f.frame.StartStatusMonitoring(m_bench.Entries());
    EXPECT_EQ(ControlText(*f.view, kStatusLine), "Status: Unknown");
    // The library reports Online at registration; the read it starts finds another model.
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.view->ReadCount() == 1; }, 10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !boxes.texts.empty(); }, 5000));
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0], "The device ID does not match the connected printer.");
    EXPECT_EQ(ControlText(*f.view, kStatusLine), "Status: Unknown");
    EXPECT_EQ(f.view->ShownCode(), -1);
    EXPECT_TRUE(f.view->Rules().NeedsReread());
    EXPECT_EQ(m_bench.DataMgr().SaveEnabled(), 0);

    // The right printer: the next usable status reads it.
    Control("model QP-R60");
    Control("cover open");
    EXPECT_TRUE(StatusLineBecomes(*f.view, "Status: Cover is open"));
    Control("cover close");
    EXPECT_TRUE(StatusLineBecomes(*f.view, "Status: Online"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !f.view->Rules().NeedsReread(); }, 10000));
    EXPECT_EQ(f.view->ReadCount(), 2);
    EXPECT_EQ(m_bench.DataMgr().SaveEnabled(), 1);
    EXPECT_EQ(boxes.texts.size(), 1u);
}

} // namespace
