// Window-free rules of the printer selection dialog: texts, keywords, sizes, the port list
// with its failure rule, the driver rows and the listed rows.

#include "printers/printer_select_logic.h"

#include "lang/lang_res_store.h"
#include "printers/cups_spooler.h"
#include "printers/printer_spooler.h"
#include "select_test_support.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

using namespace printer_select;
using select_test::MakePort;
using select_test::ScriptedLibrary;

namespace {

void WriteFile(const QString& path, const QByteArray& contents)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(contents);
}

TEST(PrinterSelectLogic, KeywordsMapToPortTypesExactly)
{
    EXPECT_EQ(PortTypeOfKeyword(QStringLiteral("COM")), 1);
    EXPECT_EQ(PortTypeOfKeyword(QStringLiteral("LPT")), 2);
    EXPECT_EQ(PortTypeOfKeyword(QStringLiteral("USB")), 3);
    EXPECT_EQ(PortTypeOfKeyword(QStringLiteral("NET")), 4);
    EXPECT_EQ(PortTypeOfKeyword(QStringLiteral("BT")), 5);
    for (const char* other : {"com", "COM1", "NET ", "", "Bluetooth"}) {
        EXPECT_EQ(PortTypeOfKeyword(QString::fromLatin1(other)), 0) << other;
    }
}

TEST(PrinterSelectLogic, LastPathComponentIsTheWholePathWithoutSlash)
{
    EXPECT_EQ(LastPathComponent(QStringLiteral("socket://127.0.0.1/VSDPRT1")), u"VSDPRT1");
    EXPECT_EQ(LastPathComponent(QStringLiteral("VSDPRT1")), u"VSDPRT1");
    EXPECT_EQ(LastPathComponent(QStringLiteral("a/b/")), u"");
    EXPECT_EQ(LastPathComponent(QString()), u"");
}

TEST(PrinterSelectLogic, ListSizes)
{
    EXPECT_EQ(FirstColumnWidth(0), 120);
    EXPECT_EQ(FirstColumnWidth(100), 120);
    EXPECT_EQ(FirstColumnWidth(104), 124); // 124.8 cut to whole pixels
    EXPECT_EQ(FirstColumnWidth(250), 300);
    // 200 / 18 = 11 rows; 200 / 11 = 18; 18 * 1.2 = 21.6 -> 21.
    EXPECT_EQ(TallRowHeight(200, 18), 21);
    EXPECT_EQ(TallRowHeight(180, 18), 21);
    EXPECT_EQ(TallRowHeight(10, 18), 21); // no whole row fits
    EXPECT_EQ(TallRowHeight(200, 0), 0);
}

TEST(PrinterSelectLogic, MessagesFallBackToEnglishAndNameTheModel)
{
    CLangResStore closed;
    EXPECT_EQ(MessageText(closed, kMsgSelectPrinter),
              u"Please select the printer you want to setup.");
    EXPECT_EQ(MessageText(closed, kMsgConfirmDelete),
              u"Do you really want to delete the selected port?");
    EXPECT_EQ(MessageText(closed, kMsgWrongModel), u"The connected printer is not QP-R60.");
    EXPECT_EQ(MessageText(closed, kMsgNoAnswer), u"Cannot communicate with the printer.");
    EXPECT_EQ(MessageText(closed, kMsgPortInUse),
              u"Cannot launch the printer because it is in use by another application.");
    EXPECT_EQ(MessageText(closed, 9), u"");
    EXPECT_EQ(InterfaceName(closed, QStringLiteral("COM")), u"Serial");
    EXPECT_EQ(InterfaceName(closed, QStringLiteral("LPT")), u"Parallel");
    EXPECT_EQ(InterfaceName(closed, QStringLiteral("USB")), u"USB");
    EXPECT_EQ(InterfaceName(closed, QStringLiteral("NET")), u"NET");
    EXPECT_EQ(InterfaceName(closed, QStringLiteral("BT")), u"Bluetooth");
    EXPECT_EQ(InterfaceName(closed, QStringLiteral("net")), u"");
    EXPECT_EQ(LanguageLabel(closed, QString()), u"Select: English");
    EXPECT_EQ(LanguageLabel(closed, QStringLiteral("Deutsch")), u"Select: Deutsch");
}

