// The status strip: its controls and texts, the fields from block 0x10001, the status
// line for every code and code sequence, the fresh reads it starts and the window messages
// it answers.
#include "status_view_test_support.h"

#include "mainwnd/main_frame.h"
#include "mainwnd/printer_picture.h"
#include "pages/static_item.h"

#include <qpu/window_message.h>

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

using status_view_test::Bench;
using status_view_test::ControlText;

constexpr int kStatusLine = CUtilStatusView::kStatusLineId;

class StatusViewTest : public ::testing::Test
{
protected:
    // A view after its initial update, with the entry list handed over.
    std::unique_ptr<CUtilStatusView> ReadyView(std::function<bool()> jobRunning = {})
    {
        auto view = m_bench.MakeView(nullptr, std::move(jobRunning));
        view->InitialUpdate();
        view->SetEntryList(&m_bench.Entries());
        return view;
    }

    Bench m_bench;
};

TEST_F(StatusViewTest, InitialUpdateCreatesThePageAndRegistersItsBlockOnce)
{
    m_bench.Reads().dependencies = {{0x10005, 0x10000, 152}};
    auto view = m_bench.MakeView();
    EXPECT_EQ(m_bench.DataMgr().FindBlock(QPU_BLOCK_PRINTER_INFO_ID), -1);
    view->InitialUpdate();
    view->InitialUpdate();

    EXPECT_EQ(m_bench.Reads().initializeCalls, 1);
    EXPECT_EQ(m_bench.Reads().state, &m_bench.State());
    EXPECT_EQ(m_bench.Reads().parent, view.get());
    EXPECT_EQ(m_bench.Reads().initSettingData,
              (std::vector<quint32>{QPU_BLOCK_PRINTER_INFO_ID, 0x10005}));
    EXPECT_EQ(m_bench.DataMgr().BlockSize(QPU_BLOCK_PRINTER_INFO_ID), 992);
    EXPECT_EQ(m_bench.DataMgr().BlockSize(0x10005), 152);
    // Nothing read yet: no identity, the port as selected.
    EXPECT_EQ(ControlText(*view, CUtilStatusView::kModelLineId), "Unknown");
    EXPECT_EQ(ControlText(*view, CUtilStatusView::kPortLineId), "Port: 192.168.10.20");
    EXPECT_EQ(ControlText(*view, CUtilStatusView::kCharacterSetId), "Alphanumeric");
    EXPECT_EQ(ControlText(*view, CUtilStatusView::kSerialLineId), "Serial No: Unknown");
    EXPECT_EQ(view->LastStatusText(), "Unknown");
}

TEST_F(StatusViewTest, BlocksRestoredFromTheSettingsFileKeepTheirData)
{
    ASSERT_EQ(RegisterPrinterInfoBlock(m_bench.DataMgr()), 0);
    m_bench.SetIdentity("QPR6000001", "QP-R60", "ESC/VRK-A Ver.1.00", "");
    auto view = m_bench.MakeView();
    view->InitialUpdate();
    EXPECT_TRUE(m_bench.Reads().initSettingData.empty());
    EXPECT_EQ(ControlText(*view, CUtilStatusView::kModelLineId), "QP-R60 ESC/VRK-A Ver.1.00");
    EXPECT_EQ(ControlText(*view, CUtilStatusView::kCharacterSetId), "South Asia");
    EXPECT_EQ(ControlText(*view, CUtilStatusView::kSerialLineId), "Serial No: QPR6000001");
}

TEST_F(StatusViewTest, WithoutAPageTheViewWritesTheBlockDefaultsAndCannotRead)
{
    CUtilStatusView::Context context;
    context.appState = &m_bench.State();
    CUtilStatusView view(context, nullptr);
    view.InitialUpdate();
    PrinterInfoBlock block{};
    ASSERT_TRUE(ReadPrinterInfoBlock(m_bench.DataMgr(), &block));
    EXPECT_EQ(block.presetValueA, 80);
    EXPECT_EQ(block.presetValueB, 180);
    EXPECT_EQ(view.ReadPrinter(), 1); // no entry list yet
    view.SetEntryList(&m_bench.Entries());
    EXPECT_EQ(view.ReadPrinter(), CUtilStatusView::kReadNoPage);
}

