// The printer selection dialog on the offscreen platform with the real libQPComm.so and
// emulated printers: a QP-R60 on a loopback address (NET) and on a pseudo-terminal
// (COM), a printer of another model, a silent printer, a port held by another process.
// Message boxes go through the dialog's message handler, which the test answers.

#include "printers/printer_select_dlg.h"

#include "app/fixed_text.h"
#include "comm/comm_lib_binding.h"
#include "emulator_process.h"
#include "lang/select_lang_dlg.h"
#include "pages/plugin_data_mgr.h"
#include "pages/printer_info_block.h"
#include "platform/activation_channel.h"
#include "platform/profile.h"
#include "printers/printer_spooler.h"
#include "screenshots.h"
#include "select_test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

using select_test::MakePort;

namespace {

const QString kShippedLangDir = QStringLiteral(QPU_SOURCE_DIR "/data/program/LANG");

// Everything the library reads from the environment is set once, before it is bound.
struct Printers
{
    QTemporaryDir root;
    CommLibBinding binding;
    qpr60test::EmulatorProcess good;   // QP-R60 on 127.0.0.1 and on a pty
    qpr60test::EmulatorProcess other;  // QP-R70 on 127.0.0.2
    qpr60test::EmulatorProcess silent; // QP-R60 on 127.0.0.3 that answers nothing
    QString devDir;
    QString portsFile;
    QString error;

