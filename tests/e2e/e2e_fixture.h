#pragma once

// The world of one end-to-end test: a temporary root holding a copy of the staged program
// folder (program/), private settings folders (common/, user/), a run folder for the test
// hook's socket (run/), and the emulated printer on loopback.

#include "app/fixed_text.h"
#include "e2e_files.h"
#include "emulator_process.h"
#include "program_run.h"

#include <qpu/port_info.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace e2e {

class ProgramFixture : public ::testing::Test
{
protected:
    // The process and socket classes need an application object for their notifiers.
    static void SetUpTestSuite()
    {
        if (QCoreApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "qpu_e2e_test";
            static char* argv[] = {name, nullptr};
            static QCoreApplication app(argc, argv);
        }
    }

    // Copies the program folder and starts the printer with the given emulator options.
    void PrepareWorld(const std::vector<std::string>& printerOptions = {"--tcp", "127.0.0.1:0"})
    {
        ASSERT_TRUE(m_root.isValid());
        ASSERT_TRUE(CopyFolder(QStringLiteral(QPU_APP_DIR), ProgramFolder()));
        // The program of the copy is its test build, which honours the test hook.
        const QString program = ProgramFolder() + QStringLiteral("/qp60util");
        ASSERT_TRUE(QFile::remove(program));
        ASSERT_TRUE(QFile::copy(QStringLiteral(QPU_TEST_PROGRAM), program));
        QDir().mkpath(Path("run"));
        QFile::setPermissions(Path("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        ASSERT_TRUE(m_printer.start(printerOptions)) << m_printer.error();
    }

    QString Path(const QString& relative) const { return m_root.filePath(relative); }
    QString ProgramFolder() const { return Path("program"); }

    // The folders of this world (the user's configuration folder included), loopback-only
    // discovery, no printer scheduler (the
    // driver's printer queues are simply none), and a user with or without administrator
    // rights.
    QProcessEnvironment BaseEnvironment(bool administrator = true) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("QP60UTIL_COMMON_APPDATA", Path("common"));
        env.insert("QP60UTIL_USER_APPDATA", Path("user"));
        env.insert("XDG_RUNTIME_DIR", Path("run"));
        env.insert("XDG_CONFIG_HOME", Path("config"));
        env.insert("QPCOMM_DISCOVERY_ADDR", "127.0.0.1");
        env.insert("QPCOMM_DISCOVERY_MS", "200");
        env.insert("QPCOMM_NET_PORT", QString::number(m_printer.tcpPort()));
        env.insert("CUPS_SERVER", Path("run/no-cups.sock"));
        env.insert("QP60UTIL_TEST_IDENTITY", administrator
                                                 ? QStringLiteral("uid=1000;groups=users,lpadmin")
                                                 : QStringLiteral("uid=1000;groups=users"));
        return env;
    }

    // Starts the program of this world and waits for its test hook.
    std::unique_ptr<ProgramRun> RunProgram(const QStringList& arguments,
                                           const QProcessEnvironment& environment,
                                           const QString& hookName = QStringLiteral("hook"))
    {
        auto run = std::make_unique<ProgramRun>(ProgramFolder() + "/qp60util", environment,
                                                Path("run/" + hookName));
        EXPECT_TRUE(run->Start(arguments)) << run->StandardError().constData();
        return run;
    }

    // The communication library's port list with one Ethernet port of the emulated
    // printer, reached through the driver port driverPortPath.
    void WriteNetPortList(const QString& portName = QStringLiteral("127.0.0.1"),
                          const QString& driverPortPath = QStringLiteral("/dev/VSDPRT1"))
    {
        PortInfo port;
        std::memset(&port, 0, sizeof port);
        SetFixedText(port.interfaceKeyword, QStringLiteral("NET"));
        SetFixedText(port.portName, portName);
        SetFixedText(port.deviceName, QStringLiteral("QP-R60"));
        SetFixedText(port.driverPortPath, driverPortPath);
        port.reserved1 = -1;
        port.reserved2 = -1;
        QByteArray bytes("QPCPORTS");
        PutLe32(bytes, 1);
        PutLe32(bytes, 1);
        bytes.append(reinterpret_cast<const char*>(&port), sizeof port);
        ASSERT_TRUE(WriteFile(Path("common/VORKA/QPComm/ports.dat"), bytes));
    }

    // Waits (at most about ten seconds) until the printer read has ended (the main window
    // is enabled again) and the status strip shows the printer's model line; the strip's
    // texts by control ID.
    static QHash<int, QString> WaitForPrinterRead(ProgramRun& run, int frameId)
    {
        constexpr int kModelLineId = 1021;
        QHash<int, QString> fields;
        for (int attempt = 0; attempt < 100; ++attempt) {
            fields = run.State(frameId).value_or(QHash<int, QString>());
            if (fields.value(kModelLineId).contains("ESC/VRK") && fields.value(-1).isEmpty())
                break;
            QThread::msleep(100);
        }
        return fields;
    }

    QTemporaryDir m_root;
    qpr60test::EmulatorProcess m_printer;
};

} // namespace e2e