TEST_F(StatusViewTest, ControlsCarryTheTemplateIdsAndBoldTextsOnTheWindowColour)
{
    auto view = m_bench.MakeView();
    view->InitialUpdate();
    EXPECT_EQ(view->property("controlId").toInt(), CUtilStatusView::kTemplateId);
    for (int id : {1021, 1022, 1023, 1024, 1025}) {
        auto* item = qobject_cast<CStaticItem*>(view->Control(id));
        ASSERT_NE(item, nullptr) << id;
        EXPECT_EQ(item->property("controlId").toInt(), id);
        EXPECT_TRUE(item->font().bold()) << id;
        EXPECT_EQ(item->BackgroundColor(), view->palette().color(QPalette::Base)) << id;
    }
    EXPECT_EQ(view->Control(1017)->size(), QSize(48, 48));
    EXPECT_EQ(view->Control(1018), nullptr);
}

TEST_F(StatusViewTest, LongTextsAreCutAtTheEdgeAndShownWholeInTheTip)
{
    const QString firmware = QString("ESC/VRK-A Ver.1.00 ").repeated(4).trimmed();
    ASSERT_EQ(RegisterPrinterInfoBlock(m_bench.DataMgr()), 0);
    m_bench.SetIdentity("QPR6000001", "QP-R60", firmware, "");
    auto view = ReadyView();
    const int narrow = view->minimumSizeHint().width();
    EXPECT_LT(narrow, 400);
    const QWidget* model = view->Control(CUtilStatusView::kModelLineId);
    EXPECT_EQ(model->toolTip(), "QP-R60 " + firmware);
    view->HandleStatusCode(5);
    EXPECT_EQ(view->Control(kStatusLine)->toolTip(), "Status: Auto recoverable error");
    // The strip does not ask for more room because of a long text.
    EXPECT_EQ(view->minimumSizeHint().width(), narrow);
}

TEST_F(StatusViewTest, PicturesKeyColourIsTransparentOnTheStrip)
{
    const QImage picture = PrinterPicture();
    EXPECT_EQ(picture.size(), QSize(48, 48));
    EXPECT_EQ(picture.depth(), 24);
    EXPECT_EQ(picture.pixel(0, 0), kPrinterPictureKeyColor);
    int drawn = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 48; ++x)
            drawn += picture.pixel(x, y) != kPrinterPictureKeyColor;
    EXPECT_GT(drawn, 48 * 48 / 3); // a printer, not a speck

    auto view = m_bench.MakeView();
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    const QImage shot = view->grab().toImage();
    const QPoint corner = view->Control(CUtilStatusView::kPictureId)->geometry().topLeft();
    EXPECT_EQ(shot.pixelColor(corner), view->palette().color(QPalette::Base));
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            ASSERT_NE(shot.pixel(x, y) | 0xFF000000u, kPrinterPictureKeyColor) << x << "," << y;
}

TEST_F(StatusViewTest, EveryCodeShowsItsEnglishText)
{
    const char* const texts[] = {"Online",
                                 "Offline",
                                 "Cannot Get Status",
                                 "Fatal Error",
                                 "Recoverable error",
                                 "Auto recoverable error",
                                 "Cover is open",
                                 "Out of paper",
                                 "Out of journal",
                                 "Auto cutter error",
                                 "No Ink Cartridge 1",
                                 "No Ink Cartridge 2",
                                 "Out of ink 1",
                                 "Out of ink 2",
                                 "Feeding paper",
                                 "Cleaning",
                                 "Offline",
                                 "Awaiting paper removal",
                                 "Paper near-end",
                                 "Journal near-end",
                                 "Ink 1 near-end",
                                 "Ink 2 near-end",
                                 "Paper layout error"};
    for (int code = 0; code <= 22; ++code) {
        // A fresh view each time, so that no lasting code outranks the next one.
        auto view = ReadyView();
        view->HandleStatusCode(code);
        EXPECT_EQ(ControlText(*view, kStatusLine), QString("Status: ") + texts[code]) << code;
        EXPECT_EQ(view->ShownCode(), code);
    }
    for (int code : {-7, 23, 30, 99, 101}) {
        auto view = ReadyView();
        view->HandleStatusCode(code);
        EXPECT_EQ(ControlText(*view, kStatusLine), "Status: Unknown") << code;
        EXPECT_EQ(view->ShownCode(), -1) << code;
    }
}