    bool Start()
    {
        devDir = root.filePath(QStringLiteral("dev"));
        QDir().mkpath(devDir);
        QDir().mkpath(root.filePath(QStringLiteral("appdata")));
        QDir().mkpath(root.filePath(QStringLiteral("run")));
        qputenv("QP60UTIL_COMMON_APPDATA", root.filePath(QStringLiteral("appdata")).toUtf8());
        qputenv("QPCOMM_DEV_DIR", devDir.toUtf8());
        qputenv("XDG_RUNTIME_DIR", root.filePath(QStringLiteral("run")).toUtf8());
        qputenv("QPCOMM_DISCOVERY_ADDR", "127.0.0.1");
        qputenv("QPCOMM_TIMEOUT_MS", "400");
        // The printer chosen last is remembered in the user's application data.
        qputenv("QP60UTIL_USER_APPDATA", root.filePath(QStringLiteral("user")).toUtf8());
        portsFile = root.filePath(QStringLiteral("appdata/VORKA/QPComm/ports.dat"));

        const std::string pty = (devDir + QStringLiteral("/ttyQP0")).toStdString();
        if (!good.start({"--tcp", "127.0.0.1:0", "--pty", pty})) {
            error = QString::fromStdString(good.error());
            return false;
        }
        const std::string port = std::to_string(good.tcpPort());
        qputenv("QPCOMM_NET_PORT", QByteArray::fromStdString(port));
        if (!other.start({"--tcp", "127.0.0.2:" + port, "--model", "QP-R70"}) ||
            !silent.start({"--tcp", "127.0.0.3:" + port}) ||
            silent.control("silent on").rfind("OK", 0) != 0) {
            error = QStringLiteral("second printers did not start");
            return false;
        }
        if (binding.Bind(QLatin1String(kCommLibraryName), QStringLiteral(QPU_APP_DIR "/")) !=
            QPC_OK) {
            error = binding.ErrorString();
            return false;
        }
        return true;
    }
};

Printers* g_printers = nullptr;

class PrinterSelectDlgTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!g_printers) {
            g_printers = new Printers;
            if (!g_printers->Start()) {
                s_startError = g_printers->error;
            }
        }
    }
    static void TearDownTestSuite()
    {
        delete g_printers;
        g_printers = nullptr;
    }

    void SetUp() override
    {
        ASSERT_TRUE(s_startError.isEmpty()) << s_startError.toStdString();
        QFile::remove(g_printers->portsFile);
        QDir(g_printers->root.filePath(QStringLiteral("user"))).removeRecursively();
        ASSERT_TRUE(m_program.isValid());
        QFile::copy(QStringLiteral(QPU_SOURCE_DIR "/data/program/SETTING.INI"),
                    m_program.filePath(QStringLiteral("SETTING.INI")));
        QFile::setPermissions(m_program.filePath(QStringLiteral("SETTING.INI")),
                              QFile::ReadOwner | QFile::WriteOwner);
        std::memset(&m_state, 0, sizeof m_state);
        SetLanguage(0x0409);
        SetFixedText(m_state.languageFolder, kShippedLangDir);
        SetFixedText(m_state.programFolder, m_program.path() + QLatin1Char('/'));
        SetFixedText(m_state.settingsFolder, m_program.path());
        m_state.hostCode = 203;
        m_state.dataMgr = &m_dataMgr;
    }

    void TearDown() override
    {
        if (g_printers) {
            QpcCall(Lib(), &CommLibTable::Close);
        }
    }

    static CommLibTable* Lib() { return g_printers->binding.Table(); }

    void SetLanguage(int id)
    {
        m_state.languageId = id;
        SetFixedText(m_state.languageIdText, lang::FormatLanguageId(id));
    }

    void Register(const PortInfo& port)
    {
        PortInfo copy = port;
        ASSERT_EQ(QpcCall(Lib(), &CommLibTable::AddPort, &copy), QPC_OK);
    }
    static int LibraryPortCount()
    {
        uint32_t count = 0;
        QpcCall(Lib(), &CommLibTable::EnumPort, nullptr, 0u, &count);
        return static_cast<int>(count);
    }

    // A dialog on the test's state and the real library, with answered message boxes.
    std::unique_ptr<CPrinterSelectDlg> MakeDialog()
    {
        auto dialog = std::make_unique<CPrinterSelectDlg>();
        dialog->SetState(m_state);
        dialog->SetCommLib(Lib());
        dialog->SetSpooler(std::make_unique<FixedPrinterSpooler>());
        dialog->SetMessageHandler(
            [this](QWidget*, CPrinterSelectDlg::MessageKind kind, const QString& text) {
                m_messages << text;
                return kind == CPrinterSelectDlg::MessageKind::Question && m_answerYes;
            });
        dialog->SetAddPortRunner([](QWidget*, const AppState&, CommLibTable*,
                                    const CLangResStore&) { return std::optional<PortInfo>(); });
        return dialog;
    }

    static QPushButton* Button(const CPrinterSelectDlg& dialog, int id)
    {
        for (QPushButton* button :
             dialog.findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (button->property("controlId").toInt() == id) {
                return button;
            }
        }
        return nullptr;
    }
    static QStringList Row(const CPrinterSelectDlg& dialog, int row)
    {
        const QTreeWidgetItem* item = dialog.PrinterList()->topLevelItem(row);
        return item ? QStringList{item->text(0), item->text(1), item->text(2)} : QStringList{};
    }
    static void Choose(CPrinterSelectDlg& dialog, int row)
    {
        dialog.PrinterList()->setCurrentItem(dialog.PrinterList()->topLevelItem(row));
    }
    static void ClickOk(CPrinterSelectDlg& dialog)
    {
        Button(dialog, CPrinterSelectDlg::kOkId)->click();
    }

    static QString s_startError;
    QTemporaryDir m_program;
    PluginDataMgr m_dataMgr;
    AppState m_state;
    QStringList m_messages;
    bool m_answerYes = true;
};

QString PrinterSelectDlgTest::s_startError;

const QString kNet1 = QStringLiteral("127.0.0.1");
const QString kWrongModelText = QStringLiteral("The connected printer is not QP-R60.");
const QString kNoAnswerText = QStringLiteral("Cannot communicate with the printer.");
const QString kInUseText =
    QStringLiteral("Cannot launch the printer because it is in use by another application.");

