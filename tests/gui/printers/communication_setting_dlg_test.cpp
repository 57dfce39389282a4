// The add-port dialog on the offscreen platform: with the real libQPComm.so against
// emulators on pseudo-terminals and on loopback (discovery included), with a scripted
// library where an order must be exact, and with shell scripts standing in for the
// companion tools. Message boxes are answered by the test and recorded.
#include "add_port_test_support.h"
#include "app/fixed_text.h"
#include "comm/comm_lib_binding.h"
#include "emulator_process.h"
#include "lang/control_lookup.h"
#include "lang/lang_res_store.h"
#include "printers/communication_setting_dlg.h"
#include "printers/communication_setting_ip_edit.h"
#include "printers/tool_progress_dlg.h"
#include "screenshots.h"

#include <qpu/window_message.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

using namespace addporttest;
using addport::kBluetooth;
using addport::kEthernet;
using addport::kParallel;
using addport::kSerial;
using addport::kUsb;

namespace {

// ---------------------------------------------------------------------------------------
// One application, one temporary system and one binding for the whole program: the
// library reads its device folder once.
struct Globals
{
    std::unique_ptr<QApplication> app;
    std::unique_ptr<FakeSystem> system;
    std::unique_ptr<CommLibBinding> binding;
    std::vector<std::unique_ptr<ScopedEnv>> env;
};
Globals* g = nullptr;

class DialogEnvironment final : public ::testing::Environment
{
public:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        g = new Globals;
        g->system = std::make_unique<FakeSystem>();
        g->app = std::make_unique<QApplication>(m_argc, m_argv);
        g->env.push_back(std::make_unique<ScopedEnv>("QPCOMM_DISCOVERY_MS", "300"));
        g->env.push_back(std::make_unique<ScopedEnv>("QPCOMM_TIMEOUT_MS", "800"));
        g->env.push_back(std::make_unique<ScopedEnv>("QPCOMM_DISCOVERY_ADDR", "127.0.0.1:9"));
        g->binding = std::make_unique<CommLibBinding>();
        m_bound = g->binding->Bind(QLatin1String(kCommLibraryName), QStringLiteral(QPU_APP_DIR));
    }
    void TearDown() override
    {
        if (g && g->binding && g->binding->IsBound())
            g->binding->Call(&CommLibTable::Terminate);
        delete g;
        g = nullptr;
    }
    int m_bound = QPC_ERR_NOT_BOUND;

private:
    int m_argc = 1;
    char m_name[16] = "test_add_port";
    char* m_argv[2] = {m_name, nullptr};
};
DialogEnvironment* const kEnvironment =
    static_cast<DialogEnvironment*>(::testing::AddGlobalTestEnvironment(new DialogEnvironment));

// ---------------------------------------------------------------------------------------
// Answers every message box that comes up and remembers it.
class MessageBoxAnswerer
{
public:
    struct Box
    {
        QMessageBox::Icon icon;
        QString title;
        QString text;
    };

    MessageBoxAnswerer()
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Answer(); });
        m_timer.start();
    }
    // Runs just before a box is closed (for screenshots).
    std::function<void(QMessageBox*)> onBox;
    std::vector<Box> boxes;

    std::vector<QString> Texts() const
    {
        std::vector<QString> texts;
        for (const Box& box : boxes)
            texts.push_back(box.text);
        return texts;
    }

private:
    void Answer()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        boxes.push_back({box->icon(), box->windowTitle(), box->text()});
        if (onBox)
            onBox(box);
        box->done(QMessageBox::Ok);
    }

    QTimer m_timer;
};

bool WaitFor(const std::function<bool()>& done, int timeoutMs = 8000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

void Settle(int ms = 50)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
}

template <typename W = QWidget> W* ControlOf(const QWidget* dialog, int id)
{
    return qobject_cast<W*>(lang::FindControl(dialog, id));
}

std::string Str(const QString& text)
{
    return text.toStdString();
}

void SaveShot(QWidget* widget, const QString& name)
{
    if (const QString folder = ScreenshotFolder(); !folder.isEmpty())
        widget->grab().save(folder + QStringLiteral("addport_%1.png").arg(name));
}

// ---------------------------------------------------------------------------------------

class AddPortDialog : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(kEnvironment->m_bound, QPC_OK) << Str(g->binding->ErrorString());
        std::memset(&m_state, 0, sizeof m_state);
        SetLanguage(0x0409);
        Offer({kSerial, kParallel, kUsb, kEthernet, kBluetooth}, kUsb);
        m_state.startMode = 0;
    }
    void TearDown() override
    {
        // Nothing a test laid out in the shared system survives it.
        for (const char* folder : {"dev", "opt", "etc", "var/lib", "usr/share/applications",
                                   "home/.local/share/applications", "tools"}) {
            QDir(g->system->Path(folder)).removeRecursively();
            QDir().mkpath(g->system->Path(folder));
        }
    }

    void SetLanguage(int langId)
    {
        m_state.languageId = langId;
        SetFixedText(m_state.languageFolder, QStringLiteral(QPU_SOURCE_DIR "/data/program/LANG/"));
    }
    void Offer(std::vector<int> interfaces, int defaultInterface)
    {
        for (int i = 0; i < 5; ++i)
            m_state.commIfSlots[i] =
                i < static_cast<int>(interfaces.size()) ? interfaces[static_cast<size_t>(i)] : -1;
        m_state.defaultCommIf = defaultInterface;
    }

    const CommLibTable* Library() const { return g->binding->Table(); }

    std::unique_ptr<CCommunicationSettingDlg> Open(const CommLibTable* table = nullptr)
    {
        auto dialog =
            std::make_unique<CCommunicationSettingDlg>(m_state, table ? table : Library());
        dialog->show();
        Settle();
        return dialog;
    }

    // A QP-R60 emulator on a pseudo-terminal linked into the device folder.
    std::unique_ptr<qpr60test::EmulatorProcess> PtyPrinter(const QString& relative,
                                                           const char* model = "QP-R60")
    {
        QDir().mkpath(QFileInfo(g->system->Path(relative)).absolutePath());
        auto printer = std::make_unique<qpr60test::EmulatorProcess>();
        EXPECT_TRUE(printer->start({"--pty", Str(g->system->Path(relative))})) << printer->error();
        if (std::strcmp(model, "QP-R60") != 0) {
            EXPECT_EQ(printer->control(std::string("model ") + model), "OK");
        }
        return printer;
    }

    static QStringList Items(const QComboBox* combo)
    {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        return items;
    }

    void Click(CCommunicationSettingDlg* dialog, int id)
    {
        auto* button = ControlOf<QPushButton>(dialog, id);
        ASSERT_NE(button, nullptr) << id;
        ASSERT_TRUE(button->isEnabled()) << id;
        button->click();
        Settle();
    }

    AppState m_state;
    MessageBoxAnswerer m_boxes;
};

std::string PortText(const QpuChar16 (&field)[QPU_TEXT_UNITS])
{
    return Str(FixedText(field));
}

} // namespace