// Online in green, conditions the printer prints through (near-end, feeding, cleaning,
// awaiting removal) in the warning colour, everything that stops it in the error colour.
TEST_F(StatusViewTest, TheStatusLineIsColouredByTheKindOfCondition)
{
    enum Kind
    {
        Good,
        Warning,
        Error,
        Neutral
    };
    const std::pair<int, Kind> cases[] = {
        {0, Good},     {1, Error},    {2, Error},    {3, Error},  {6, Error},    {7, Error},
        {12, Error},   {14, Warning}, {15, Warning}, {16, Error}, {17, Warning}, {18, Warning},
        {19, Warning}, {20, Warning}, {21, Warning}, {22, Error}, {30, Neutral},
    };
    QColor colours[4];
    for (const auto& [code, kind] : cases) {
        auto view = ReadyView();
        view->HandleStatusCode(code);
        const QColor shown = view->Control(kStatusLine)->palette().color(QPalette::WindowText);
        if (!colours[kind].isValid())
            colours[kind] = shown;
        EXPECT_EQ(shown, colours[kind]) << code;
    }
    EXPECT_GT(colours[Good].green(), colours[Good].red());
    EXPECT_GT(colours[Error].red(), colours[Error].green());
    EXPECT_NE(colours[Warning], colours[Error]);
    EXPECT_NE(colours[Warning], colours[Good]);
    EXPECT_NE(colours[Neutral], colours[Good]);
    EXPECT_NE(colours[Neutral], colours[Error]);
}

TEST_F(StatusViewTest, TextsComeFromTheLanguageFile)
{
    ASSERT_TRUE(m_bench.AddShippedLanguage("0407.DAT"));
    m_bench.State().languageId = 0x0407;
    auto view = ReadyView();
    EXPECT_EQ(ControlText(*view, CUtilStatusView::kSerialLineId), "Seriennr.: Unbekannt");
    EXPECT_EQ(view->LastStatusText(), "Unbekannt");
    view->HandleStatusCode(6);
    EXPECT_EQ(ControlText(*view, kStatusLine), "Status: Abdeckung ist offen");
    view->HandleStatusCode(15); // cleaning: string 27
    EXPECT_EQ(ControlText(*view, kStatusLine), "Status: Reinigung");
    view->HandleStatusCode(100);
    view->HandleStatusCode(22); // paper layout error: string 29
    EXPECT_EQ(ControlText(*view, kStatusLine), "Status: Fehler im Papierlayout");
    view->HandleStatusCode(42);
    EXPECT_EQ(ControlText(*view, kStatusLine), "Status: Unbekannt");
}

TEST_F(StatusViewTest, AMissingStringKeepsTheEnglishText)
{
    // Only the fallback file exists, and it lacks string 6 and the status label.
    m_bench.RemoveLanguages();
    QFile file(m_bench.LanguageFolder() + "/0409.DAT");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[PRT_STATUS_STR]\nSTATUS_OFFLINE_1=Weg\n");
    file.close();
    m_bench.State().languageId = 0x0411;
    auto view = ReadyView();
    view->HandleStatusCode(6);
    EXPECT_EQ(ControlText(*view, kStatusLine), "Status: Cover is open");
    view->HandleStatusCode(1);
    EXPECT_EQ(ControlText(*view, kStatusLine), "Status: Weg");
}

TEST_F(StatusViewTest, LastingInkConditionOutranksOnlineAndHigherCodes)
{
    auto view = ReadyView();
    view->HandleStatusCode(0);
    view->HandleStatusCode(12);
    EXPECT_EQ(ControlText(*view, kStatusLine), "Status: Out of ink 1");
    view->HandleStatusCode(0); // same as the last ordinary code: nothing happens
    EXPECT_EQ(ControlText(*view, kStatusLine), "Status: Out of ink 1");
    view->HandleStatusCode(7);
    EXPECT_EQ(ControlText(*view, kStatusLine), "Status: Out of paper");
    view->HandleStatusCode(14);
    EXPECT_EQ(ControlText(*view, kStatusLine), "Status: Out of ink 1");
    EXPECT_EQ(view->Rules().LastOrdinaryCode(), 14);
    view->HandleStatusCode(0);
    EXPECT_EQ(ControlText(*view, kStatusLine), "Status: Out of ink 1");
    EXPECT_EQ(view->ShownCode(), 12);
}

