// qp60ctl against emulated printers on loopback: a batch with a silent, a garbage-answering
// and another model's printer, set and get, backup and restore, diff, the port commands,
// discovery, status --watch and a printer on a pseudo-terminal.
#include "ctl_process.h"

#include "emulator_process.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <signal.h>

#include <memory>

namespace {

using ctltest::CtlRun;
using ctltest::RunCtl;

class CtlOverEmulators : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_env.insert("QP60UTIL_COMMON_APPDATA", m_dir.filePath("appdata"));
        m_env.insert("XDG_RUNTIME_DIR", m_dir.path());
        m_env.insert("QPCOMM_DISCOVERY_ADDR", "127.0.0.1");
    }

    // Starts a printer; its name on the command line is "net:127.0.0.1:PORT".
    qpr60test::EmulatorProcess& AddPrinter(std::vector<std::string> extra = {})
    {
        auto& printer = *m_printers.emplace_back(std::make_unique<qpr60test::EmulatorProcess>());
        std::vector<std::string> args{"--tcp", "127.0.0.1:0", "--restart-ms", "100"};
        args.insert(args.end(), extra.begin(), extra.end());
        EXPECT_TRUE(printer.start(args)) << printer.error();
        return printer;
    }
    static QString Name(const qpr60test::EmulatorProcess& printer)
    {
        return QStringLiteral("net:127.0.0.1:%1").arg(printer.tcpPort());
    }
    CtlRun Ctl(const QStringList& arguments) { return RunCtl(arguments, m_env); }
    // The JSON lines of a run, by printer.
    static QMap<QString, QJsonObject> ByPrinter(const CtlRun& run)
    {
        QMap<QString, QJsonObject> results;
        for (const QString& line : run.OutLines()) {
            const QJsonObject object = QJsonDocument::fromJson(line.toUtf8()).object();
            results.insert(object.value("printer").toString(), object);
        }
        return results;
    }
    static QString Code(const QJsonObject& result)
    {
        return result.value("error").toObject().value("code").toString();
    }
    QString Path(const QString& name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    QProcessEnvironment m_env;
    std::vector<std::unique_ptr<qpr60test::EmulatorProcess>> m_printers;
};

TEST_F(CtlOverEmulators, SilentGarbageAndOtherModelFailAloneWithTheirCauses)
{
    for (int i = 0; i < 3; ++i)
        AddPrinter();
    auto& silent = AddPrinter();
    auto& garbage = AddPrinter();
    auto& other = AddPrinter();
    silent.control("silent on");
    garbage.control("garbage on");
    other.control("model QP-R61");
    QStringList names;
    for (const auto& printer : m_printers)
        names.append(Name(*printer));

    for (const QString& command : {QStringLiteral("info"), QStringLiteral("set")}) {
        QStringList arguments{command, "--json", "--timeout", "500"};
        arguments += names;
        if (command == QLatin1String("set"))
            arguments.append("density=110");
        const CtlRun run = Ctl(arguments);
        ASSERT_EQ(run.status, 1) << qPrintable(run.err);
        const auto results = ByPrinter(run);
        ASSERT_EQ(results.size(), 6) << qPrintable(run.out);
        for (int i = 0; i < 3; ++i) {
            const QJsonObject good = results.value(names[i]);
            EXPECT_TRUE(good.value("ok").toBool())
                << qPrintable(command) << " " << qPrintable(run.out);
            EXPECT_EQ(good.value("serial").toString(), "QPR6000001");
        }
        EXPECT_EQ(Code(results.value(Name(silent))), "timeout");
        EXPECT_EQ(Code(results.value(Name(garbage))), "bad-answer");
        EXPECT_EQ(Code(results.value(Name(other))), "wrong-model");
        EXPECT_TRUE(results.value(Name(other))
                        .value("error")
                        .toObject()
                        .value("text")
                        .toString()
                        .contains("QP-R61"));
        EXPECT_TRUE(run.err.isEmpty()) << "--json prints no decoration: " << qPrintable(run.err);
    }
    EXPECT_EQ(m_printers[0]->control("custom 5"), "OK 110");
    EXPECT_EQ(other.control("custom 5"), "OK 100") << "another model's printer is not written";

    // Without --json: the results, and each failure in words on standard error.
    QStringList arguments{"info", "--timeout", "500"};
    const CtlRun text = Ctl(arguments + names);
    EXPECT_EQ(text.status, 1);
    EXPECT_TRUE(text.out.contains("South Asia"));
    EXPECT_TRUE(text.err.contains(Name(silent) + ": The printer did not answer in time."))
        << qPrintable(text.err);
    EXPECT_TRUE(text.err.contains(Name(other) + ": The printer is a 'QP-R61', not a QP-R60."));
}