// ---------------------------------------------------------------------------------------
// Interface buttons and layout

TEST_F(AddPortDialog, ButtonsFollowTheProfileOrderAndOthersStayHidden)
{
    Offer({kUsb, kSerial}, kUsb);
    auto dialog = Open();
    auto* usb = ControlOf<QPushButton>(dialog.get(), 2002);
    auto* serial = ControlOf<QPushButton>(dialog.get(), 2000);
    ASSERT_TRUE(usb && serial);
    EXPECT_TRUE(usb->isVisible());
    EXPECT_TRUE(serial->isVisible());
    EXPECT_LT(usb->x(), serial->x()); // USB takes the first position
    EXPECT_EQ(usb->y(), serial->y());
    for (int id : {2001, 2003, 2004})
        EXPECT_FALSE(ControlOf(dialog.get(), id)->isVisible()) << id;
    EXPECT_TRUE(usb->isChecked());
    EXPECT_FALSE(serial->isChecked());
    EXPECT_EQ(dialog->CurrentInterface(), kUsb);

    // The first position is where the serial button sits when all are offered.
    Offer({kSerial, kParallel, kUsb, kEthernet, kBluetooth}, kSerial);
    auto all = Open();
    EXPECT_EQ(usb->x(), ControlOf(all.get(), 2000)->x());
}

TEST_F(AddPortDialog, ADefaultThatIsNotOfferedGivesWayToTheFirstOffered)
{
    Offer({kParallel, kBluetooth}, kUsb);
    auto dialog = Open();
    EXPECT_EQ(dialog->CurrentInterface(), kParallel);
    EXPECT_TRUE(ControlOf<QPushButton>(dialog.get(), 2001)->isChecked());
    EXPECT_FALSE(ControlOf(dialog.get(), 2002)->isVisible());
}

TEST_F(AddPortDialog, EachInterfaceShowsItsLayoutWithTheLanguageTexts)
{
    auto dialog = Open();
    for (int i = 0; i < addport::kInterfaceCount; ++i) {
        Click(dialog.get(), 2000 + i);
        Settle(i == kEthernet ? 600 : 50); // the network search runs by itself
        for (const addport::ControlState& row : addport::LayoutFor(i)) {
            QWidget* control = ControlOf(dialog.get(), row.controlId);
            ASSERT_NE(control, nullptr) << row.controlId;
            EXPECT_EQ(control->isVisible(), row.shown) << i << " " << row.controlId;
        }
    }
    // Texts of the English file.
    Click(dialog.get(), 2000 + kSerial);
    EXPECT_EQ(Str(ControlOf<QLabel>(dialog.get(), 1008)->text()), "Port:");
    EXPECT_EQ(Str(ControlOf<QLabel>(dialog.get(), 1014)->text()), "Flow Control:");
    EXPECT_EQ(Str(ControlOf<QPushButton>(dialog.get(), 1023)->text()), "Virtual Port Setting");
    EXPECT_EQ(Str(ControlOf<QLabel>(dialog.get(), 1030)->text()),
              "Select the communication interface to QP-R60.");
    EXPECT_EQ(Str(dialog->windowTitle()), "Add Port");
    Click(dialog.get(), 2000 + kEthernet);
    Settle(600);
    EXPECT_EQ(Str(ControlOf<QLabel>(dialog.get(), 1008)->text()), "IP Address:");
    EXPECT_EQ(Str(ControlOf<QPushButton>(dialog.get(), 1013)->text()), "Search");
}

TEST_F(AddPortDialog, SerialListsComeFromTheLanguageFileAndTheParityListLosesItsFirst)
{
    CLangResStore store;
    ASSERT_GT(store.Open(QStringLiteral(QPU_SOURCE_DIR "/data/program/LANG/"), 0x0409, 0x0409), 0);
    store.LoadSections(QStringLiteral("PORT_ADD_DLG"));
    std::map<int, int> inFile;
    for (const auto& item : store.ComboItems())
        ++inFile[item->Number()];

    Offer({kSerial}, kSerial);
    auto dialog = Open();
    auto* bits = ControlOf<QComboBox>(dialog.get(), 1017);
    auto* baud = ControlOf<QComboBox>(dialog.get(), 1019);
    auto* parity = ControlOf<QComboBox>(dialog.get(), 1020);
    auto* flow = ControlOf<QComboBox>(dialog.get(), 1021);
    EXPECT_EQ(bits->count(), inFile[1017]);
    EXPECT_EQ(baud->count(), inFile[1019]);
    EXPECT_EQ(parity->count(), inFile[1020] - 1);
    EXPECT_EQ(flow->count(), inFile[1021]);
    EXPECT_EQ(bits->currentIndex(), 2);
    EXPECT_EQ(bits->currentData().toInt(), 8);
    EXPECT_EQ(baud->currentIndex(), 0);
    EXPECT_EQ(baud->currentData().toInt(), 9600);
    // The file's second parity entry ("None", 0) is now first and selected.
    EXPECT_EQ(parity->currentIndex(), 0);
    EXPECT_EQ(parity->currentData().toInt(), 0);
    EXPECT_EQ(Str(parity->currentText()), "None");
    EXPECT_EQ(flow->currentIndex(), 0);

    // Changing the interface fills the lists afresh instead of adding to them.
    Click(dialog.get(), 2000);
    EXPECT_EQ(bits->count(), inFile[1017]);
    EXPECT_EQ(parity->count(), inFile[1020] - 1);
}

// ---------------------------------------------------------------------------------------
// Ports and the communication test against emulators

TEST_F(AddPortDialog, ASecondPrinterOnAPseudoTerminalIsTestedAndAddedAsASerialPort)
{
    auto other = PtyPrinter("dev/ttyUSB0", "QP-R61");
    auto printer = PtyPrinter("dev/ttyUSB1");
    Offer({kSerial, kUsb}, kSerial);
    auto dialog = Open();
    auto* ports = ControlOf<QComboBox>(dialog.get(), 1016);
    EXPECT_EQ(Items(ports), (QStringList{"ttyUSB0", "ttyUSB1"}));
    EXPECT_EQ(ports->currentIndex(), 0);
    ports->setCurrentIndex(1);
    ControlOf<QComboBox>(dialog.get(), 1019)->setCurrentIndex(1); // 19200 bps

    Click(dialog.get(), 1026);
    ASSERT_EQ(m_boxes.boxes.size(), 1u);
    EXPECT_EQ(Str(m_boxes.boxes[0].text), "Communication test completed successfully.");
    EXPECT_EQ(m_boxes.boxes[0].icon, QMessageBox::Information);
    EXPECT_EQ(Str(m_boxes.boxes[0].title), "QP-R60 Utility");

    Click(dialog.get(), 1);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_FALSE(dialog->isVisible());
    const PortInfo& port = dialog->Result();
    EXPECT_EQ(PortText(port.interfaceKeyword), "COM");
    EXPECT_EQ(PortText(port.portName), "ttyUSB1");
    EXPECT_EQ(PortText(port.deviceName), "QP-R60");
    EXPECT_EQ(port.serialParamsPresent, 1);
    EXPECT_EQ(port.dataBitsCode, 8);
    EXPECT_EQ(port.baudRateCode, 19200);
    EXPECT_EQ(port.parityCode, 0);
    EXPECT_EQ(port.reserved1, -1);
    EXPECT_EQ(port.reserved2, -1);
    // The record is one the library takes.
    PortInfo copy = port;
    EXPECT_EQ(QpcCall(Library(), &CommLibTable::AddPort, &copy), QPC_OK);
    QpcCall(Library(), &CommLibTable::RemovePort, &copy);
    // The printer on the chosen line got the model-name request.
    EXPECT_NE(qpr60test::hexText(printer->receivedBytes()).find("1D 49 43"), std::string::npos);
}