TEST(PrinterSelectLogic, TranslatedTextsAndFormatting)
{
    QTemporaryDir dir;
    WriteFile(dir.filePath(QStringLiteral("0407.DAT")),
              "[PRT_SELECT_DLG_MSG]\n"
              "M_2=100%% sicher: %s ist es nicht (%d, %s)\n"
              "[PRT_SELECT_DLG_STR]\n"
              "S_4=Netzwerk\n"
              "S_5=Auswahl\n");
    CLangResStore store;
    ASSERT_EQ(store.Open(dir.path(), 0x0407, 0x0409), CLangResStore::kOpenedRequested);
    ASSERT_EQ(store.LoadSections(QString::fromLatin1(kWindowName)), CLangResStore::kOk);
    // Only the first %s is filled; other conversions stay as they are.
    EXPECT_EQ(MessageText(store, kMsgWrongModel), u"100% sicher: QP-R60 ist es nicht (%d, %s)");
    EXPECT_EQ(MessageText(store, kMsgNoAnswer), u"Cannot communicate with the printer.");
    EXPECT_EQ(InterfaceName(store, QStringLiteral("NET")), u"Netzwerk");
    EXPECT_EQ(InterfaceName(store, QStringLiteral("COM")), u"Serial");
    EXPECT_EQ(LanguageLabel(store, QStringLiteral("Deutsch")), u"Auswahl: Deutsch");
}

class LoadTextsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::memset(&m_state, 0, sizeof m_state);
        SetFixedText(m_state.languageFolder, m_dir.path());
        m_state.languageId = 0x0411;
        SetFixedText(m_state.languageIdText, QStringLiteral("0411"));
    }
    QTemporaryDir m_dir;
    AppState m_state;
    CLangResStore m_dialog;
    CLangResStore m_addPort;
};

TEST_F(LoadTextsTest, WithoutAnyLanguageFileLoadingFails)
{
    EXPECT_EQ(LoadTexts(m_state, m_dialog, m_addPort), TextLoad::Failed);
    EXPECT_EQ(m_state.languageId, 0x0411);
}

TEST_F(LoadTextsTest, OnlyTheEnglishFileSwitchesTheLanguageToEnglish)
{
    WriteFile(m_dir.filePath(QStringLiteral("0409.DAT")),
              "[PRT_SELECT_DLG_MSG]\nM_3=No answer\n[PORT_ADD_DLG_MSG]\nM_7=Port text\n");
    EXPECT_EQ(LoadTexts(m_state, m_dialog, m_addPort), TextLoad::EnglishOnly);
    EXPECT_EQ(m_state.languageId, 1033);
    EXPECT_EQ(FixedText(m_state.languageIdText), u"0409");
    EXPECT_EQ(MessageText(m_dialog, kMsgNoAnswer), u"No answer");
    QString text;
    EXPECT_EQ(m_addPort.GetMessage(7, text), CLangResStore::kOk);
    EXPECT_EQ(text, u"Port text");
    // The add-port texts are not mixed into the dialog's.
    EXPECT_EQ(m_dialog.GetMessage(7, text), CLangResStore::kBadArgument);
}

TEST_F(LoadTextsTest, TheChosenLanguageIsKept)
{
    WriteFile(m_dir.filePath(QStringLiteral("0409.DAT")), "[PRT_SELECT_DLG_MSG]\nM_3=E\n");
    WriteFile(m_dir.filePath(QStringLiteral("0411.DAT")), "[PRT_SELECT_DLG_MSG]\nM_3=J\n");
    EXPECT_EQ(LoadTexts(m_state, m_dialog, m_addPort), TextLoad::Loaded);
    EXPECT_EQ(m_state.languageId, 0x0411);
    EXPECT_EQ(MessageText(m_dialog, kMsgNoAnswer), u"J");
    EXPECT_EQ(m_addPort.LanguageId(), 0x0411);
}

TEST(PortList, EnumeratesInTwoCallsIntoZeroedRecords)
{
    ScriptedLibrary lib;
    lib.ports = {MakePort(QStringLiteral("NET"), QStringLiteral("127.0.0.1")),
                 MakePort(QStringLiteral("COM"), QStringLiteral("ttyS0"))};
    PortList list;
    ASSERT_EQ(list.Enumerate(lib.Table()), QPC_OK);
    EXPECT_EQ(lib.calls,
              QStringList({QStringLiteral("EnumPort(0)"), QStringLiteral("EnumPort(2)")}));
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(FixedText(list.At(1)->portName), u"ttyS0");
    EXPECT_EQ(std::memcmp(list.At(0), &lib.ports[0], sizeof(PortInfo)), 0);
}