TEST_F(StatusViewTest, EndOfALastingConditionShowsTheLastOrdinaryCodeAgain)
{
    auto view = ReadyView();
    view->HandleStatusCode(6);
    view->HandleStatusCode(15);
    EXPECT_EQ(ControlText(*view, kStatusLine), "Status: Cleaning");
    EXPECT_EQ(view->HandleStatusCode(100), 1);
    EXPECT_EQ(ControlText(*view, kStatusLine), "Status: Cover is open");
    EXPECT_EQ(view->Rules().LastingCode(), 100);
    // A repeat of that code changes nothing, even after the text was altered on screen.
    qobject_cast<QLabel*>(view->Control(kStatusLine))->setText("marker");
    EXPECT_EQ(view->HandleStatusCode(6), 1);
    EXPECT_EQ(ControlText(*view, kStatusLine), "marker");
}

TEST_F(StatusViewTest, SameOrdinaryCodeTwiceIsHandledOnce)
{
    m_bench.Reads().results = {0, 0};
    auto view = ReadyView();
    view->HandleStatusCode(1);
    EXPECT_EQ(view->HandleStatusCode(0), 1); // read started, some settings not read
    EXPECT_EQ(m_bench.Reads().reads.size(), 1u);
    // The same code again: no second read although the fresh read is still due.
    EXPECT_EQ(view->HandleStatusCode(0), 1);
    EXPECT_EQ(m_bench.Reads().reads.size(), 1u);
    EXPECT_TRUE(view->Rules().NeedsReread());
}

// The status procedure is registered anew after the read's progress dialog and is told
// the current code: after a read that found no readable printer that Online is shown, and
// page jobs and the next read run again.
TEST_F(StatusViewTest, OnlineAfterAFailedReadIsShownAndAllowsTheNextRead)
{
    m_bench.Reads().results = {-67, 1};
    auto view = ReadyView();
    view->HandleStatusCode(1);
    EXPECT_EQ(view->HandleStatusCode(0), 0);
    EXPECT_EQ(ControlText(*view, kStatusLine), "Status: Offline");
    EXPECT_EQ(view->HandleStatusCode(0), 1);
    EXPECT_EQ(ControlText(*view, kStatusLine), "Status: Online");
    int32_t shown = -2;
    qpu::SendWindowMessage(view.get(), QPU_WM_STATUS_QUERY, reinterpret_cast<intptr_t>(&shown), 0);
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(m_bench.Reads().reads.size(), 1u);
    EXPECT_EQ(qpu::SendWindowMessage(view.get(), QPU_WM_STATUS_FRESH_READ, 0, 0), 1);
    EXPECT_FALSE(view->Rules().NeedsReread());
}

TEST_F(StatusViewTest, UnknownCodeAsksForAFreshReadAtTheNextUsableStatus)
{
    auto view = ReadyView();
    view->HandleStatusCode(0); // the first read of the view
    ASSERT_EQ(m_bench.Reads().reads.size(), 1u);
    EXPECT_FALSE(view->Rules().NeedsReread());
    view->HandleStatusCode(30);
    EXPECT_EQ(ControlText(*view, kStatusLine), "Status: Unknown");
    EXPECT_TRUE(view->Rules().NeedsReread());
    EXPECT_EQ(view->HandleStatusCode(0), 1);
    ASSERT_EQ(m_bench.Reads().reads.size(), 2u);
    EXPECT_EQ(m_bench.Reads().reads[1], &m_bench.Entries());
    // The page's job runner saw the usable code, so it did not refuse the job.
    EXPECT_EQ(m_bench.Reads().shownCodeAtRead[1], 0);
    EXPECT_EQ(ControlText(*view, kStatusLine), "Status: Online");
    EXPECT_FALSE(view->Rules().NeedsReread());
}

TEST_F(StatusViewTest, NoReadStartsWhileAPrinterOperationRuns)
{
    bool jobRunning = true;
    auto view = ReadyView([&] { return jobRunning; });
    view->HandleStatusCode(1);
    view->HandleStatusCode(0);
    EXPECT_TRUE(m_bench.Reads().reads.empty());
    EXPECT_EQ(ControlText(*view, kStatusLine), "Status: Online");
    EXPECT_TRUE(view->Rules().NeedsReread());
    jobRunning = false;
    view->HandleStatusCode(18);
    EXPECT_EQ(m_bench.Reads().reads.size(), 1u);
}