TEST_F(AddPortDialog, AnotherModelIsRefusedAndTheDialogStaysOpen)
{
    auto printer = PtyPrinter("dev/ttyUSB0", "QP-R60II");
    Offer({kSerial}, kSerial);
    auto dialog = Open();
    Click(dialog.get(), 1);
    ASSERT_EQ(m_boxes.boxes.size(), 1u);
    EXPECT_EQ(m_boxes.boxes[0].icon, QMessageBox::Warning);
    EXPECT_EQ(Str(m_boxes.boxes[0].text), "The device ID does not match the connected printer.");
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->Result().deviceName[0], 0);

    // Started by the printer driver, a member of the series is welcome.
    m_state.startMode = 110;
    auto driver = Open();
    Click(driver.get(), 1);
    EXPECT_EQ(driver->result(), QDialog::Accepted);
    EXPECT_EQ(PortText(driver->Result().deviceName), "QP-R60II");
}

TEST_F(AddPortDialog, APrinterThatDoesNotAnswerIsACommunicationError)
{
    auto printer = PtyPrinter("dev/ttyUSB0");
    printer->control("silent on");
    Offer({kSerial}, kSerial);
    auto dialog = Open();
    Click(dialog.get(), 1026);
    ASSERT_EQ(m_boxes.boxes.size(), 1u);
    EXPECT_EQ(m_boxes.boxes[0].icon, QMessageBox::Warning);
    EXPECT_EQ(Str(m_boxes.boxes[0].text.section(u'\n', 0, 0)), "A communication error occurred.");
    Click(dialog.get(), 1);
    EXPECT_EQ(m_boxes.boxes.size(), 2u);
    EXPECT_TRUE(dialog->isVisible());
    // It answers again: the same dialog now succeeds.
    printer->control("silent off");
    Click(dialog.get(), 1);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
}

TEST_F(AddPortDialog, BluetoothOfferedListsBluetoothPortsAmongTheSerialOnes)
{
    auto serial = PtyPrinter("dev/ttyUSB0");
    auto bluetooth = PtyPrinter("dev/rfcomm0");
    Offer({kSerial, kBluetooth}, kSerial);
    auto withBluetooth = Open();
    EXPECT_EQ(Items(ControlOf<QComboBox>(withBluetooth.get(), 1016)),
              (QStringList{"ttyUSB0", "rfcomm0"}));
    Click(withBluetooth.get(), 2004);
    EXPECT_EQ(Items(ControlOf<QComboBox>(withBluetooth.get(), 1016)), (QStringList{"rfcomm0"}));
    Click(withBluetooth.get(), 1);
    EXPECT_EQ(withBluetooth->result(), QDialog::Accepted);
    EXPECT_EQ(PortText(withBluetooth->Result().interfaceKeyword), "BT");
    EXPECT_EQ(withBluetooth->Result().serialParamsPresent, 0);

    Offer({kSerial, kUsb}, kSerial);
    auto without = Open();
    EXPECT_EQ(Items(ControlOf<QComboBox>(without.get(), 1016)), (QStringList{"ttyUSB0"}));
}

TEST_F(AddPortDialog, AUsbPortIsShownWithItsPrefixAndStoredWithout)
{
    auto printer = PtyPrinter("dev/usb/lp0");
    Offer({kUsb}, kUsb);
    auto dialog = Open();
    EXPECT_EQ(Items(ControlOf<QComboBox>(dialog.get(), 1016)), (QStringList{"USB-001"}));
    Click(dialog.get(), 1);
    ASSERT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(PortText(dialog->Result().interfaceKeyword), "USB");
    EXPECT_EQ(PortText(dialog->Result().portName), "001");
}

TEST_F(AddPortDialog, PortSearchFindsNewPortsOrSaysNone)
{
    Offer({kSerial}, kSerial);
    auto dialog = Open();
    auto* ports = ControlOf<QComboBox>(dialog.get(), 1016);
    EXPECT_EQ(ports->count(), 0);
    EXPECT_FALSE(ControlOf(dialog.get(), 1)->isEnabled());
    EXPECT_FALSE(ControlOf(dialog.get(), 1026)->isEnabled());

    Click(dialog.get(), 1022);
    ASSERT_EQ(m_boxes.boxes.size(), 1u);
    EXPECT_EQ(Str(m_boxes.boxes[0].text), "Cannot find the printer.");
    EXPECT_EQ(m_boxes.boxes[0].icon, QMessageBox::Information);

    auto printer = PtyPrinter("dev/ttyACM0");
    Click(dialog.get(), 1022);
    EXPECT_EQ(m_boxes.boxes.size(), 1u);
    EXPECT_EQ(Items(ports), (QStringList{"ttyACM0"}));
    EXPECT_TRUE(ControlOf(dialog.get(), 1)->isEnabled());
    EXPECT_TRUE(ControlOf(dialog.get(), 1026)->isEnabled());
}

TEST_F(AddPortDialog, WithoutTheLibraryNothingIsFoundAndTheTestFails)
{
    CommLibTable unbound{};
    Offer({kSerial, kEthernet}, kSerial);
    auto printer = PtyPrinter("dev/ttyUSB0");
    auto dialog = std::make_unique<CCommunicationSettingDlg>(m_state, &unbound);
    dialog->show();
    Settle();
    EXPECT_EQ(ControlOf<QComboBox>(dialog.get(), 1016)->count(), 0);
    EXPECT_FALSE(dialog->RunCommunicationTest());
    ASSERT_EQ(m_boxes.boxes.size(), 1u);
    EXPECT_EQ(Str(m_boxes.boxes[0].text.section(u'\n', 0, 0)), "A communication error occurred.");
    Click(dialog.get(), 2003);
    ASSERT_TRUE(WaitFor([&] { return m_boxes.boxes.size() == 2; }));
    EXPECT_EQ(Str(m_boxes.boxes[1].text), "Cannot find the printer.");
}

// ---------------------------------------------------------------------------------------
// Ethernet