TEST_F(PrinterSelectDlgTest, ListsTheNetAndSerialPrintersAndAcceptsTheQpR60)
{
    Register(MakePort(QStringLiteral("NET"), kNet1));
    Register(MakePort(QStringLiteral("COM"), QStringLiteral("ttyQP0")));
    Register(
        MakePort(QStringLiteral("NET"), QStringLiteral("127.0.0.9"), QStringLiteral("qp-r60")));
    auto dialog = MakeDialog();
    dialog->show();
    ASSERT_EQ(dialog->PrinterList()->topLevelItemCount(), 2);
    EXPECT_EQ(Row(*dialog, 0),
              QStringList({QStringLiteral("QP-R60"), QStringLiteral("NET"), kNet1}));
    EXPECT_EQ(Row(*dialog, 1), QStringList({QStringLiteral("QP-R60"), QStringLiteral("Serial"),
                                            QStringLiteral("ttyQP0")}));
    EXPECT_EQ(dialog->PrinterList()->headerItem()->text(1), u"Interface");
    EXPECT_EQ(dialog->windowTitle(), u"QP-R60 Utility");
    EXPECT_EQ(dialog->SelectedRow(), 0);
    EXPECT_TRUE(Button(*dialog, CPrinterSelectDlg::kOkId)->isEnabled());
    EXPECT_TRUE(Button(*dialog, CPrinterSelectDlg::kDeletePortId)->isEnabled());

    ClickOk(*dialog);
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join(u'|').toStdString();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->LastTestResult(), QPC_OK);
    EXPECT_EQ(FixedText(dialog->State().portInfo.portName), kNet1);
    EXPECT_EQ(FixedText(dialog->State().portInfo.deviceName), u"QP-R60");
    EXPECT_EQ(dialog->State().portType, 4);
    EXPECT_EQ(platform::GetPrivateProfileString(QStringLiteral("LANGUAGE"),
                                                QStringLiteral("LANGID"), QString(),
                                                m_program.filePath(QStringLiteral("SETTING.INI"))),
              u"0409");
    QpcCall(Lib(), &CommLibTable::Close);

    // The printer on the pseudo-terminal, by a double click on its row.
    auto serial = MakeDialog();
    serial->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(serial.get()));
    QTreeWidget* list = serial->PrinterList();
    const QRect rect = list->visualItemRect(list->topLevelItem(1));
    ASSERT_TRUE(rect.isValid());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join(u'|').toStdString();
    EXPECT_EQ(serial->result(), QDialog::Accepted);
    EXPECT_EQ(FixedText(serial->State().portInfo.portName), u"ttyQP0");
    EXPECT_EQ(serial->State().portType, 1);
}

TEST_F(PrinterSelectDlgTest, RefusesAnotherModelAndStaysOpen)
{
    Register(MakePort(QStringLiteral("NET"), QStringLiteral("127.0.0.2")));
    auto dialog = MakeDialog();
    dialog->show();
    ClickOk(*dialog);
    EXPECT_EQ(m_messages, QStringList{kWrongModelText});
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->LastTestResult(), QPC_OK);
    EXPECT_EQ(FixedText(dialog->State().portInfo.portName), u"");
}

TEST_F(PrinterSelectDlgTest, SilentPrinterIsAcceptedOnlyWithSavedSettings)
{
    const QString silent = QStringLiteral("127.0.0.3");
    Register(MakePort(QStringLiteral("NET"), silent));
    auto dialog = MakeDialog();
    dialog->show();
    ClickOk(*dialog);
    EXPECT_EQ(m_messages, QStringList{kNoAnswerText});
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_NE(dialog->LastTestResult(), QPC_OK);

    // Registered but its settings file is missing: still refused.
    m_dataMgr.Registry().Add(m_program.path(), QStringLiteral("QP-R60"), silent);
    m_messages.clear();
    ClickOk(*dialog);
    EXPECT_EQ(m_messages, QStringList{kNoAnswerText});
    EXPECT_TRUE(dialog->isVisible());

    const QString path = m_dataMgr.Registry().SettingsPathOf(QStringLiteral("QP-R60"), silent);
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    m_messages.clear();
    ClickOk(*dialog);
    EXPECT_EQ(m_messages, QStringList{kNoAnswerText});
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(FixedText(dialog->State().portInfo.portName), silent);
}