TEST_F(CtlOverEmulators, ADeadlineStopsAJobThatTakesTooLong)
{
    auto& fast = AddPrinter();
    auto& slow = AddPrinter();
    slow.control("slow 400");
    const CtlRun run =
        Ctl({"info", Name(fast), Name(slow), "--json", "--deadline", "300", "--timeout", "2000"});
    EXPECT_EQ(run.status, 1);
    const auto results = ByPrinter(run);
    EXPECT_TRUE(results.value(Name(fast)).value("ok").toBool()) << qPrintable(run.out);
    EXPECT_EQ(Code(results.value(Name(slow))), "timeout");
}

TEST_F(CtlOverEmulators, SetWritesOnlyDifferencesAndGetReadsThemBack)
{
    auto& printer = AddPrinter();
    const QString name = Name(printer);
    CtlRun run =
        Ctl({"set", name, "density=120", "speed=7", "memsw2.bit3=1", "custom40=513", "--json"});
    ASSERT_EQ(run.status, 0) << qPrintable(run.out + run.err);
    QJsonObject result = ByPrinter(run).value(name);
    EXPECT_TRUE(result.value("changed").toBool());
    EXPECT_EQ(result.value("values").toObject().value("memsw2.bit3").toInt(), 1);
    EXPECT_EQ(printer.control("custom 5"), "OK 120");
    EXPECT_EQ(printer.control("custom 6"), "OK 7");
    EXPECT_EQ(printer.control("custom 40"), "OK 513");
    EXPECT_EQ(printer.control("memsw 2"), "OK 00100000");

    // The same again: nothing differs, so the user-setting mode is not entered.
    printer.control("log clear");
    run = Ctl({"set", "--json", name, "density=120", "memsw2.bit3=1"});
    ASSERT_EQ(run.status, 0);
    EXPECT_FALSE(ByPrinter(run).value(name).value("changed").toBool());
    EXPECT_EQ(qpr60test::hexText(printer.receivedBytes()).find("1D 28 45 03 00 01 49 4E"),
              std::string::npos);

    run = Ctl({"get", name, "density", "speed", "memsw2", "memsw2.bit3", "custom40"});
    ASSERT_EQ(run.status, 0) << qPrintable(run.err);
    EXPECT_EQ(run.OutLines(), QStringList({"density=120", "speed=7", "memsw2=00100000",
                                           "memsw2.bit3=1", "custom40=513"}));

    // A value the page does not offer is refused before any printer is asked.
    printer.control("log clear");
    run = Ctl({"set", name, "density=72"});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.err.contains("density must be one of 70 75"));
    EXPECT_TRUE(printer.receivedBytes().empty());
}

TEST_F(CtlOverEmulators, RestoreOfABackupGivesByteIdenticalSettings)
{
    const std::string state = Path("state.txt").toStdString();
    auto& printer = AddPrinter({"--state", state});
    const QString name = Name(printer);
    printer.control("custom 5 90");
    printer.control("custom 200 4242");
    printer.control("memsw 7 10100001");
    QFile stateFile(QString::fromStdString(state));
    ASSERT_TRUE(stateFile.open(QIODevice::ReadOnly));
    const QByteArray before = stateFile.readAll();
    stateFile.close();

    const QString backup = Path("one.bak");
    CtlRun run = Ctl({"backup", name, backup});
    ASSERT_EQ(run.status, 0) << qPrintable(run.err);
    run = Ctl({"set", name, "density=130", "memsw7=00000000", "custom200=1"});
    ASSERT_EQ(run.status, 0) << qPrintable(run.err);
    run = Ctl({"diff", name, backup, "--json"});
    ASSERT_EQ(run.status, 0) << qPrintable(run.err);
    const QJsonObject diff = ByPrinter(run).value(name);
    EXPECT_FALSE(diff.value("identical").toBool());
    EXPECT_EQ(diff.value("differences").toArray().size(), 3) << qPrintable(run.out);

    run = Ctl({"restore", name, backup});
    ASSERT_EQ(run.status, 0) << qPrintable(run.err);
    ASSERT_TRUE(stateFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(stateFile.readAll(), before);
    run = Ctl({"diff", name, backup});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.out.contains("identical")) << qPrintable(run.out);
}