TEST(PortList, FailuresKeepThePreviousRecordsAtTheirAddresses)
{
    ScriptedLibrary lib;
    lib.ports = {MakePort(QStringLiteral("NET"), QStringLiteral("127.0.0.1"))};
    PortList list;
    ASSERT_EQ(list.Enumerate(lib.Table()), QPC_OK);
    PortInfo* const before = list.At(0);

    lib.ports.push_back(MakePort(QStringLiteral("COM"), QStringLiteral("ttyS0")));
    lib.countResult = QPC_ERR_FILE;
    EXPECT_EQ(list.Enumerate(lib.Table()), QPC_ERR_FILE);
    lib.countResult = QPC_OK;
    lib.fillResult = QPC_ERR_IO;
    EXPECT_EQ(list.Enumerate(lib.Table()), QPC_ERR_IO);
    EXPECT_EQ(list.Enumerate(nullptr), QPC_ERR_NOT_BOUND);
    CommLibTable unbound = *lib.Table();
    unbound.module = nullptr;
    EXPECT_EQ(list.Enumerate(&unbound), QPC_ERR_NOT_BOUND);

    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.At(0), before);
    EXPECT_EQ(FixedText(before->portName), u"127.0.0.1");
}

TEST(PortList, BelievesNoMoreRecordsThanItHandedOver)
{
    ScriptedLibrary lib;
    lib.ports = {MakePort(QStringLiteral("NET"), QStringLiteral("127.0.0.1")),
                 MakePort(QStringLiteral("NET"), QStringLiteral("127.0.0.2"))};
    PortList list;
    lib.filledLimit = 1; // a port went away between the two calls
    ASSERT_EQ(list.Enumerate(lib.Table()), QPC_OK);
    EXPECT_EQ(list.Count(), 1);

    lib.filledLimit = -1;
    lib.extraCount = 3; // the library claims more than it had room for
    ASSERT_EQ(list.Enumerate(lib.Table()), QPC_OK);
    EXPECT_EQ(list.Count(), 5); // 5 records handed over, 2 filled, the rest stay zeroed
    EXPECT_EQ(FixedText(list.At(4)->portName), u"");

    lib.ports.clear();
    lib.extraCount = 0;
    lib.calls.clear();
    ASSERT_EQ(list.Enumerate(lib.Table()), QPC_OK);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(lib.calls, QStringList({QStringLiteral("EnumPort(0)")}));

    lib.extraCount = PortList::kMaxPorts + 1;
    EXPECT_EQ(list.Enumerate(lib.Table()), QPC_ERR_NO_MEMORY);
}

TEST(DriverRows, FiltersQueuesAndFindsTheirLibraryPorts)
{
    ScriptedLibrary lib;
    lib.ports = {
        MakePort(QStringLiteral("NET"), QStringLiteral("127.0.0.9"), QStringLiteral("QP-R60"),
                 QStringLiteral("VSDPRT2")), // whole path without '/'
        MakePort(QStringLiteral("USB"), QStringLiteral("lp0"), QStringLiteral("QP-R60"),
                 QStringLiteral("usb://VORKA/VSDPRT1")),
        MakePort(QStringLiteral("USB"), QStringLiteral("lp1"), QStringLiteral("QP-R60"),
                 QStringLiteral("x/VSDPRT1")), // a later match is not taken
    };
    PortList ports;
    ASSERT_EQ(ports.Enumerate(lib.Table()), QPC_OK);
    const QList<SpoolerPrinter> queues = {
        {QStringLiteral("Front"), QStringLiteral("VSDPRT1"),
         QStringLiteral("VORKA QP-R60 Receipt5")},
        {QStringLiteral("Back"), QStringLiteral("VSDPRT2"),
         QStringLiteral("VORKA QP-R60 Label5 x")},
        {QStringLiteral("New"), QStringLiteral("VSDPRT7"), QStringLiteral("VORKA QP-R60 Receipt5")},
        {QStringLiteral("Plain"), QStringLiteral("VSDPRT1"),
         QStringLiteral("VORKA QP-R60 Receipt")},
        {QStringLiteral("Other"), QStringLiteral("VSDPRT1"),
         QStringLiteral("VORKA QP-R70 Receipt5")},
        {QStringLiteral("Case"), QStringLiteral("VSDPRT1"),
         QStringLiteral("vorka qp-r60 receipt5")},
    };
    // The served model's own filter leaves out its label drivers.
    const auto receipts =
        BuildDriverRows(queues, ports, QString::fromUtf16(kDriverNameFilter), QString());
    ASSERT_EQ(receipts.size(), 2u);
    EXPECT_EQ(receipts[1].printerName, u"New");
    const QString filter = QStringLiteral("VORKA QP-R60");
    const auto rows = BuildDriverRows(queues, ports, filter, QString());
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].printerName, u"Front");
    EXPECT_EQ(rows[0].port, ports.At(1));
    EXPECT_FALSE(rows[0].owned);
    EXPECT_EQ(rows[1].printerName, u"Back");
    EXPECT_EQ(rows[1].port, ports.At(0));
    EXPECT_EQ(rows[2].printerName, u"New");
    ASSERT_TRUE(rows[2].owned);
    EXPECT_EQ(rows[2].port, rows[2].owned.get());
    const PortInfo& made = *rows[2].port;
    EXPECT_EQ(FixedText(made.portName), u"VSDPRT7");
    EXPECT_EQ(FixedText(made.deviceName), u"VORKA QP-R60 Receipt5");
    EXPECT_EQ(FixedText(made.interfaceKeyword), u"");
    EXPECT_EQ(made.origin, 3);
    EXPECT_EQ(made.reserved1, -1);
    EXPECT_EQ(made.reserved2, -1);
    EXPECT_EQ(made.driverPortFlag, 0u);

    // The printer-name filter is an exact comparison.
    const auto one = BuildDriverRows(queues, ports, filter, QStringLiteral("Back"));
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].printerName, u"Back");
    EXPECT_TRUE(BuildDriverRows(queues, ports, filter, QStringLiteral("back")).empty());
}