TEST_F(PrinterSelectDlgTest, PortHeldByAnotherProcessGivesMessageFour)
{
    Register(MakePort(QStringLiteral("NET"), kNet1));
    QProcess holder;
    holder.start(QStringLiteral(PORT_HOLDER),
                 {QStringLiteral(QPU_APP_DIR "/libQPComm.so"), QStringLiteral("NET"), kNet1});
    ASSERT_TRUE(holder.waitForStarted(5000));
    // The holder tells its open result once it holds the port.
    QByteArray line;
    for (int i = 0; i < 100 && !line.contains('\n'); ++i) {
        holder.waitForReadyRead(100);
        line += holder.readAllStandardOutput();
    }
    ASSERT_EQ(line.trimmed(), "00000000") << "the other process did not take the port";

    auto dialog = MakeDialog();
    dialog->show();
    ClickOk(*dialog);
    EXPECT_EQ(m_messages, QStringList{kInUseText});
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->LastTestResult(), QPC_ERR_PORT_IN_USE);
    holder.closeWriteChannel(); // the end of its input ends the holder
    ASSERT_TRUE(holder.waitForFinished(5000));

    m_messages.clear();
    ClickOk(*dialog);
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join(u'|').toStdString();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
}

TEST_F(PrinterSelectDlgTest, DeletePortAsksAndRemovesThePort)
{
    Register(MakePort(QStringLiteral("NET"), kNet1));
    Register(MakePort(QStringLiteral("COM"), QStringLiteral("ttyQP0")));
    auto dialog = MakeDialog();
    dialog->show();
    Choose(*dialog, 1);
    m_answerYes = false;
    Button(*dialog, CPrinterSelectDlg::kDeletePortId)->click();
    EXPECT_EQ(m_messages,
              QStringList{QStringLiteral("Do you really want to delete the selected port?")});
    EXPECT_EQ(dialog->PrinterList()->topLevelItemCount(), 2);
    EXPECT_EQ(LibraryPortCount(), 2);

    m_answerYes = true;
    Button(*dialog, CPrinterSelectDlg::kDeletePortId)->click();
    ASSERT_EQ(dialog->PrinterList()->topLevelItemCount(), 1);
    EXPECT_EQ(Row(*dialog, 0).value(2), kNet1);
    EXPECT_EQ(LibraryPortCount(), 1);
    EXPECT_EQ(dialog->SelectedRow(), 0);

    Button(*dialog, CPrinterSelectDlg::kDeletePortId)->click();
    EXPECT_EQ(dialog->PrinterList()->topLevelItemCount(), 0);
    EXPECT_EQ(LibraryPortCount(), 0);
    EXPECT_FALSE(Button(*dialog, CPrinterSelectDlg::kOkId)->isEnabled());
    EXPECT_FALSE(Button(*dialog, CPrinterSelectDlg::kDeletePortId)->isEnabled());
}

TEST_F(PrinterSelectDlgTest, EmptyListDisablesOkAndAddPortSelectsTheNewRow)
{
    Register(MakePort(QStringLiteral("COM"), QStringLiteral("ttyQP0")));
    Register(
        MakePort(QStringLiteral("NET"), QStringLiteral("127.0.0.9"), QStringLiteral("QP-R70")));
    auto dialog = MakeDialog();
    int runs = 0;
    std::optional<PortInfo> answer;
    int addPortLanguage = 0;
    dialog->SetAddPortRunner(
        [&](QWidget* parent, const AppState& state, CommLibTable* lib, const CLangResStore& texts) {
            ++runs;
            EXPECT_EQ(parent, dialog.get());
            EXPECT_EQ(lib, Lib());
            EXPECT_EQ(state.languageId, 0x0409);
            addPortLanguage = texts.LanguageId();
            return answer;
        });
    dialog->show();
    EXPECT_EQ(dialog->PrinterList()->topLevelItemCount(), 1);
    QFile::remove(g_printers->portsFile);
    dialog->PrinterList()->clearSelection();
    EXPECT_FALSE(Button(*dialog, CPrinterSelectDlg::kOkId)->isEnabled());

    // Cancelled, or a record without an interface: nothing is added.
    Button(*dialog, CPrinterSelectDlg::kAddPortId)->click();
    answer = MakePort(QString(), kNet1);
    Button(*dialog, CPrinterSelectDlg::kAddPortId)->click();
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(addPortLanguage, 0x0409);
    EXPECT_EQ(LibraryPortCount(), 0);

    answer = MakePort(QStringLiteral("COM"), QStringLiteral("ttyQP0"));
    Button(*dialog, CPrinterSelectDlg::kAddPortId)->click();
    answer = MakePort(QStringLiteral("NET"), kNet1);
    Button(*dialog, CPrinterSelectDlg::kAddPortId)->click();
    ASSERT_EQ(dialog->PrinterList()->topLevelItemCount(), 2);
    EXPECT_EQ(dialog->SelectedRow(), 1);
    EXPECT_EQ(Row(*dialog, 1).value(2), kNet1);
    EXPECT_TRUE(Button(*dialog, CPrinterSelectDlg::kOkId)->isEnabled());
}