TEST_F(CtlOverEmulators, BackupsOfSeveralPrintersAreNamedBySerialNumber)
{
    auto& a = AddPrinter();
    auto& b = AddPrinter();
    auto& twin = AddPrinter();
    a.control("serial SER-A");
    b.control("serial SER/B");
    twin.control("serial SER-A");
    a.control("custom 5 75");
    const QString folder = Path("fleet");
    CtlRun run = Ctl({"backup", Name(a), Name(b), Name(twin), folder, "--json", "--jobs", "1"});
    EXPECT_EQ(run.status, 1);
    const auto results = ByPrinter(run);
    EXPECT_EQ(results.value(Name(a)).value("file").toString(), QDir(folder).filePath("SER-A.bak"));
    EXPECT_EQ(results.value(Name(b)).value("file").toString(), QDir(folder).filePath("SER_B.bak"));
    EXPECT_EQ(Code(results.value(Name(twin))), "file");
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden),
              QStringList({"SER-A.bak", "SER_B.bak"}))
        << "no temporary file is left behind";

    // Restore from the folder: each printer finds its own file.
    a.control("custom 5 130");
    run = Ctl({"restore", Name(a), Name(b), folder});
    EXPECT_EQ(run.status, 0) << qPrintable(run.err);
    EXPECT_EQ(a.control("custom 5"), "OK 75");
    // Several printers need a folder.
    run = Ctl({"restore", Name(a), Name(b), QDir(folder).filePath("SER-A.bak")});
    EXPECT_EQ(run.status, 2);
}

TEST_F(CtlOverEmulators, RestoreRefusesAnotherModelsBackupAndABrokenFile)
{
    auto& printer = AddPrinter();
    const QString name = Name(printer);
    const QString backup = Path("p.bak");
    ASSERT_EQ(Ctl({"backup", name, backup}).status, 0);
    QFile file(backup);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray text = file.readAll();
    file.close();
    ASSERT_TRUE(text.contains("model=QP-R60\n"));
    printer.control("custom 5 70");

    const struct
    {
        QByteArray contents;
        const char* code;
    } cases[] = {
        {QByteArray(text).replace("model=QP-R60\n", "model=QP-R61\n"), "wrong-model"},
        {QByteArray(text).replace("custom 5=100", "custom 5=banana"), "bad-backup"},
        {QByteArray("QPR60-BACKUP 1\nmodel=QP-R60\n"), "bad-backup"},
    };
    for (const auto& c : cases) {
        QFile edited(Path("edited.bak"));
        ASSERT_TRUE(edited.open(QIODevice::WriteOnly | QIODevice::Truncate));
        edited.write(c.contents);
        edited.close();
        const CtlRun run = Ctl({"restore", name, Path("edited.bak"), "--json"});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(Code(ByPrinter(run).value(name)), c.code) << qPrintable(run.out);
        EXPECT_EQ(printer.control("custom 5"), "OK 70") << "nothing was written";
    }
}

