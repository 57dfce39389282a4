// Decisions of the printer selection dialog against a scripted library: refresh and its
// failure rule, the communication check, opening, storing the selection, selecting by a
// driver port name, OK for every test and open result, Add Port, Delete Port, language.

#include "printers/printer_select_core.h"

#include "printers/printer_registry.h"
#include "printers/printer_spooler.h"
#include "select_test_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace printer_select;
using select_test::MakePort;
using select_test::RecordingUi;
using select_test::ScriptedLibrary;

namespace {

QStringList Events(std::initializer_list<const char*> items)
{
    QStringList list;
    for (const char* item : items) {
        list << QString::fromLatin1(item);
    }
    return list;
}

class CoreTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_lib.ports = {MakePort(QStringLiteral("NET"), QStringLiteral("127.0.0.1")),
                       MakePort(QStringLiteral("COM"), QStringLiteral("ttyS0"))};
        m_core.SetCommLib(m_lib.Table());
        m_core.SetRegistry(&m_registry);
        ASSERT_TRUE(m_dir.isValid());
    }

    // Registers the pair and, when withFile, writes its settings file.
    void SaveSettings(const QString& device, const QString& port, bool withFile = true)
    {
        m_registry.Add(m_dir.path(), device, port);
        const QString path = m_registry.SettingsPathOf(device, port);
        ASSERT_FALSE(path.isEmpty());
        if (withFile) {
            QDir().mkpath(QFileInfo(path).path());
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
    }

    QTemporaryDir m_dir;
    ScriptedLibrary m_lib;
    PrinterRegistry m_registry;
    PrinterSelectCore m_core;
    RecordingUi m_ui;
};

TEST_F(CoreTest, RefreshFailureKeepsRowsAndRecords)
{
    ASSERT_EQ(m_core.Refresh(), QPC_OK);
    ASSERT_EQ(m_core.Rows().size(), 2u);
    PortInfo* const first = m_core.Rows()[0].port;

    m_lib.ports.clear();
    m_lib.fillResult = QPC_ERR_FILE;
    m_lib.ports.push_back(MakePort(QStringLiteral("USB"), QStringLiteral("lp0")));
    EXPECT_EQ(m_core.Refresh(), QPC_ERR_FILE);
    ASSERT_EQ(m_core.Rows().size(), 2u);
    EXPECT_EQ(m_core.Rows()[0].port, first);
    EXPECT_EQ(FixedText(first->portName), u"127.0.0.1");

    m_core.SetCommLib(nullptr);
    EXPECT_EQ(m_core.Refresh(), QPC_ERR_NOT_BOUND);
    EXPECT_EQ(m_core.Rows().size(), 2u);
}