TEST_F(PrinterSelectDlgTest, NoLibraryNoRows)
{
    Register(MakePort(QStringLiteral("NET"), kNet1));
    auto dialog = MakeDialog();
    dialog->SetCommLib(nullptr);
    dialog->show();
    EXPECT_EQ(dialog->PrinterList()->topLevelItemCount(), 0);
    EXPECT_FALSE(Button(*dialog, CPrinterSelectDlg::kOkId)->isEnabled());
    EXPECT_FALSE(Button(*dialog, CPrinterSelectDlg::kDeletePortId)->isEnabled());
    // Enter with nothing selected asks for a printer.
    QTest::keyClick(dialog.get(), Qt::Key_Return);
    Button(*dialog, CPrinterSelectDlg::kOkId)->setEnabled(true);
    Button(*dialog, CPrinterSelectDlg::kOkId)->click();
    EXPECT_EQ(m_messages,
              QStringList{QStringLiteral("Please select the printer you want to setup.")});
}

TEST_F(PrinterSelectDlgTest, DoubleClickOnTheEmptyAreaDoesNothing)
{
    Register(MakePort(QStringLiteral("NET"), kNet1));
    auto dialog = MakeDialog();
    dialog->resize(640, 420);
    dialog->show();
    QTreeWidget* list = dialog->PrinterList();
    const QPoint empty(10, list->viewport()->height() - 5);
    ASSERT_EQ(list->itemAt(empty), nullptr);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, empty);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(m_messages.isEmpty());
    EXPECT_EQ(dialog->LastTestResult(), QPC_ERR_NOT_BOUND); // no test ran
}

TEST_F(PrinterSelectDlgTest, WithoutLanguageFilesTheDialogEndsAsCancel)
{
    QTemporaryDir empty;
    SetFixedText(m_state.languageFolder, empty.path());
    auto dialog = MakeDialog();
    EXPECT_EQ(dialog->exec(), QDialog::Rejected);
    EXPECT_EQ(m_messages, QStringList{QStringLiteral(
                              "Could not find the required files.\nClosing application.")});
}

TEST_F(PrinterSelectDlgTest, OnlyEnglishFileShowsTheNoticeAndSwitchesToEnglish)
{
    QTemporaryDir lang;
    QFile::copy(kShippedLangDir + QStringLiteral("/0409.DAT"),
                lang.filePath(QStringLiteral("0409.DAT")));
    SetFixedText(m_state.languageFolder, lang.path());
    SetLanguage(0x0411);
    auto dialog = MakeDialog();
    dialog->show();
    EXPECT_EQ(m_messages,
              QStringList{QStringLiteral(
                  "Could not find the required files.\nDisplaying the screen in English.")});
    EXPECT_EQ(dialog->State().languageId, 0x0409);
    EXPECT_EQ(FixedText(dialog->State().languageIdText), u"0409");
    EXPECT_EQ(Button(*dialog, CPrinterSelectDlg::kDeletePortId)->text(), u"Delete Port");
}