TEST_F(AddPortDialog, EthernetFindsThePrinterByDiscoveryOnLoopbackAndTestsIt)
{
    qpr60test::EmulatorProcess printer;
    ASSERT_TRUE(printer.start({"--tcp", "127.0.0.1:0", "--discovery", "127.0.0.1:0"}))
        << printer.error();
    ScopedEnv targets("QPCOMM_DISCOVERY_ADDR",
                      QStringLiteral("127.0.0.1:%1").arg(printer.discoveryPort()));
    ScopedEnv netPort("QPCOMM_NET_PORT", QString::number(printer.tcpPort()));
    Offer({kSerial, kEthernet}, kEthernet);
    auto dialog = Open();
    auto* found = ControlOf<QListWidget>(dialog.get(), 1018);
    // Switching to Ethernet searches by itself.
    ASSERT_TRUE(WaitFor([&] { return found->count() == 1; }));
    // The entry names the printer by the serial number of its answer.
    EXPECT_EQ(Str(found->item(0)->text()),
              "127.0.0.1:" + std::to_string(printer.tcpPort()) + "   S/N QPR6000001");
    EXPECT_TRUE(m_boxes.boxes.empty());
    EXPECT_FALSE(ControlOf(dialog.get(), 1016)->isVisible());

    found->setCurrentRow(0);
    Settle();
    EXPECT_EQ(ControlOf<CIpAddressEdit>(dialog.get(), 1012)->Address(), 0x7F000001u);
    Click(dialog.get(), 1);
    ASSERT_EQ(dialog->result(), QDialog::Accepted)
        << (m_boxes.boxes.empty() ? std::string() : Str(m_boxes.boxes[0].text));
    EXPECT_EQ(PortText(dialog->Result().interfaceKeyword), "NET");
    EXPECT_EQ(PortText(dialog->Result().portName), "127.0.0.1");
    EXPECT_EQ(PortText(dialog->Result().deviceName), "QP-R60");
    EXPECT_EQ(dialog->LastAddress(), 0x7F000001u);
}

TEST_F(AddPortDialog, EthernetWithoutPrintersSaysSoAndKeepsTheAddress)
{
    Offer({kEthernet}, kEthernet);
    auto dialog = Open();
    ASSERT_TRUE(WaitFor([&] { return !m_boxes.boxes.empty(); }));
    EXPECT_EQ(Str(m_boxes.boxes[0].text), "Cannot find the printer.");
    EXPECT_EQ(ControlOf<QListWidget>(dialog.get(), 1018)->count(), 0);
    // The address control starts blank, so OK waits for an address.
    EXPECT_TRUE(ControlOf<CIpAddressEdit>(dialog.get(), 1012)->IsBlank());
    EXPECT_FALSE(ControlOf(dialog.get(), 1)->isEnabled());
}

namespace {

// A scripted library for exact orders: NET finds the addresses in g_found, the test
// answers with a communication error.
std::vector<std::string> g_found;
int32_t ScriptedEnum(const QpuChar16* keyword, PortInfo** list, uint32_t capacity, uint32_t* count)
{
    *count = 0;
    if (QString::fromUtf16(reinterpret_cast<const char16_t*>(keyword)) != QLatin1String("NET"))
        return QPC_OK;
    *count = static_cast<uint32_t>(g_found.size());
    for (uint32_t i = 0; i < capacity && i < g_found.size(); ++i)
        SetFixedText(list[i]->portName, QString::fromStdString(g_found[i]));
    return QPC_OK;
}
int g_testCalls = 0;
int32_t ScriptedTest(PortInfo*)
{
    ++g_testCalls;
    return QPC_ERR_TIMEOUT;
}
int32_t ScriptedClose()
{
    return QPC_OK;
}

} // namespace

TEST_F(AddPortDialog, FoundPrintersListInReverseAndOutOfRangeNumbersBecome255)
{
    int module = 0;
    CommLibTable table{};
    table.module = &module;
    table.EnumDevPort = &ScriptedEnum;
    table.CommunicationTest = &ScriptedTest;
    table.Close = &ScriptedClose;
    g_found = {"10.0.0.1", "300.2.3.4", "10.0.0.3"};
    Offer({kEthernet}, kEthernet);
    auto dialog = Open(&table);
    auto* found = ControlOf<QListWidget>(dialog.get(), 1018);
    ASSERT_TRUE(WaitFor([&] { return found->count() == 3; }));
    EXPECT_EQ(Str(found->item(0)->text()), "10.0.0.3");
    EXPECT_EQ(Str(found->item(1)->text()), "300.2.3.4");
    EXPECT_EQ(Str(found->item(2)->text()), "10.0.0.1");
    found->setCurrentRow(1);
    Settle();
    auto* address = ControlOf<CIpAddressEdit>(dialog.get(), 1012);
    EXPECT_EQ(address->Address(), 0xFF020304u);

    // A test reads the address as the last address.
    g_testCalls = 0;
    Click(dialog.get(), 1026);
    EXPECT_EQ(g_testCalls, 1);
    EXPECT_EQ(dialog->LastAddress(), 0xFF020304u);

    // Blanking the address: the last address still counts until a test reads the blank
    // control; after that, OK needs a number again.
    address->Clear();
    EXPECT_TRUE(ControlOf(dialog.get(), 1)->isEnabled());
    g_testCalls = 0;
    Click(dialog.get(), 1026);
    EXPECT_EQ(dialog->LastAddress(), 0u);
    // A blank address is a communication error without asking the library.
    EXPECT_EQ(g_testCalls, 0);
    ASSERT_FALSE(m_boxes.boxes.empty());
    EXPECT_EQ(Str(m_boxes.boxes.back().text.section(u'\n', 0, 0)),
              "A communication error occurred.");
    const QList<QLineEdit*> fields = address->findChildren<QLineEdit*>();
    ASSERT_GE(fields.size(), 4);
    fields.back()->setText(QStringLiteral("7"));
    EXPECT_TRUE(ControlOf(dialog.get(), 1)->isEnabled());
    fields.back()->clear();
    EXPECT_FALSE(ControlOf(dialog.get(), 1)->isEnabled());
    EXPECT_FALSE(ControlOf(dialog.get(), 1026)->isEnabled());
    g_found.clear();
}

// ---------------------------------------------------------------------------------------
// Companion tools