TEST_F(StatusViewTest, NearEndCodesAfterOfflineStartTheReadButAwaitingRemovalDoesNot)
{
    for (int code : {18, 19, 20, 21}) {
        Bench bench;
        auto view = bench.MakeView();
        view->InitialUpdate();
        view->SetEntryList(&bench.Entries());
        view->HandleStatusCode(0);
        view->HandleStatusCode(16);
        const size_t before = bench.Reads().reads.size();
        view->HandleStatusCode(code);
        EXPECT_EQ(bench.Reads().reads.size(), before + 1) << code;
    }
    auto view = ReadyView();
    view->HandleStatusCode(1);
    view->HandleStatusCode(17);
    EXPECT_TRUE(m_bench.Reads().reads.empty());
    EXPECT_EQ(ControlText(*view, kStatusLine), "Status: Awaiting paper removal");
}

TEST_F(StatusViewTest, UnreadablePrinterKeepsTheFormerStatusAndTheReadDue)
{
    m_bench.Reads().results = {-67, 1};
    auto view = ReadyView();
    view->HandleStatusCode(1);
    EXPECT_EQ(view->HandleStatusCode(0), 0);
    EXPECT_EQ(ControlText(*view, kStatusLine), "Status: Offline");
    EXPECT_EQ(view->ShownCode(), 1);
    EXPECT_EQ(view->LastStatusText(), "Offline");
    EXPECT_TRUE(view->Rules().NeedsReread());
    // The next usable status tries again.
    EXPECT_EQ(view->HandleStatusCode(19), 1);
    EXPECT_EQ(m_bench.Reads().reads.size(), 2u);
    EXPECT_EQ(ControlText(*view, kStatusLine), "Status: Journal near-end");
    EXPECT_FALSE(view->Rules().NeedsReread());
}

TEST_F(StatusViewTest, ARefusedOrPartialReadShowsTheNewStatusAndStaysDue)
{
    m_bench.Reads().results = {-64, 0};
    auto view = ReadyView();
    view->HandleStatusCode(1);
    EXPECT_EQ(view->HandleStatusCode(0), 1);
    EXPECT_EQ(ControlText(*view, kStatusLine), "Status: Online");
    EXPECT_TRUE(view->Rules().NeedsReread());
    EXPECT_EQ(view->HandleStatusCode(18), 1);
    EXPECT_EQ(m_bench.Reads().reads.size(), 2u);
    EXPECT_TRUE(view->Rules().NeedsReread());
}

TEST_F(StatusViewTest, ACodeHandledDuringTheReadStaysOnScreen)
{
    auto view = ReadyView();
    view->HandleStatusCode(1);
    CUtilStatusView* raw = view.get();
    int nestedRead = 0;
    m_bench.Reads().duringRead = [&] {
        // The cover opens while the settings are read; the read itself may not start
        // again from inside.
        raw->HandleStatusCode(6);
        nestedRead = raw->ReadPrinter();
    };
    EXPECT_EQ(view->HandleStatusCode(0), 1);
    EXPECT_EQ(nestedRead, CUtilStatusView::kReadBusy);
    EXPECT_EQ(m_bench.Reads().reads.size(), 1u);
    EXPECT_EQ(ControlText(*view, kStatusLine), "Status: Cover is open");
    EXPECT_EQ(view->ShownCode(), 6);
}

TEST_F(StatusViewTest, ACodeHandledDuringAFailedReadStaysOnScreenToo)
{
    m_bench.Reads().results = {-67};
    auto view = ReadyView();
    view->HandleStatusCode(1);
    CUtilStatusView* raw = view.get();
    m_bench.Reads().duringRead = [&] { raw->HandleStatusCode(6); };
    EXPECT_EQ(view->HandleStatusCode(0), 0);
    EXPECT_EQ(ControlText(*view, kStatusLine), "Status: Cover is open");
    EXPECT_EQ(view->ShownCode(), 6);
}

TEST_F(StatusViewTest, StartModeFourShowsTheBareStatusLabel)
{
    m_bench.State().startMode = 4;
    m_bench.SetPort("", "");
    auto view = ReadyView();
    EXPECT_EQ(ControlText(*view, CUtilStatusView::kModelLineId), "QP-R60");
    EXPECT_EQ(ControlText(*view, CUtilStatusView::kPortLineId), "Port: ");
    view->ShowCurrentStatus();
    EXPECT_EQ(ControlText(*view, kStatusLine), "Status:");
    for (int code : {0, 30, 12, 6}) {
        view->HandleStatusCode(code);
        EXPECT_EQ(ControlText(*view, kStatusLine), "Status:") << code;
    }
    // The text part is still kept: it is what a failed read would bring back.
    EXPECT_EQ(view->LastStatusText(), "Cover is open");
}