TEST_F(PrinterSelectDlgTest, CancelAfterChangingTheLanguageSavesIt)
{
    Register(MakePort(QStringLiteral("NET"), kNet1));
    auto dialog = MakeDialog();
    dialog->show();
    QLabel* label = nullptr;
    for (QLabel* l : dialog->findChildren<QLabel*>()) {
        if (l->property("controlId").toInt() == CPrinterSelectDlg::kLanguageLabelId) {
            label = l;
        }
    }
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), u"Select: English");

    QTimer::singleShot(0, dialog.get(), [&] {
        CSelectLangDlg* chooser = dialog->LanguageDialog();
        auto* combo = chooser->findChild<QComboBox*>();
        combo->setCurrentIndex(combo->findData(0x0411));
        chooser->accept();
    });
    Button(*dialog, CPrinterSelectDlg::kSelectLanguageId)->click();
    EXPECT_EQ(dialog->State().languageId, 0x0411);
    EXPECT_EQ(label->text(), QStringLiteral("選択: 日本語"));
    EXPECT_EQ(Button(*dialog, CPrinterSelectDlg::kDeletePortId)->text(),
              QStringLiteral("ポートの削除"));
    EXPECT_EQ(Row(*dialog, 0).value(1), QStringLiteral("ネットワーク"));

    Button(*dialog, CPrinterSelectDlg::kCancelId)->click();
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(platform::GetPrivateProfileString(QStringLiteral("LANGUAGE"),
                                                QStringLiteral("LANGID"), QString(),
                                                m_program.filePath(QStringLiteral("SETTING.INI"))),
              u"0411");
}

TEST_F(PrinterSelectDlgTest, DriverModeListsQueuesAndClosesAtOnce)
{
    Register(MakePort(QStringLiteral("NET"), QStringLiteral("127.0.0.3"), QStringLiteral("QP-R60"),
                      QStringLiteral("socket://printer/VSDPRT1")));
    auto dialog = MakeDialog();
    dialog->SetDriverNameFilter(QStringLiteral("VORKA QP-R60 Receipt"));
    dialog->SetSpooler(std::make_unique<FixedPrinterSpooler>(QList<SpoolerPrinter>{
        {QStringLiteral("Shop"), QStringLiteral("VSDPRT1"),
         QStringLiteral("VORKA QP-R60 Receipt5")},
        {QStringLiteral("New"), QStringLiteral("VSDPRT2"), QStringLiteral("VORKA QP-R60 Receipt5")},
        {QStringLiteral("Plain"), QStringLiteral("VSDPRT3"),
         QStringLiteral("VORKA QP-R60 Receipt")}}));
    dialog->show();
    ASSERT_EQ(dialog->PrinterList()->topLevelItemCount(), 2);
    EXPECT_EQ(Row(*dialog, 0), QStringList({QStringLiteral("Shop"), QStringLiteral("NET"),
                                            QStringLiteral("127.0.0.3")}));
    EXPECT_EQ(Row(*dialog, 1),
              QStringList({QStringLiteral("New"), QString(), QStringLiteral("VSDPRT2")}));

    ClickOk(*dialog); // the silent printer: closed with OK, then the message
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(m_messages, QStringList{kNoAnswerText});
    EXPECT_EQ(dialog->ChosenDriverPrinterName(), QStringLiteral("Shop"));
    EXPECT_EQ(dialog->State().portType, 4);
}

TEST_F(PrinterSelectDlgTest, SecondCopyBringsTheDialogToTheFront)
{
    auto dialog = MakeDialog();
    dialog->show();
    // Polled by this thread while the asker sets it.
    std::atomic<bool> confirmed{false};
    std::thread asker([&] { confirmed = platform::RequestActivation(); });
    QTRY_VERIFY_WITH_TIMEOUT(confirmed.load(), 3000);
    asker.join();
    EXPECT_TRUE(confirmed.load());
    dialog->hide();
    EXPECT_FALSE(
        platform::RequestActivation(QString::fromLatin1(platform::kActivationChannelName), 300));
}

TEST_F(PrinterSelectDlgTest, MessagesAreWarningBoxesOfTheUtility)
{
    Register(MakePort(QStringLiteral("NET"), QStringLiteral("127.0.0.2")));
    CPrinterSelectDlg dialog; // the default message boxes
    dialog.SetState(m_state);
    dialog.SetCommLib(Lib());
    dialog.show();
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer::singleShot(0, &dialog, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        box->button(QMessageBox::Ok)->click();
    });
    Button(dialog, CPrinterSelectDlg::kOkId)->click();
    EXPECT_EQ(title, u"QP-R60 Utility");
    EXPECT_EQ(text, kWrongModelText);
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_TRUE(dialog.isVisible());
}