TEST_F(AddPortDialog, NetworkToolRunsBehindItsProgressWindow)
{
    const QString marker = g->system->Path("tools/network-ran");
    g->system->AddScript("tools/vn/VNConfig.exe", "sleep 0.4; touch '" + marker.toUtf8() + "'");
    g->system->SetRegistry(QByteArray("[") + kNetworkToolKey +
                           "]\nInstallLocation=" + g->system->Path("tools/vn").toUtf8() + "\n");
    Offer({kSerial, kEthernet}, kEthernet);
    auto dialog = Open();
    ASSERT_TRUE(WaitFor([&] { return !m_boxes.boxes.empty(); })); // no printer found
    auto* tool = ControlOf<QPushButton>(dialog.get(), 1015);
    ASSERT_TRUE(tool->isEnabled());

    QString caption;
    QString label;
    bool toolDisabledMeanwhile = false;
    QTimer probe;
    probe.setInterval(20);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        CToolProgressDlg* progress = dialog->ProgressWindow();
        if (!progress || !progress->isVisible() || !caption.isEmpty())
            return;
        caption = progress->windowTitle();
        label = progress->LabelText();
        toolDisabledMeanwhile = !tool->isEnabled();
        SaveShot(progress, QStringLiteral("progress_network_0409"));
    });
    probe.start();
    tool->click();
    probe.stop();
    EXPECT_EQ(Str(caption), "Run VorkaNet Config");
    EXPECT_EQ(Str(label), "VorkaNet Config Running...");
    EXPECT_TRUE(toolDisabledMeanwhile);
    EXPECT_TRUE(QFile::exists(marker)); // the click returned after the tool ended
    EXPECT_TRUE(tool->isEnabled());
    EXPECT_EQ(dialog->ProgressWindow(), nullptr);

    // Any other parameter of the network-tool message is refused.
    EXPECT_EQ(qpu::SendWindowMessage(dialog.get(), tools::kMsgNetworkTool, 5, 0),
              tools::kInvalidParameter);
    EXPECT_TRUE(tool->isEnabled());
}

TEST_F(AddPortDialog, NetworkToolThatCannotStartClosesItsWindowAtOnce)
{
    // Installed as a file that is no program.
    WriteFile(g->system->Path("opt/VORKA/VorkaNet Config V4/VNConfig.exe"), "not a program");
    Offer({kEthernet}, kEthernet);
    auto dialog = Open();
    ASSERT_TRUE(WaitFor([&] { return !m_boxes.boxes.empty(); }));
    QElapsedTimer timer;
    timer.start();
    Click(dialog.get(), 1015);
    EXPECT_LT(timer.elapsed(), 3000);
    EXPECT_EQ(dialog->ProgressWindow(), nullptr);
    EXPECT_TRUE(ControlOf(dialog.get(), 1015)->isEnabled());
}

TEST_F(AddPortDialog, ConnectorPairsAndItsPortIsPreselected)
{
    auto first = PtyPrinter("dev/rfcomm0");
    const QString settings = g->system->Path("var/lib/VORKA/QPBTConnector/QPBTSetting.ini");
    const QString newPort = g->system->Path("dev/rfcomm1");
    const QString release = g->system->Path("tools/release");
    // The connector "creates" rfcomm1 (the test links an emulator there) and records it.
    g->system->AddScript("opt/VORKA/QP Bluetooth Connector/QPBluetoothConnector.exe",
                         "mkdir -p '" + QFileInfo(settings).absolutePath().toUtf8() + "'\n" +
                             "while [ ! -e '" + release.toUtf8() + "' ]; do sleep 0.05; done\n" +
                             "printf '[Setting]\\nVirtualComPort=rfcomm1\\n' > '" +
                             settings.toUtf8() + "'");
    Offer({kSerial, kBluetooth}, kBluetooth);
    auto dialog = Open();
    auto* connector = ControlOf<QPushButton>(dialog.get(), 1034);
    ASSERT_TRUE(connector->isVisible());
    ASSERT_TRUE(connector->isEnabled());
    EXPECT_EQ(Items(ControlOf<QComboBox>(dialog.get(), 1016)), (QStringList{"rfcomm0"}));

    std::unique_ptr<qpr60test::EmulatorProcess> second;
    std::vector<int> stillEnabled;
    QString caption;
    QString label;
    QTimer probe;
    probe.setInterval(20);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        CToolProgressDlg* progress = dialog->ProgressWindow();
        if (!progress || !progress->isVisible() || !caption.isEmpty())
            return;
        caption = progress->windowTitle();
        label = progress->LabelText();
        for (int id : {2000, 2001, 2002, 2003, 2004, 1008, 1016, 1022, 1034, 1023, 1026, 1, 2}) {
            if (ControlOf(dialog.get(), id)->isEnabled())
                stillEnabled.push_back(id);
        }
        SaveShot(progress, QStringLiteral("progress_pairing_0409"));
        second = PtyPrinter("dev/rfcomm1");
        WriteFile(release, "x");
    });
    probe.start();
    connector->click();
    probe.stop();
    EXPECT_EQ(Str(caption), "Bluetooth Connecter"); // string 1034 of the file
    EXPECT_EQ(Str(label), "Paring");
    EXPECT_TRUE(stillEnabled.empty()) << stillEnabled.size();
    auto* ports = ControlOf<QComboBox>(dialog.get(), 1016);
    EXPECT_EQ(Items(ports), (QStringList{"rfcomm0", "rfcomm1"}));
    EXPECT_EQ(Str(ports->currentText()), "rfcomm1");
    for (int id : {2000, 2004, 1016, 1022, 1034, 1026, 1, 2})
        EXPECT_TRUE(ControlOf(dialog.get(), id)->isEnabled()) << id;
    EXPECT_EQ(dialog->ProgressWindow(), nullptr);
    EXPECT_TRUE(m_boxes.boxes.empty());
}

TEST_F(AddPortDialog, ConnectorWithoutARecordedPortKeepsTheSearchResult)
{
    auto first = PtyPrinter("dev/rfcomm0");
    auto second = PtyPrinter("dev/rfcomm1");
    g->system->AddScript("opt/VORKA/QP Bluetooth Connector/QPBluetoothConnector.exe", "exit 3");
    Offer({kBluetooth}, kBluetooth);
    auto dialog = Open();
    auto* ports = ControlOf<QComboBox>(dialog.get(), 1016);
    ports->setCurrentIndex(1);
    Click(dialog.get(), 1034);
    EXPECT_EQ(ports->currentIndex(), 0); // the new search selects the first port
    // A recorded port that is not in the list changes nothing either.
    WriteFile(g->system->Path("var/lib/VORKA/QPBTConnector/QPBTSetting.ini"),
              "[Setting]\nVirtualComPort=rfcomm9\n");
    ports->setCurrentIndex(1);
    Click(dialog.get(), 1034);
    EXPECT_EQ(ports->currentIndex(), 0);
}

TEST_F(AddPortDialog, ConnectorButtonOnlyWhenInstalled)
{
    Offer({kBluetooth}, kBluetooth);
    auto dialog = Open();
    EXPECT_FALSE(ControlOf(dialog.get(), 1034)->isEnabled());
    EXPECT_TRUE(dialog->ToolPaths().connector.isEmpty());
    // Nothing to start: no window, and the controls stay as they are.
    dialog->RunConnector();
    EXPECT_EQ(dialog->ProgressWindow(), nullptr);
    EXPECT_TRUE(ControlOf(dialog.get(), 2)->isEnabled());
}