TEST_F(StatusViewTest, PortLinePerPortType)
{
    const struct
    {
        const char* keyword;
        const char* name;
        int startMode;
        const char* line;
    } cases[] = {
        {"USB", "001", 0, "Port: USB-001"},    {"COM", "ttyUSB0", 0, "Port: ttyUSB0"},
        {"LPT", "lp0", 0, "Port: lp0"},        {"NET", "10.0.0.7", 0, "Port: 10.0.0.7"},
        {"BT", "rfcomm0", 0, "Port: rfcomm0"}, {"BT", "rfcomm0", 4, "Port: "},
    };
    for (const auto& c : cases) {
        m_bench.SetPort(c.keyword, c.name);
        m_bench.State().startMode = c.startMode;
        auto view = ReadyView();
        EXPECT_EQ(ControlText(*view, CUtilStatusView::kPortLineId), c.line) << c.keyword;
    }
    // A port opened from a driver port path on the command line (start mode 3).
    m_bench.SetPort("", "");
    m_bench.State().portInfo.driverPortFlag = 1;
    SetFixedText(m_bench.State().portInfo.driverPortPath, "//printhost/printers/receipt1");
    m_bench.State().startMode = 3;
    auto view = ReadyView();
    EXPECT_EQ(ControlText(*view, CUtilStatusView::kPortLineId), "Port: receipt1@printhost");
    m_bench.State().startMode = 0;
    view->RefreshFields();
    EXPECT_EQ(ControlText(*view, CUtilStatusView::kPortLineId), "Port: Unknown");
}

TEST_F(StatusViewTest, RefreshMessageShowsANewIdentityAndAMissingBlockKeepsTheFields)
{
    auto view = ReadyView();
    view->ShowCurrentStatus();
    m_bench.SetIdentity("", "QP-R60", "30.00 ESC/VRK", "Thai");
    EXPECT_EQ(qpu::SendWindowMessage(view.get(), QPU_WM_STATUS_REFRESH, 0, 0), 0);
    EXPECT_EQ(ControlText(*view, CUtilStatusView::kModelLineId), "QP-R60 30.00 ESC/VRK");
    EXPECT_EQ(ControlText(*view, CUtilStatusView::kCharacterSetId), "Thai");
    EXPECT_EQ(ControlText(*view, CUtilStatusView::kSerialLineId), "Serial No: Unknown");
    EXPECT_EQ(ControlText(*view, kStatusLine), "Status: Unknown");

    m_bench.DataMgr().RemoveBlockAt(m_bench.DataMgr().FindBlock(QPU_BLOCK_PRINTER_INFO_ID));
    m_bench.SetPort("USB", "002");
    view->RefreshFields();
    EXPECT_EQ(ControlText(*view, CUtilStatusView::kModelLineId), "QP-R60 30.00 ESC/VRK");
    EXPECT_EQ(ControlText(*view, CUtilStatusView::kPortLineId), "Port: 192.168.10.20");
}

TEST_F(StatusViewTest, WindowMessagesQueryReadStopAndStatus)
{
    m_bench.Reads().results = {-67};
    auto view = ReadyView();
    view->HandleStatusCode(6);
    int32_t shown = 55;
    EXPECT_EQ(qpu::SendWindowMessage(view.get(), QPU_WM_STATUS_QUERY,
                                     reinterpret_cast<intptr_t>(&shown), 0),
              0);
    EXPECT_EQ(shown, 6);
    // A null pointer is no place to store the code.
    EXPECT_EQ(qpu::SendWindowMessage(view.get(), QPU_WM_STATUS_QUERY, 0, 0), 0);

    EXPECT_EQ(qpu::SendWindowMessage(view.get(), QPU_WM_STATUS_FRESH_READ, 0, 0), -67);
    EXPECT_EQ(qpu::SendWindowMessage(view.get(), QPU_WM_STATUS_FRESH_READ, 0, 0), 1);
    EXPECT_EQ(m_bench.Reads().reads.size(), 2u);

    // Posted, as the status callback does, and handled by the event loop.
    qpu::PostWindowMessage(view.get(), QPU_WM_STATUS_CHANGED, 7,
                           reinterpret_cast<intptr_t>(view.get()));
    EXPECT_EQ(ControlText(*view, kStatusLine), "Status: Cover is open");
    QApplication::processEvents();
    EXPECT_EQ(ControlText(*view, kStatusLine), "Status: Out of paper");

    EXPECT_EQ(qpu::SendWindowMessage(view.get(), QPU_WM_STATUS_END, 0, 0), 0);
    EXPECT_EQ(qpu::SendWindowMessage(view.get(), QPU_WM_STATUS_CHANGED, 1, 0), 1);
    EXPECT_EQ(ControlText(*view, kStatusLine), "Status: Out of paper");
    EXPECT_EQ(view->ShownCode(), 7);
}