// A saved copy of a registered printer's settings whose identity block names a serial number.
void SaveCopyWithSerial(PluginDataMgr& dataMgr, const QString& folder, const QString& portName,
                        const QString& serial)
{
    dataMgr.Registry().Add(folder, QStringLiteral("QP-R60"), portName);
    PluginDataMgr copy;
    ASSERT_EQ(RegisterPrinterInfoBlock(copy), 0);
    PrinterInfoBlock block = DefaultPrinterInfoBlock();
    SetText(block, PrinterInfoText::SerialNumber, serial);
    ASSERT_EQ(WritePrinterInfoBlock(copy, block), 0);
    copy.SetSaveEnabled(1);
    const QString path = dataMgr.Registry().SettingsPathOf(QStringLiteral("QP-R60"), portName);
    ASSERT_EQ(copy.SaveSettingsFile(path, QByteArrayLiteral("QP-R60"), 1, 2), 1);
}

TEST_F(PrinterSelectDlgTest, RowsShowTheSerialNumberOfTheSavedCopy)
{
    Register(MakePort(QStringLiteral("NET"), kNet1));
    Register(MakePort(QStringLiteral("COM"), QStringLiteral("ttyQP0")));
    SaveCopyWithSerial(m_dataMgr, m_program.path(), QStringLiteral("ttyQP0"),
                       QStringLiteral("QPR6000042"));
    auto dialog = MakeDialog();
    dialog->show();
    ASSERT_EQ(dialog->PrinterList()->topLevelItemCount(), 2);
    QStringList texts;
    for (int column = 0; column < dialog->PrinterList()->columnCount(); ++column)
        texts << dialog->PrinterList()->topLevelItem(1)->text(column);
    EXPECT_TRUE(texts.join(u'|').contains(QLatin1String("QPR6000042")))
        << texts.join(u'|').toStdString();
    // A printer without a saved copy shows no serial number.
    texts.clear();
    for (int column = 0; column < dialog->PrinterList()->columnCount(); ++column)
        texts << dialog->PrinterList()->topLevelItem(0)->text(column);
    EXPECT_FALSE(texts.join(u'|').contains(QLatin1String("QPR")));
}

TEST_F(PrinterSelectDlgTest, TheLastChosenPrinterIsSelectedNextTime)
{
    Register(MakePort(QStringLiteral("NET"), kNet1));
    Register(MakePort(QStringLiteral("COM"), QStringLiteral("ttyQP0")));
    auto first = MakeDialog();
    first->show();
    EXPECT_EQ(first->SelectedRow(), 0);
    Choose(*first, 1);
    ClickOk(*first);
    ASSERT_EQ(first->result(), QDialog::Accepted) << m_messages.join(u'|').toStdString();
    QpcCall(Lib(), &CommLibTable::Close);

    auto second = MakeDialog();
    second->show();
    EXPECT_EQ(second->SelectedRow(), 1);
    EXPECT_EQ(Row(*second, second->SelectedRow()).value(2), u"ttyQP0");
}

TEST_F(PrinterSelectDlgTest, Screenshots)
{
    Register(MakePort(QStringLiteral("NET"), kNet1));
    Register(MakePort(QStringLiteral("COM"), QStringLiteral("ttyQP0")));
    Register(MakePort(QStringLiteral("USB"), QStringLiteral("lp0")));
    Register(MakePort(QStringLiteral("BT"), QStringLiteral("rfcomm0")));
    for (const auto& [id, name] :
         {std::pair{0x0409, "en"}, std::pair{0x0407, "de"}, std::pair{0x0411, "ja"}}) {
        SetLanguage(id);
        auto dialog = MakeDialog();
        dialog->show();
        QTest::qWait(50);
        // Rows are a fifth taller than a line of the list's font needs.
        QTreeWidget* list = dialog->PrinterList();
        EXPECT_GE(list->visualItemRect(list->topLevelItem(0)).height(),
                  list->fontMetrics().height() * 6 / 5);
        if (const QString folder = ScreenshotFolder(); !folder.isEmpty()) {
            const QString path =
                folder + QStringLiteral("printer_select_%1.png").arg(QLatin1String(name));
            EXPECT_TRUE(dialog->grab().save(path)) << path.toStdString();
        }
        EXPECT_TRUE(m_messages.isEmpty());
    }
}

} // namespace