TEST_F(AddPortDialog, WithoutLanguageTextsTheDialogStaysAsBuilt)
{
    int module = 0;
    CommLibTable table{};
    table.module = &module;
    table.EnumDevPort = &ScriptedEnum;
    g_found = {"10.0.0.1"};
    SetFixedText(m_state.languageFolder, g->system->Path("nowhere"));
    Offer({kEthernet}, kEthernet);
    auto dialog = Open(&table);
    Settle(200);
    EXPECT_EQ(Str(dialog->windowTitle()), "Add Port");
    // No interface was selected, so nothing was searched.
    EXPECT_EQ(ControlOf<QListWidget>(dialog.get(), 1018)->count(), 0);
    EXPECT_EQ(ControlOf<QComboBox>(dialog.get(), 1016)->count(), 0);
    EXPECT_TRUE(m_boxes.boxes.empty());
    g_found.clear();
}

TEST_F(AddPortDialog, PortToolFolderIsOpenedAndPortsSearchedAgain)
{
    QDir().mkpath(g->system->Path("tools/vrk"));
    g->system->SetRegistry(QByteArray("[") + kPortToolKey +
                           "]\nPath=" + g->system->Path("tools/vrk").toUtf8() + "\n");
    Offer({kSerial, kUsb}, kSerial);
    auto dialog = Open();
    std::vector<QUrl> opened;
    dialog->SetOpenUrlHandler([&](const QUrl& url) {
        opened.push_back(url);
        return true;
    });
    dialog->SetStartProgramHandler([](const QString&) {
        ADD_FAILURE() << "a folder is not started";
        return false;
    });
    auto* portTool = ControlOf<QPushButton>(dialog.get(), 1023);
    ASSERT_TRUE(portTool->isVisible());
    ASSERT_TRUE(portTool->isEnabled());
    auto printer = PtyPrinter("dev/ttyUSB3"); // appears while the tool is open
    Click(dialog.get(), 1023);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(g->system->Path("tools/vrk")));
    EXPECT_EQ(Items(ControlOf<QComboBox>(dialog.get(), 1016)), (QStringList{"ttyUSB3"}));

    // USB hides the button but still looks the tool up.
    Click(dialog.get(), 2002);
    EXPECT_FALSE(portTool->isVisible());
}

TEST_F(AddPortDialog, PortToolProgramIsStartedAndAMissingToolLeavesTheButtonDisabled)
{
    Offer({kParallel}, kParallel);
    auto missing = Open();
    EXPECT_FALSE(ControlOf(missing.get(), 1023)->isEnabled());

    const QString program = g->system->AddScript("opt/VORKA/QPCOMUSB/VrkCa.exe");
    auto dialog = Open();
    std::vector<QString> started;
    dialog->SetStartProgramHandler([&](const QString& path) {
        started.push_back(path);
        return true;
    });
    Click(dialog.get(), 1023);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0], program);
    // No parallel port here: the search after the tool says so.
    ASSERT_EQ(m_boxes.boxes.size(), 1u);
    EXPECT_EQ(Str(m_boxes.boxes[0].text), "Cannot find the printer.");
}

TEST_F(AddPortDialog, NetworkToolPathFollowsTheInterfaceAndAnEmptyPathOnlyBeeps)
{
    g->system->AddScript("opt/VORKA/VorkaNet Config V4/VNConfig.exe");
    Offer({kSerial, kEthernet}, kSerial);
    auto dialog = Open();
    EXPECT_TRUE(dialog->ToolPaths().networkTool.isEmpty());
    EXPECT_FALSE(dialog->ToolPaths().portTool.isEmpty());
    // Without a path the tool is not started and no window comes up.
    QElapsedTimer timer;
    timer.start();
    dialog->RunNetworkTool();
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_EQ(dialog->ProgressWindow(), nullptr);

    Click(dialog.get(), 2003);
    ASSERT_TRUE(WaitFor([&] { return !m_boxes.boxes.empty(); }));
    EXPECT_FALSE(dialog->ToolPaths().networkTool.isEmpty());
    EXPECT_TRUE(dialog->ToolPaths().portTool.isEmpty());
    EXPECT_TRUE(ControlOf(dialog.get(), 1015)->isEnabled());
    Click(dialog.get(), 2000);
    EXPECT_TRUE(dialog->ToolPaths().networkTool.isEmpty());
}

TEST(AddressEntry, FourFieldsOfZeroTo255)
{
    CIpAddressEdit edit;
    edit.show();
    edit.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&edit));
    EXPECT_TRUE(edit.IsBlank());
    EXPECT_EQ(edit.Address(), 0u);
    const QList<QLineEdit*> fields = edit.findChildren<QLineEdit*>();
    QList<QLineEdit*> octets;
    for (QLineEdit* field : fields) {
        if (!field->isReadOnly())
            octets << field;
    }
    ASSERT_EQ(octets.size(), 4);

    // Three digits or a point move on; the validator refuses numbers above 255.
    octets[0]->setFocus();
    QTest::keyClicks(octets[0], QStringLiteral("10"));
    QTest::keyClick(octets[0], Qt::Key_Period);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("200"));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("999"));
    EXPECT_EQ(Str(octets[0]->text()), "10");
    EXPECT_EQ(Str(octets[1]->text()), "200");
    // A number above 255 stays as typed: the dialog refuses it, nothing changes it.
    EXPECT_EQ(Str(octets[2]->text()), "999");
    EXPECT_TRUE(octets[3]->hasFocus());
    EXPECT_EQ(edit.FilledFieldCount(), 3);
    // Backspace in an empty field goes back to the one before.
    QTest::keyClick(octets[3], Qt::Key_Backspace);
    EXPECT_TRUE(octets[2]->hasFocus());

    edit.Clear();
    octets[3]->setText(QStringLiteral("5"));
    EXPECT_FALSE(edit.IsBlank());
    EXPECT_EQ(edit.Address(), 5u); // blank fields count as 0
    edit.SetAddress(0xC0A80001u);
    EXPECT_EQ(Str(octets[0]->text()), "192");
    EXPECT_EQ(Str(octets[3]->text()), "1");
    EXPECT_EQ(edit.Address(), 0xC0A80001u);
    int changes = 0;
    QObject::connect(&edit, &CIpAddressEdit::FieldChanged, [&] { ++changes; });
    edit.Clear();
    EXPECT_EQ(changes, 4);
    EXPECT_TRUE(edit.IsBlank());
}

TEST_F(AddPortDialog, CancelLeavesNoResult)
{
    auto printer = PtyPrinter("dev/ttyUSB0");
    Offer({kSerial}, kSerial);
    auto dialog = Open();
    Click(dialog.get(), 2);
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(dialog->Result().interfaceKeyword[0], 0);
    EXPECT_TRUE(m_boxes.boxes.empty());
}

// ---------------------------------------------------------------------------------------
// What the user is told: causes, refused addresses, serial numbers, search results, the
// wait cursor, typed device paths.