// A queue whose device URI gives no port (it ends in '/', or the queue has none) names no
// port: it must not be bound to an ordinary port, whose driver port path is empty too.
TEST(DriverRows, QueueWithoutPortMatchesNoLibraryPort)
{
    ScriptedLibrary lib;
    lib.ports = {MakePort(QStringLiteral("COM"), QStringLiteral("ttyS0")),
                 MakePort(QStringLiteral("NET"), QStringLiteral("127.0.0.1"),
                          QStringLiteral("QP-R60"), QStringLiteral("lpd://host/queue/"))};
    PortList ports;
    ASSERT_EQ(ports.Enumerate(lib.Table()), QPC_OK);
    for (const QString& deviceUri : {QStringLiteral("lpd://host/queue/"), QString()}) {
        const QList<SpoolerPrinter> queues = {{QStringLiteral("Queue"),
                                               CupsPrinterSpooler::PortOfDeviceUri(deviceUri),
                                               QStringLiteral("VORKA QP-R60 Receipt5")}};
        const auto rows = BuildDriverRows(queues, ports, QString::fromUtf16(kDriverNameFilter), {});
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_TRUE(rows[0].owned)
            << "bound to " << FixedText(rows[0].port->portName).toStdString();
        EXPECT_EQ(FixedText(rows[0].port->interfaceKeyword), u"");
    }
}

TEST(ListedRows, OutsideDriverModeOnlyTheServedModelExactly)
{
    ScriptedLibrary lib;
    lib.ports = {
        MakePort(QStringLiteral("NET"), QStringLiteral("127.0.0.1")),
        MakePort(QStringLiteral("NET"), QStringLiteral("127.0.0.2"), QStringLiteral("qp-r60")),
        MakePort(QStringLiteral("COM"), QStringLiteral("ttyS0"), QStringLiteral("QP-R60 ")),
        MakePort(QStringLiteral("XYZ"), QStringLiteral("odd")),
        MakePort(QStringLiteral("BT"), QStringLiteral("rfcomm0"), QStringLiteral("QP-R60II")),
    };
    PortList ports;
    ASSERT_EQ(ports.Enumerate(lib.Table()), QPC_OK);
    const auto rows = ListedRows(false, {}, ports);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].name, u"QP-R60");
    EXPECT_EQ(rows[0].keyword, u"NET");
    EXPECT_EQ(rows[0].portName, u"127.0.0.1");
    EXPECT_EQ(rows[0].port, ports.At(0));
    EXPECT_EQ(rows[0].driverRow, -1);
    EXPECT_EQ(rows[1].keyword, u"XYZ");
    EXPECT_EQ(rows[1].port, ports.At(3));

    std::vector<DriverPrinterRow> driverRows;
    driverRows.push_back({QStringLiteral("Queue"), ports.At(1), nullptr});
    const auto driver = ListedRows(true, driverRows, ports);
    ASSERT_EQ(driver.size(), 1u);
    EXPECT_EQ(driver[0].name, u"Queue");
    EXPECT_EQ(driver[0].portName, u"127.0.0.2");
    EXPECT_EQ(driver[0].driverRow, 0);
}

} // namespace