TEST_F(CtlOverEmulators, PortsAreRegisteredUsedByNameAndRemoved)
{
    auto& first = AddPrinter();
    auto& second = AddPrinter();
    const QString address1 = QStringLiteral("127.0.0.1:%1").arg(first.tcpPort());
    const QString address2 = QStringLiteral("127.0.0.1:%1").arg(second.tcpPort());
    ASSERT_EQ(Ctl({"add-port", "net", address1}).status, 0);
    ASSERT_EQ(Ctl({"add-port", "net", address2, "--json"}).status, 0);
    CtlRun run = Ctl({"ports", "--json"});
    ASSERT_EQ(run.status, 0);
    ASSERT_EQ(run.OutLines().size(), 2) << qPrintable(run.out);
    EXPECT_EQ(
        QJsonDocument::fromJson(run.OutLines()[0].toUtf8()).object().value("model").toString(),
        "QP-R60");

    run = Ctl({"get", address1, "speed"});
    EXPECT_EQ(run.status, 0) << qPrintable(run.err);
    EXPECT_EQ(run.out, "speed=3\n");
    run = Ctl({"info", "--all", "--json"});
    EXPECT_EQ(run.status, 0);
    QStringList both{address1, address2};
    both.sort();
    EXPECT_EQ(ByPrinter(run).keys(), both);
    // A printer named twice is asked once.
    run = Ctl({"info", address1, address1, "--json"});
    EXPECT_EQ(run.status, 0) << qPrintable(run.out);
    EXPECT_EQ(run.OutLines().size(), 1);

    // A printer of another model is not registered without --force.
    second.control("model QP-R61");
    ASSERT_EQ(Ctl({"remove-port", address2}).status, 0);
    run = Ctl({"add-port", "net", address2});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains("QP-R61"));
    EXPECT_EQ(Ctl({"ports", "--json"}).OutLines().size(), 1);

    run = Ctl({"info", "no-such-port"});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.err.contains("no registered port is named 'no-such-port'"));
    EXPECT_EQ(Ctl({"remove-port", "no-such-port"}).status, 1);
}

TEST_F(CtlOverEmulators, DiscoverFindsThePrinterOnLoopback)
{
    auto& printer = AddPrinter({"--discovery", "127.0.0.1:0"});
    m_env.insert("QPCOMM_DISCOVERY_ADDR",
                 QStringLiteral("127.0.0.1:%1").arg(printer.discoveryPort()));
    const CtlRun run = Ctl({"discover", "--timeout", "1000", "--json"});
    ASSERT_EQ(run.status, 0) << qPrintable(run.err);
    ASSERT_EQ(run.OutLines().size(), 1) << qPrintable(run.out);
    const QJsonObject found = QJsonDocument::fromJson(run.OutLines()[0].toUtf8()).object();
    EXPECT_EQ(found.value("printer").toString(), Name(printer));
    EXPECT_EQ(found.value("model").toString(), "QP-R60");
}

TEST_F(CtlOverEmulators, StatusWatchPrintsEachChangeUntilInterrupted)
{
    auto& printer = AddPrinter();
    QProcess watch;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(m_env);
    watch.setProcessEnvironment(env);
    watch.start(ctltest::CtlProgram(), {"status", Name(printer), "--watch", "--json"});
    const auto nextStatus = [&]() -> int {
        while (!watch.canReadLine())
            if (!watch.waitForReadyRead(10000))
                return -1;
        const QJsonObject line = QJsonDocument::fromJson(watch.readLine()).object();
        return line.value("status").toObject().value("code").toInt(-1);
    };
    EXPECT_EQ(nextStatus(), 0);
    printer.control("cover open");
    EXPECT_EQ(nextStatus(), 6);
    printer.control("cover close");
    EXPECT_EQ(nextStatus(), 0);
    ::kill(pid_t(watch.processId()), SIGINT);
    ASSERT_TRUE(watch.waitForFinished(10000));
    EXPECT_EQ(watch.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(watch.exitCode(), 0);
}

TEST_F(CtlOverEmulators, APrinterOnAPseudoTerminalIsNamedByItsPath)
{
    auto& printer = AddPrinter();
    const std::string link = printer.tempPath("ttyQP0");
    qpr60test::EmulatorProcess serial;
    ASSERT_TRUE(serial.start({"--pty", link})) << serial.error();
    serial.control("serial PTY-1");
    const CtlRun run = Ctl({"info", QString::fromStdString(link), "--json"});
    ASSERT_EQ(run.status, 0) << qPrintable(run.out + run.err);
    EXPECT_EQ(ByPrinter(run).value(QString::fromStdString(link)).value("serial").toString(),
              "PTY-1");
}

} // namespace