namespace {

// A scripted library whose test answers g_testResult, whose serial search finds g_serial
// and whose network search finds g_found (address, and a serial number in the opaque
// identification where one is given).
int32_t g_testResult = QPC_ERR_TIMEOUT;
std::vector<std::string> g_serial;
std::vector<std::pair<std::string, std::string>> g_foundWithSerial;
bool g_waitCursorDuringTest = false;
int32_t FlexibleEnum(const QpuChar16* keyword, PortInfo** list, uint32_t capacity, uint32_t* count)
{
    const QString key = QString::fromUtf16(reinterpret_cast<const char16_t*>(keyword));
    *count = 0;
    if (key == QLatin1String("NET")) {
        *count = static_cast<uint32_t>(g_foundWithSerial.size());
        for (uint32_t i = 0; i < capacity && i < *count; ++i) {
            SetFixedText(list[i]->portName, QString::fromStdString(g_foundWithSerial[i].first));
            SetFixedText(list[i]->deviceName, QStringLiteral("QP-R60"));
            const std::string id = g_foundWithSerial[i].second.empty()
                                       ? std::string()
                                       : "SN:" + g_foundWithSerial[i].second + ";";
            std::memcpy(list[i]->usbDeviceId, id.c_str(), id.size());
        }
    } else if (key == QLatin1String("COM") || key == QLatin1String("SERIAL")) {
        *count = static_cast<uint32_t>(g_serial.size());
        for (uint32_t i = 0; i < capacity && i < *count; ++i)
            SetFixedText(list[i]->portName, QString::fromStdString(g_serial[i]));
    }
    return QPC_OK;
}
int32_t FlexibleTest(PortInfo*)
{
    g_waitCursorDuringTest = QApplication::overrideCursor() != nullptr &&
                             QApplication::overrideCursor()->shape() == Qt::WaitCursor;
    return g_testResult;
}

CommLibTable FlexibleTable()
{
    static int module = 0;
    CommLibTable table{};
    table.module = &module;
    table.EnumDevPort = &FlexibleEnum;
    table.CommunicationTest = &FlexibleTest;
    table.Close = &ScriptedClose;
    return table;
}

} // namespace

TEST_F(AddPortDialog, ACommunicationErrorSaysWhatToCheckOnItsSecondLine)
{
    const CommLibTable table = FlexibleTable();
    g_serial = {"ttyS0"};
    Offer({kSerial}, kSerial);
    auto dialog = Open(&table);
    const struct
    {
        int32_t result;
        const char* cause;
    } cases[] = {
        {QPC_ERR_TIMEOUT, "did not answer in time"},
        {QPC_ERR_PORT_IN_USE, "in use by another program"},
        {QPC_ERR_NOT_FOUND, "/ttyS0 was not found"},
        {QPC_ERR_ACCESS_DENIED, "Access to "},
        {QPC_ERR_IO, "/ttyS0 failed"},
    };
    for (const auto& c : cases) {
        g_testResult = c.result;
        m_boxes.boxes.clear();
        Click(dialog.get(), 1026);
        ASSERT_EQ(m_boxes.boxes.size(), 1u) << c.result;
        const QStringList lines = m_boxes.boxes[0].text.split(u'\n');
        ASSERT_EQ(lines.size(), 2) << Str(m_boxes.boxes[0].text);
        EXPECT_EQ(Str(lines[0]), "A communication error occurred.");
        EXPECT_TRUE(lines[1].contains(QLatin1String(c.cause))) << Str(lines[1]);
    }
    g_serial.clear();
}

TEST_F(AddPortDialog, AnAddressPartAbove255IsRefusedAndNotChanged)
{
    const CommLibTable table = FlexibleTable();
    g_testCalls = 0;
    Offer({kEthernet}, kEthernet);
    auto dialog = Open(&table);
    ASSERT_TRUE(WaitFor([&] { return !m_boxes.boxes.empty(); })); // nothing found
    m_boxes.boxes.clear();
    auto* address = ControlOf<CIpAddressEdit>(dialog.get(), 1012);
    QList<QLineEdit*> octets;
    for (QLineEdit* field : address->findChildren<QLineEdit*>())
        if (!field->isReadOnly())
            octets << field;
    ASSERT_EQ(octets.size(), 4);
    const char* typed[] = {"10", "200", "999", "1"};
    for (int i = 0; i < 4; ++i) {
        octets[i]->setFocus();
        QTest::keyClicks(octets[i], QString::fromLatin1(typed[i]));
    }
    EXPECT_EQ(Str(octets[2]->text()), "999");
    Click(dialog.get(), 1026);
    ASSERT_EQ(m_boxes.boxes.size(), 1u);
    EXPECT_TRUE(m_boxes.boxes[0].text.contains(QLatin1String("999"))) << Str(m_boxes.boxes[0].text);
    EXPECT_TRUE(m_boxes.boxes[0].text.contains(QLatin1String("255"))) << Str(m_boxes.boxes[0].text);
    EXPECT_EQ(m_boxes.boxes[0].icon, QMessageBox::Warning);
    EXPECT_EQ(dialog->result(), 0);
    EXPECT_EQ(Str(octets[2]->text()), "999");
}

TEST_F(AddPortDialog, EthernetStartsBlankAndForgetsTheResultsOfAnEarlierSearch)
{
    const CommLibTable table = FlexibleTable();
    g_foundWithSerial = {{"10.0.0.7", ""}};
    Offer({kSerial, kEthernet}, kEthernet);
    auto dialog = Open(&table);
    auto* found = ControlOf<QListWidget>(dialog.get(), 1018);
    ASSERT_TRUE(WaitFor([&] { return found->count() == 1; }));
    auto* address = ControlOf<CIpAddressEdit>(dialog.get(), 1012);
    EXPECT_TRUE(address->IsBlank());
    EXPECT_FALSE(ControlOf(dialog.get(), 1)->isEnabled());
    EXPECT_FALSE(ControlOf(dialog.get(), 1026)->isEnabled());

    Click(dialog.get(), 2000);
    // Back on Ethernet the old answer is gone before the new search has run.
    ControlOf<QPushButton>(dialog.get(), 2003)->click();
    EXPECT_EQ(found->count(), 0);
    Settle(100);
    g_foundWithSerial.clear();
}

TEST_F(AddPortDialog, FoundPrintersShowTheSerialNumberOfTheirAnswer)
{
    const CommLibTable table = FlexibleTable();
    g_foundWithSerial = {{"10.0.0.1", "QPR6000011"}, {"10.0.0.2", ""}};
    Offer({kEthernet}, kEthernet);
    auto dialog = Open(&table);
    auto* found = ControlOf<QListWidget>(dialog.get(), 1018);
    ASSERT_TRUE(WaitFor([&] { return found->count() == 2; }));
    EXPECT_EQ(Str(found->item(0)->text()), "10.0.0.2");
    EXPECT_TRUE(found->item(1)->text().startsWith(QLatin1String("10.0.0.1")));
    EXPECT_TRUE(found->item(1)->text().contains(QLatin1String("QPR6000011")))
        << Str(found->item(1)->text());
    found->setCurrentRow(1);
    Settle();
    EXPECT_EQ(ControlOf<CIpAddressEdit>(dialog.get(), 1012)->Address(), 0x0A000001u);
    g_foundWithSerial.clear();
}