TEST_F(CoreTest, CommunicationCheckResults)
{
    EXPECT_EQ(m_core.LastTestResult(), QPC_ERR_NOT_BOUND); // no test ran yet
    EXPECT_EQ(m_core.CommunicationCheck(true, nullptr, &m_ui), QPC_ERR_INVALID_ARGUMENT);

    PortInfo port = MakePort(QStringLiteral("NET"), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(m_core.CommunicationCheck(true, &port, &m_ui), QPC_OK);
    EXPECT_EQ(m_core.LastTestResult(), QPC_OK);

    m_lib.reportedModel = QStringLiteral("QP-R70");
    EXPECT_EQ(m_core.CommunicationCheck(true, &port, &m_ui), kWrongModel);
    EXPECT_EQ(FixedText(port.deviceName), u"QP-R70"); // the library filled it in
    EXPECT_EQ(m_core.LastTestResult(), QPC_OK);       // the test itself succeeded
    EXPECT_EQ(m_ui.events, Events({"message 2"}));
    // Without the model check (start-up's command-line paths) the model is not judged.
    EXPECT_EQ(m_core.CommunicationCheck(false, &port, &m_ui), QPC_OK);
    // A related model of the series is wrong outside driver mode.
    m_lib.reportedModel = QStringLiteral("QP-R60II");
    EXPECT_EQ(m_core.CommunicationCheck(true, &port, nullptr), kWrongModel);

    m_lib.testResult = QPC_ERR_TIMEOUT;
    EXPECT_EQ(m_core.CommunicationCheck(true, &port, &m_ui), QPC_ERR_TIMEOUT);
    EXPECT_EQ(m_core.LastTestResult(), QPC_ERR_TIMEOUT);

    m_core.SetCommLib(nullptr);
    EXPECT_EQ(m_core.CommunicationCheck(true, &port, &m_ui), QPC_ERR_NOT_BOUND);
    EXPECT_EQ(m_core.LastTestResult(), QPC_ERR_NOT_BOUND);
    EXPECT_EQ(m_ui.events, Events({"message 2"}));
}

TEST_F(CoreTest, DriverModeAcceptsModelsOfTheSeries)
{
    m_core.SetDriverNameFilter(QString::fromUtf16(kDriverNameFilter));
    PortInfo port = MakePort(QStringLiteral("NET"), QStringLiteral("127.0.0.1"));
    for (const char* model : {"QP-R60", "QP-R60II", "QP-R60 Series"}) {
        m_lib.reportedModel = QString::fromLatin1(model);
        EXPECT_EQ(m_core.CommunicationCheck(true, &port, &m_ui), QPC_OK) << model;
    }
    for (const char* model : {"QP-R61", "QP-S60", "QP-R60A"}) {
        m_lib.reportedModel = QString::fromLatin1(model);
        EXPECT_EQ(m_core.CommunicationCheck(true, &port, &m_ui), kWrongModel) << model;
    }
}

TEST_F(CoreTest, OpenPortRunsItsStepsInOrderAndStopsAtTheFirstFailure)
{
    PortInfo port = MakePort(QStringLiteral("NET"), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(m_core.OpenPort(&port), QPC_OK);
    EXPECT_EQ(m_lib.calls, Events({"SetPort(127.0.0.1)", "GetPort", "Open(1)", "Initialize"}));

    m_lib.calls.clear();
    m_lib.openResult = QPC_ERR_PORT_IN_USE;
    EXPECT_EQ(m_core.OpenPort(&port), QPC_ERR_PORT_IN_USE);
    EXPECT_EQ(m_lib.calls, Events({"SetPort(127.0.0.1)", "GetPort", "Open(1)"}));

    m_lib.calls.clear();
    m_lib.getPortResult = QPC_ERR_NOT_FOUND;
    EXPECT_EQ(m_core.OpenPort(&port), QPC_ERR_NOT_FOUND);
    EXPECT_EQ(m_lib.calls, Events({"SetPort(127.0.0.1)", "GetPort"}));

    m_lib.calls.clear();
    m_lib.getPortResult = QPC_OK;
    m_lib.openResult = QPC_OK;
    m_lib.initializeResult = QPC_ERR_TIMEOUT;
    EXPECT_EQ(m_core.OpenPort(&port), QPC_ERR_TIMEOUT);
    m_core.SetCommLib(nullptr);
    EXPECT_EQ(m_core.OpenPort(&port), QPC_ERR_NOT_BOUND);
    EXPECT_EQ(m_core.ClosePort(), QPC_ERR_NOT_BOUND);
}

TEST_F(CoreTest, StoreSelectionCopiesTheRecordAndSetsTheType)
{
    PortInfo port = MakePort(QStringLiteral("BT"), QStringLiteral("rfcomm0"));
    port.baudRateCode = 9600;
    port.origin = 3;
    m_core.StoreSelection(port);
    EXPECT_EQ(std::memcmp(&m_core.State().portInfo, &port, sizeof port), 0);
    EXPECT_EQ(m_core.State().portType, 5);

    PortInfo odd = MakePort(QStringLiteral("BTX"), QStringLiteral("x"));
    m_core.StoreSelection(odd);
    EXPECT_EQ(FixedText(m_core.State().portInfo.portName), u"x");
    EXPECT_EQ(m_core.State().portType, 5); // another keyword keeps the type
    m_core.StoreSelection(MakePort(QStringLiteral("LPT"), QStringLiteral("lp0")));
    EXPECT_EQ(m_core.State().portType, 2);
}

TEST_F(CoreTest, SelectByPortNameFindsTheLibraryPortAndTheDriverRow)
{
    FixedPrinterSpooler spooler({
        {QStringLiteral("Other queue"), QStringLiteral("VSDPRT9"),
         QStringLiteral("VORKA QP-R60 Receipt5")},
        {QStringLiteral("Shop"), QStringLiteral("VSDPRT1"),
         QStringLiteral("VORKA QP-R60 Receipt5")},
    });
    m_core.SetSpooler(&spooler);
    m_lib.ports = {
        MakePort(QStringLiteral("USB"), QStringLiteral("lp9"), QStringLiteral("QP-R60"),
                 QStringLiteral("VSDPRT1")), // no '/': not a driver port path
        MakePort(QStringLiteral("USB"), QStringLiteral("lp1"), QStringLiteral("QP-R60"),
                 QStringLiteral("usb://VORKA/VSDPRT1")),
    };
    EXPECT_EQ(m_core.ChosenDriverPrinterName(), std::nullopt);
    EXPECT_EQ(m_core.SelectByPortName(QStringLiteral("VSDPRT")), nullptr); // exact only
    EXPECT_EQ(FixedText(m_core.State().portInfo.portName), u"");

    const PortInfo* found = m_core.SelectByPortName(QStringLiteral("VSDPRT1"));
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found, &m_core.State().portInfo);
    EXPECT_EQ(FixedText(found->portName), u"lp1");
    EXPECT_EQ(m_core.State().portType, 3);
    // Rows were built without a driver-name filter; the queue on VSDPRT1 is the chosen one.
    EXPECT_EQ(m_core.ChosenDriverPrinterName(), QStringLiteral("Shop"));
}

TEST_F(CoreTest, SelectByPortNameChoosesTheFirstRowWhosePortBeginsWithTheName)
{
    FixedPrinterSpooler spooler({
        {QStringLiteral("Ten"), QStringLiteral("VSDPRT10"), QStringLiteral("X Receipt5")},
        {QStringLiteral("One"), QStringLiteral("VSDPRT1"), QStringLiteral("X Receipt5")},
    });
    m_core.SetSpooler(&spooler);
    m_lib.ports = {MakePort(QStringLiteral("USB"), QStringLiteral("lp1"), QStringLiteral("QP-R60"),
                            QStringLiteral("a/VSDPRT1")),
                   MakePort(QStringLiteral("USB"), QStringLiteral("lp2"), QStringLiteral("QP-R60"),
                            QStringLiteral("a/VSDPRT10"))};
    ASSERT_NE(m_core.SelectByPortName(QStringLiteral("VSDPRT1")), nullptr);
    // "VSDPRT10" begins with "VSDPRT1" and comes first.
    EXPECT_EQ(m_core.ChosenDriverPrinterName(), QStringLiteral("Ten"));
}

struct OkCase
{
    const char* name;
    bool driverMode;
    int32_t testResult;
    const char* reportedModel;
    bool savedSettings;
    int32_t openResult;
    std::vector<const char*> events;
    bool accepted;
    bool opened; // QPC_Open was called
    bool closed; // QPC_Close was called
};

// Test names and failure messages show the case's name, not its bytes.
void PrintTo(const OkCase& c, std::ostream* os)
{
    *os << c.name;
}

class OkTest : public CoreTest, public ::testing::WithParamInterface<OkCase>
{};

TEST_P(OkTest, FollowsTheTestAndOpenResults)
{
    const OkCase& c = GetParam();
    if (c.driverMode) {
        m_core.SetDriverNameFilter(QString::fromUtf16(kDriverNameFilter));
        m_lib.ports[0] = MakePort(QStringLiteral("NET"), QStringLiteral("127.0.0.1"),
                                  QStringLiteral("QP-R60"), QStringLiteral("x/VSDPRT1"));
    }
    FixedPrinterSpooler spooler({{QStringLiteral("Shop"), QStringLiteral("VSDPRT1"),
                                  QStringLiteral("VORKA QP-R60 Receipt5")}});
    m_core.SetSpooler(&spooler);
    m_lib.testResult = c.testResult;
    m_lib.reportedModel = QString::fromLatin1(c.reportedModel);
    m_lib.openResult = c.openResult;
    if (c.savedSettings) {
        SaveSettings(QStringLiteral("QP-R60"), QStringLiteral("127.0.0.1"));
    }
    ASSERT_EQ(m_core.Refresh(), QPC_OK);
    m_lib.calls.clear();

    EXPECT_EQ(m_core.RunOk(0, m_ui), c.accepted);
    QStringList expected;
    for (const char* e : c.events) {
        expected << QString::fromLatin1(e);
    }
    EXPECT_EQ(m_ui.events, expected);
    EXPECT_EQ(m_lib.calls.contains(QStringLiteral("Open(1)")), c.opened);
    EXPECT_EQ(m_lib.calls.contains(QStringLiteral("Close")), c.closed);
    EXPECT_EQ(m_core.LastTestResult(), c.testResult);
    if (c.accepted) {
        EXPECT_EQ(FixedText(m_core.State().portInfo.portName), u"127.0.0.1");
        EXPECT_EQ(m_core.State().portType, 4);
        if (c.driverMode) {
            EXPECT_EQ(m_core.ChosenDriverPrinterName(), QStringLiteral("Shop"));
        }
    } else {
        EXPECT_EQ(FixedText(m_core.State().portInfo.portName), u"");
        EXPECT_EQ(m_core.ChosenDriverPrinterName(), std::nullopt);
    }
}

const int32_t kTimeout = QPC_ERR_TIMEOUT;
const int32_t kInUse = QPC_ERR_PORT_IN_USE;

INSTANTIATE_TEST_SUITE_P(
    AllResults, OkTest,
    ::testing::Values(
        OkCase{"answers", false, QPC_OK, "QP-R60", false, QPC_OK, {"accept"}, true, true, false},
        OkCase{"wrongModel",
               false,
               QPC_OK,
               "QP-R70",
               true,
               QPC_OK,
               {"message 2"},
               false,
               false,
               false},
        OkCase{
            "testPortInUse", false, kInUse, "", true, QPC_OK, {"message 4"}, false, false, false},
        OkCase{"silentNoSettings",
               false,
               kTimeout,
               "",
               false,
               QPC_OK,
               {"message 3"},
               false,
               false,
               false},
        OkCase{"silentWithSettings",
               false,
               kTimeout,
               "",
               true,
               QPC_OK,
               {"message 3", "accept"},
               true,
               true,
               false},
        OkCase{"silentWithSettingsOpenFails",
               false,
               kTimeout,
               "",
               true,
               QPC_ERR_IO,
               {"message 3", "accept"},
               true,
               true,
               false},
        OkCase{"silentWithSettingsOpenInUse",
               false,
               kTimeout,
               "",
               true,
               kInUse,
               {"message 3", "message 4"},
               false,
               true,
               false},
        OkCase{"notBoundWithSettings",
               false,
               QPC_ERR_NOT_BOUND,
               "",
               true,
               QPC_OK,
               {"message 3", "accept"},
               true,
               true,
               false},
        OkCase{
            "openInUse", false, QPC_OK, "QP-R60", false, kInUse, {"message 4"}, false, true, false},
        OkCase{"openFailsNoSettings",
               false,
               QPC_OK,
               "QP-R60",
               false,
               QPC_ERR_IO,
               {"message 3"},
               false,
               true,
               true},
        OkCase{"openFailsWithSettings",
               false,
               QPC_OK,
               "QP-R60",
               true,
               QPC_ERR_IO,
               {"message 3", "accept"},
               true,
               true,
               false},
        // The driver closes the dialog at once; the messages still follow.
        OkCase{"driverAnswers",
               true,
               QPC_OK,
               "QP-R60II",
               false,
               QPC_OK,
               {"accept"},
               true,
               true,
               false},
        OkCase{"driverWrongModel",
               true,
               QPC_OK,
               "QP-R70",
               false,
               QPC_OK,
               {"message 2", "accept"},
               true,
               false,
               false},
        OkCase{"driverSilent",
               true,
               kTimeout,
               "",
               false,
               QPC_OK,
               {"accept", "message 3"},
               true,
               false,
               false},
        OkCase{"driverInUse",
               true,
               kInUse,
               "",
               false,
               QPC_OK,
               {"accept", "message 4"},
               true,
               false,
               false},
        OkCase{"driverOpenFails",
               true,
               QPC_OK,
               "QP-R60",
               false,
               QPC_ERR_IO,
               {"accept", "message 3"},
               true,
               true,
               true}),
    [](const ::testing::TestParamInfo<OkCase>& info) { return std::string(info.param.name); });

TEST_F(CoreTest, OkWithoutASelectedRowAsksForOne)
{
    ASSERT_EQ(m_core.Refresh(), QPC_OK);
    EXPECT_FALSE(m_core.RunOk(-1, m_ui));
    EXPECT_FALSE(m_core.RunOk(2, m_ui));
    EXPECT_EQ(m_ui.events, Events({"message 0", "message 0"}));
    EXPECT_FALSE(m_lib.calls.join(u' ').contains(QStringLiteral("CommunicationTest")));
}

TEST_F(CoreTest, SavedSettingsNeedTheFileAndTheExactPair)
{
    const PortInfo port = MakePort(QStringLiteral("NET"), QStringLiteral("127.0.0.3"));
    EXPECT_FALSE(m_core.HasSavedSettings(port));
    SaveSettings(QStringLiteral("QP-R60"), QStringLiteral("127.0.0.3"), false);
    EXPECT_FALSE(m_core.HasSavedSettings(port)); // registered, but no file
    SaveSettings(QStringLiteral("QP-R60"), QStringLiteral("127.0.0.3"));
    EXPECT_TRUE(m_core.HasSavedSettings(port));
    EXPECT_FALSE(m_core.HasSavedSettings(
        MakePort(QStringLiteral("NET"), QStringLiteral("127.0.0.3"), QStringLiteral("qp-r60"))));

    // Without a registry the core knows no saved copy (the dialog hands it the data
    // manager's registry).
    PrinterSelectCore core;
    EXPECT_FALSE(core.HasSavedSettings(port));
}

TEST_F(CoreTest, AddPortRegistersAndFindsTheNewRow)
{
    ASSERT_EQ(m_core.Refresh(), QPC_OK);
    int32_t result = 0;
    EXPECT_EQ(m_core.AddPort(MakePort(QString(), QStringLiteral("x")), &result), -1);
    EXPECT_EQ(result, QPC_ERR_INVALID_ARGUMENT);
    EXPECT_FALSE(m_lib.calls.join(u' ').contains(QStringLiteral("AddPort")));

    EXPECT_EQ(m_core.AddPort(MakePort(QStringLiteral("USB"), QStringLiteral("lp0")), &result), 2);
    EXPECT_EQ(result, QPC_OK);
    ASSERT_EQ(m_core.Rows().size(), 3u);
    // Same port name on another interface is another row.
    EXPECT_EQ(m_core.AddPort(MakePort(QStringLiteral("COM"), QStringLiteral("lp0"))), 3);
    // Added, but not of the served model: not listed.
    EXPECT_EQ(m_core.AddPort(MakePort(QStringLiteral("NET"), QStringLiteral("127.0.0.5"),
                                      QStringLiteral("QP-R70"))),
              -1);

    m_lib.addResult = QPC_ERR_FILE;
    EXPECT_EQ(m_core.AddPort(MakePort(QStringLiteral("NET"), QStringLiteral("127.0.0.6")), &result),
              -1);
    EXPECT_EQ(result, QPC_ERR_FILE);
}

TEST_F(CoreTest, DeletePortAsksFirstAndLeavesTheRegistryAlone)
{
    SaveSettings(QStringLiteral("QP-R60"), QStringLiteral("127.0.0.1"));
    ASSERT_EQ(m_core.Refresh(), QPC_OK);
    m_ui.answerYes = false;
    EXPECT_FALSE(m_core.DeletePort(0, m_ui));
    EXPECT_EQ(m_core.Rows().size(), 2u);
    m_ui.answerYes = true;
    EXPECT_FALSE(m_core.DeletePort(-1, m_ui)); // asked, but no row
    EXPECT_TRUE(m_core.DeletePort(0, m_ui));
    ASSERT_EQ(m_core.Rows().size(), 1u);
    EXPECT_EQ(m_core.Rows()[0].portName, u"ttyS0");
    EXPECT_EQ(m_ui.events, Events({"ask 1", "ask 1", "ask 1"}));
    EXPECT_EQ(m_registry.Count(), 1);

    m_lib.removeResult = QPC_ERR_NOT_FOUND;
    EXPECT_FALSE(m_core.DeletePort(0, m_ui));
    EXPECT_EQ(m_core.Rows().size(), 1u);
}

TEST_F(CoreTest, DriverModeListsQueuesAndForgetsTheChosenRowOnRebuild)
{
    FixedPrinterSpooler spooler({{QStringLiteral("Shop"), QStringLiteral("VSDPRT1"),
                                  QStringLiteral("VORKA QP-R60 Receipt5")},
                                 {QStringLiteral("Office"), QStringLiteral("VSDPRT2"),
                                  QStringLiteral("VORKA QP-R60 Label5")},
                                 {QStringLiteral("Laser"), QStringLiteral("VSDPRT3"),
                                  QStringLiteral("VORKA Laser Receipt5")}});
    m_core.SetSpooler(&spooler);
    m_core.SetDriverNameFilter(QStringLiteral("VORKA QP-R60"));
    ASSERT_EQ(m_core.Refresh(), QPC_OK);
    ASSERT_EQ(m_core.Rows().size(), 2u);
    EXPECT_EQ(m_core.Rows()[1].name, u"Office");
    EXPECT_EQ(m_core.Rows()[1].keyword, u"");
    EXPECT_EQ(m_core.Rows()[1].portName, u"VSDPRT2");
    EXPECT_TRUE(m_core.RunOk(1, m_ui));
    EXPECT_EQ(m_core.ChosenDriverPrinterName(), QStringLiteral("Office"));
    ASSERT_EQ(m_core.Refresh(), QPC_OK);
    EXPECT_EQ(m_core.ChosenDriverPrinterName(), std::nullopt);

    // An unreachable spooler lists no queue.
    spooler.SetAvailable(false);
    ASSERT_EQ(m_core.Refresh(), QPC_OK);
    EXPECT_TRUE(m_core.Rows().empty());
}

TEST_F(CoreTest, TakeLanguageCopiesOnlyTheIdentifier)
{
    AppState chosen;
    std::memset(&chosen, 0x5A, sizeof chosen);
    chosen.languageId = 0x0411;
    SetFixedText(chosen.languageIdText, QStringLiteral("0411"));
    m_core.TakeLanguage(chosen);
    EXPECT_EQ(m_core.State().languageId, 0x0411);
    EXPECT_EQ(FixedText(m_core.State().languageIdText), u"0411");
    EXPECT_EQ(m_core.State().portType, 0);
    EXPECT_EQ(m_core.State().startMode, 0);
}

} // namespace