TEST_F(StatusViewTest, ReadWithoutEntryListAnswersOneAndReadsNothing)
{
    auto view = m_bench.MakeView();
    view->InitialUpdate();
    EXPECT_EQ(view->ReadPrinter(), 1);
    view->HandleStatusCode(0);
    EXPECT_TRUE(m_bench.Reads().reads.empty());
    EXPECT_EQ(view->ReadCount(), 0);
    // The read is still due once the entries are known.
    EXPECT_TRUE(view->Rules().NeedsReread());
}

int g_initializeCalls = 0;
int g_moduleStandIn = 0;
int32_t CountInitialize()
{
    ++g_initializeCalls;
    return QPC_OK;
}

TEST_F(StatusViewTest, FirstReadInitialisesTheBoundLibraryOnce)
{
    CommLibTable table{};
    table.module = &g_moduleStandIn;
    table.Initialize = &CountInitialize;
    m_bench.State().commLib = &table;
    g_initializeCalls = 0;
    auto view = ReadyView();
    EXPECT_EQ(view->ReadPrinter(), 1);
    EXPECT_EQ(view->ReadPrinter(), 1);
    EXPECT_EQ(g_initializeCalls, 1);

    // An unbound library is not called.
    Bench bench;
    CommLibTable unbound{};
    unbound.Initialize = &CountInitialize;
    bench.State().commLib = &unbound;
    auto other = bench.MakeView();
    other->InitialUpdate();
    other->SetEntryList(&bench.Entries());
    EXPECT_EQ(other->ReadPrinter(), 1);
    EXPECT_EQ(g_initializeCalls, 1);
}

TEST_F(StatusViewTest, StartingWithAnAnsweringPrinterShowsOnlineAndReads)
{
    auto view = ReadyView();
    view->StartWithPrinterReady();
    EXPECT_EQ(view->ShownCode(), 0);
    EXPECT_EQ(view->Rules().LastOrdinaryCode(), 0);
    EXPECT_EQ(ControlText(*view, kStatusLine), "Status: Online");
    ASSERT_EQ(m_bench.Reads().reads.size(), 1u);
    EXPECT_EQ(m_bench.Reads().shownCodeAtRead[0], 0);
    EXPECT_FALSE(view->Rules().NeedsReread());
    // Online again is the same ordinary code: nothing happens.
    view->HandleStatusCode(0);
    EXPECT_EQ(m_bench.Reads().reads.size(), 1u);
}

TEST_F(StatusViewTest, StartingWithoutAnAnsweringPrinterShowsUnknownAndReadsLater)
{
    auto view = ReadyView();
    view->ShowCurrentStatus();
    EXPECT_EQ(ControlText(*view, kStatusLine), "Status: Unknown");
    EXPECT_TRUE(m_bench.Reads().reads.empty());
    view->HandleStatusCode(0);
    EXPECT_EQ(m_bench.Reads().reads.size(), 1u);
}

TEST_F(StatusViewTest, MissingLanguageFilesCloseTheMainWindow)
{
    m_bench.RemoveLanguages();
    QWidget frame;
    frame.show();
    QString warning;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            warning = box->text();
            box->accept();
        }
    });
    auto view = m_bench.MakeView(&frame);
    view->InitialUpdate();
    EXPECT_EQ(warning, "Could not find the required files.\nClosing application.");
    EXPECT_EQ(m_bench.Reads().initializeCalls, 0);
    EXPECT_EQ(m_bench.DataMgr().FindBlock(QPU_BLOCK_PRINTER_INFO_ID), -1);
    EXPECT_TRUE(frame.isVisible()); // posted, not sent
    QApplication::processEvents();
    EXPECT_FALSE(frame.isVisible());
}

} // namespace