TEST_F(AddPortDialog, PortSearchSaysWhatItFound)
{
    const CommLibTable table = FlexibleTable();
    g_serial = {"ttyS0", "ttyS1"};
    Offer({kSerial, kEthernet}, kSerial);
    auto dialog = Open(&table);
    auto* result = dialog->findChild<QLabel*>(QStringLiteral("searchResult"));
    ASSERT_NE(result, nullptr);
    Click(dialog.get(), 1022);
    EXPECT_TRUE(result->isVisible());
    EXPECT_TRUE(result->text().contains(u'2')) << Str(result->text());
    g_serial.clear();
    Click(dialog.get(), 1022);
    EXPECT_EQ(Str(result->text()), "Nothing was found.");
    // Another interface starts without the answer of this search.
    Click(dialog.get(), 2003);
    Settle(100);
    Click(dialog.get(), 2000);
    EXPECT_FALSE(result->isVisible());
}

TEST_F(AddPortDialog, TheTestAndTheCompanionToolsRunUnderTheWaitCursor)
{
    const CommLibTable table = FlexibleTable();
    g_serial = {"ttyS0"};
    Offer({kSerial, kEthernet}, kSerial);
    auto dialog = Open(&table);

    // The communication test runs under the wait cursor.
    g_testResult = QPC_OK;
    g_waitCursorDuringTest = false;
    Click(dialog.get(), 1026);
    EXPECT_TRUE(g_waitCursorDuringTest);

    // And so does a companion tool, for as long as it runs.
    g->system->AddScript("tools/vn/VNConfig.exe", "sleep 0.4");
    g->system->SetRegistry(QByteArray("[") + kNetworkToolKey +
                           "]\nInstallLocation=" + g->system->Path("tools/vn").toUtf8() + "\n");
    Click(dialog.get(), 2003);
    ASSERT_TRUE(WaitFor([&] { return !m_boxes.boxes.empty(); }));
    bool waitCursorWhileRunning = false;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (dialog->ProgressWindow() != nullptr && QApplication::overrideCursor() != nullptr &&
            QApplication::overrideCursor()->shape() == Qt::WaitCursor)
            waitCursorWhileRunning = true;
    });
    probe.start(20);
    Click(dialog.get(), 1015);
    probe.stop();
    EXPECT_TRUE(waitCursorWhileRunning);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    g_serial.clear();
    g_testResult = QPC_ERR_TIMEOUT;
}

TEST_F(AddPortDialog, ATypedDevicePathIsCheckedAsTheLibraryChecksDriverPaths)
{
    auto printer = PtyPrinter("elsewhere/qpr60");
    Offer({kSerial}, kSerial);
    auto dialog = Open();
    auto* ports = ControlOf<QComboBox>(dialog.get(), 1016);
    ASSERT_TRUE(ports->isEditable());
    const QString missing = g->system->Path("elsewhere/none");
    const QString notATerminal = g->system->Path("elsewhere");
    const struct
    {
        QString typed;
        const char* said; // empty: the test passes
    } cases[] = {
        {missing, "was not found"},
        {QStringLiteral("/dev/null"), "not a serial line"},
        {notATerminal, "not a serial line"},
        {g->system->Path("elsewhere/qpr60"), ""},
    };
    for (const auto& c : cases) {
        m_boxes.boxes.clear();
        ports->setEditText(c.typed);
        Settle();
        EXPECT_TRUE(ControlOf(dialog.get(), 1026)->isEnabled()) << Str(c.typed);
        Click(dialog.get(), 1026);
        ASSERT_EQ(m_boxes.boxes.size(), 1u) << Str(c.typed);
        if (*c.said == 0) {
            EXPECT_EQ(Str(m_boxes.boxes[0].text), "Communication test completed successfully.");
            EXPECT_EQ(PortText(dialog->Result().portName), Str(c.typed));
        } else {
            EXPECT_TRUE(m_boxes.boxes[0].text.contains(QLatin1String(c.said)))
                << Str(m_boxes.boxes[0].text);
        }
    }
}

// ---------------------------------------------------------------------------------------
// Pictures for people: every layout and both progress windows, English, German and Japanese.

TEST_F(AddPortDialog, Screenshots)
{
    auto serial = PtyPrinter("dev/ttyUSB0");
    auto bluetooth = PtyPrinter("dev/rfcomm0");
    auto usb = PtyPrinter("dev/usb/lp0");
    qpr60test::EmulatorProcess network;
    ASSERT_TRUE(network.start({"--tcp", "127.0.0.1:0", "--discovery", "127.0.0.1:0"}));
    ScopedEnv targets("QPCOMM_DISCOVERY_ADDR",
                      QStringLiteral("127.0.0.1:%1").arg(network.discoveryPort()));
    QDir().mkpath(g->system->Path("tools/vrk"));
    g->system->SetRegistry(QByteArray("[") + kPortToolKey +
                           "]\nPath=" + g->system->Path("tools/vrk").toUtf8() + "\n");
    g->system->AddScript("opt/VORKA/QP Bluetooth Connector/QPBluetoothConnector.exe");
    g->system->AddScript("opt/VORKA/VorkaNet Config V4/VNConfig.exe");
    const char* names[] = {"serial", "parallel", "usb", "ethernet", "bluetooth"};
    for (const int langId : {0x0409, 0x0407, 0x0411}) {
        SetLanguage(langId);
        const QString lang = QStringLiteral("%1").arg(langId, 4, 16, QLatin1Char('0'));
        auto dialog = Open();
        for (int i = 0; i < addport::kInterfaceCount; ++i) {
            Click(dialog.get(), 2000 + i);
            Settle(i == kEthernet ? 700 : 50);
            if (i == kEthernet) {
                auto* found = ControlOf<QListWidget>(dialog.get(), 1018);
                ASSERT_TRUE(WaitFor([&] { return found->count() == 1; }));
                found->setCurrentRow(0);
                Settle();
            }
            SaveShot(dialog.get(), QStringLiteral("%1_%2").arg(lang, QLatin1String(names[i])));
        }
        for (const auto kind : {CToolProgressDlg::kPairing, CToolProgressDlg::kNetworkTool}) {
            CToolProgressDlg progress(kind, dialog.get());
            CLangResStore store;
            store.Open(QStringLiteral(QPU_SOURCE_DIR "/data/program/LANG/"), langId, 0x0409);
            store.LoadSections(QStringLiteral("PORT_ADD_DLG"));
            QString caption;
            QString label;
            store.GetString(kind == CToolProgressDlg::kPairing ? 1034 : 5019, caption);
            store.GetString(kind == CToolProgressDlg::kPairing ? 5018 : 5020, label);
            progress.SetTexts(caption, label);
            progress.show();
            Settle();
            SaveShot(&progress, QStringLiteral("progress_%1_%2").arg(int(kind)).arg(lang));
            progress.Finish();
        }
    }
    SUCCEED();
}
