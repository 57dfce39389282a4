// The command line, the setting names and their checks, the changes a set writes, the
// backup file reader and the names of backup files.
#include "cli.h"
#include "printer_job.h"
#include "printer_spec.h"
#include "setting_names.h"

#include <qpu/settings/backup_file.h>

#include <gtest/gtest.h>

#include <cstring>

#include <QJsonDocument>

using namespace qp60ctl;

namespace {

std::optional<Invocation> Parse(const QString& line, QString* error = nullptr)
{
    UsageError usage;
    auto parsed = ParseCommandLine(line.split(QLatin1Char(' '), Qt::SkipEmptyParts), &usage);
    if (error)
        *error = usage.text;
    return parsed;
}

TEST(CommandLine, OptionsStandBeforeOrAfterThePrinters)
{
    for (const char* line : {"info --json --jobs 4 a b", "info a --json b --jobs=4",
                             "--json info a b --jobs 4", "info a b --jobs 4 --json"}) {
        const auto parsed = Parse(QString::fromLatin1(line));
        ASSERT_TRUE(parsed) << line;
        EXPECT_EQ(parsed->command, Command::Info);
        EXPECT_EQ(parsed->printers, QStringList({"a", "b"})) << line;
        EXPECT_TRUE(parsed->options.json) << line;
        EXPECT_EQ(parsed->options.jobs, 4) << line;
    }
}

TEST(CommandLine, OperandsAreSortedByCommand)
{
    auto set = Parse("set p1 density=110 p2 memsw1.bit2=1");
    ASSERT_TRUE(set);
    EXPECT_EQ(set->printers, QStringList({"p1", "p2"}));
    EXPECT_EQ(set->assignments, QStringList({"density=110", "memsw1.bit2=1"}));
    auto get = Parse("get p1 speed custom7 --all");
    ASSERT_TRUE(get);
    EXPECT_EQ(get->printers, QStringList({"p1"}));
    EXPECT_EQ(get->names, QStringList({"speed", "custom7"}));
    auto backup = Parse("backup p1 p2 /tmp/dest");
    ASSERT_TRUE(backup);
    EXPECT_EQ(backup->printers, QStringList({"p1", "p2"}));
    EXPECT_EQ(backup->path, "/tmp/dest");
    auto all = Parse("backup --all dest");
    ASSERT_TRUE(all);
    EXPECT_TRUE(all->printers.isEmpty());
    EXPECT_TRUE(all->options.all);
    auto help = Parse("set p1 --help");
    ASSERT_TRUE(help);
    EXPECT_EQ(help->command, Command::Help);
    auto version = Parse("info --version");
    ASSERT_TRUE(version);
    EXPECT_EQ(version->command, Command::Version);
}

TEST(CommandLine, BadUsageIsRefusedWithTheReason)
{
    const struct
    {
        const char* line;
        const char* reason;
    } cases[] = {
        {"", "name a command"},
        {"frobnicate p1", "unknown command"},
        {"info", "name a printer"},
        {"info p1 --jobs 0", "--jobs must be a number from 1 to 256"},
        {"info p1 --jobs x", "--jobs must be"},
        {"info p1 --timeout", "needs a value"},
        {"info p1 --bogus", "unknown option --bogus"},
        {"info p1 --json=1", "takes no value"},
        {"set p1", "at least one NAME=VALUE"},
        {"backup", "file or folder"},
        {"diff p1 p2 file", "one printer"},
        {"diff --all file", "one printer"},
        {"status p1 p2 --watch", "one printer"},
        {"ports extra", "unexpected argument"},
        {"add-port net", "add-port needs"},
        {"add-port com ttyS0 --parity mark", "--parity must be"},
        {"remove-port", "one port name"},
    };
    for (const auto& c : cases) {
        QString error;
        EXPECT_FALSE(Parse(QString::fromLatin1(c.line), &error)) << c.line;
        EXPECT_TRUE(error.contains(QLatin1String(c.reason)))
            << c.line << " -> " << qPrintable(error);
    }
}

TEST(CommandLine, HelpListsEveryCommandAndSetting)
{
    const QString help = HelpText();
    for (const char* word :
         {"ports", "discover", "add-port", "remove-port", "info",    "status",     "get",
          "set",   "backup",   "restore",  "diff",        "density", "speed",      "memsw1",
          ".bit1", "custom0",  "--json",   "--jobs",      "--all",   "Exit status"})
        EXPECT_TRUE(help.contains(QLatin1String(word))) << word;
    EXPECT_TRUE(help.contains("70 75 80 85 90 95 100 105 110 115 120 125 130"));
    EXPECT_TRUE(VersionText().startsWith("qp60ctl 1."));
}

TEST(PrinterNames, NetworkDeviceAndRegisteredNames)
{
    const struct
    {
        const char* word;
        bool valid;
        PrinterSpec::Kind kind;
        const char* text;
    } cases[] = {
        {"net:127.0.0.1", true, PrinterSpec::Kind::Network, "127.0.0.1"},
        {"net:127.0.1.7:9100", true, PrinterSpec::Kind::Network, "127.0.1.7:9100"},
        {"net:127.0.0.256", false, {}, ""},
        {"net:127.0.0.1:0", false, {}, ""},
        {"net:127.0.0.1:65536", false, {}, ""},
        {"net:printer.local", false, {}, ""},
        {"net:", false, {}, ""},
        {"/dev/ttyUSB0", true, PrinterSpec::Kind::Device, "/dev/ttyUSB0"},
        {"127.0.0.1:9100", true, PrinterSpec::Kind::Registered, "127.0.0.1:9100"},
        {"ttyS0", true, PrinterSpec::Kind::Registered, "ttyS0"},
    };
    for (const auto& c : cases) {
        PrinterSpec spec;
        QString error;
        ASSERT_EQ(ParsePrinterSpec(QString::fromLatin1(c.word), &spec, &error), c.valid) << c.word;
        if (!c.valid) {
            EXPECT_FALSE(error.isEmpty());
            continue;
        }
        EXPECT_EQ(spec.kind, c.kind) << c.word;
        EXPECT_EQ(spec.text, QLatin1String(c.text));
        EXPECT_EQ(spec.Label(), QLatin1String(c.word));
    }
}

TEST(SettingNames, ValuesAreCheckedAsThePagesCheckThem)
{
    const struct
    {
        const char* text;
        bool valid;
    } cases[] = {
        {"density=70", true},       {"density=130", true},      {"density=105", true},
        {"density=72", false},      {"density=135", false},     {"density=65", false},
        {"density=", false},        {"density=1e2", false},     {"speed=1", true},
        {"speed=9", true},          {"speed=0", false},         {"speed=10", false},
        {"speed=-1", false},        {"memsw1=00000000", true},  {"memsw8=11111111", true},
        {"memsw9=00000000", false}, {"memsw0=00000000", false}, {"memsw1=0000000", false},
        {"memsw1=00000002", false}, {"memsw3.bit8=1", true},    {"memsw3.bit9=1", false},
        {"memsw3.bit0=1", false},   {"memsw3.bit1=2", false},   {"custom0=0", true},
        {"custom255=65535", true},  {"custom256=1", false},     {"custom5=65536", false},
        {"custom5=+1", false},      {"colour=red", false},      {"memsw1.bit1", false},
    };
    for (const auto& c : cases) {
        Assignment assignment;
        QString error;
        EXPECT_EQ(ParseAssignment(QString::fromLatin1(c.text), &assignment, &error), c.valid)
            << c.text << " " << qPrintable(error);
        if (!c.valid) {
            EXPECT_FALSE(error.isEmpty()) << c.text;
        }
    }
}

TEST(SettingNames, TwoAssignmentsToOneSettingAreRefused)
{
    QList<Assignment> parsed;
    QString error;
    EXPECT_TRUE(ParseAssignments({"memsw1.bit1=1", "memsw1.bit2=0", "custom7=1"}, &parsed, &error));
    EXPECT_EQ(parsed.size(), 3);
    for (const QStringList& clash :
         {QStringList{"density=100", "custom5=100"},
          QStringList{"memsw1=00000000", "memsw1.bit3=1"},
          QStringList{"memsw1.bit3=1", "memsw1.bit3=0"}, QStringList{"speed=1", "speed=2"}}) {
        EXPECT_FALSE(ParseAssignments(clash, &parsed, &error)) << qPrintable(clash.join(' '));
        EXPECT_TRUE(error.contains("the same setting"));
    }
}

TEST(SettingChanges, OnlyWhatDiffersIsWritten)
{
    PrinterValues current;
    current.customValues = {{5, 100}, {6, 3}, {7, 0}};
    current.switches = {{1, 0b00000101}, {2, 0}};
    QList<Assignment> assignments;
    QString error;
    // Bit 1 of switch 1 is on already, bit 2 goes on; switch 2 stays; speed stays.
    ASSERT_TRUE(ParseAssignments({"density=110", "speed=3", "memsw1.bit1=1", "memsw1.bit2=1",
                                  "memsw2=00000000", "custom7=513"},
                                 &assignments, &error));
    const auto changes = ChangesFor(assignments, current);
    EXPECT_EQ(changes.customValues, (std::map<uint8_t, uint16_t>{{5, 110}, {7, 513}}));
    EXPECT_EQ(changes.memorySwitches, (std::map<uint8_t, uint8_t>{{1, 0b00000111}}));
    // The same again once the printer holds it: nothing to write.
    current.customValues = {{5, 110}, {6, 3}, {7, 513}};
    current.switches[1] = 0b00000111;
    EXPECT_TRUE(ChangesFor(assignments, current).Empty());
    // A whole switch is written bit 1 first.
    ASSERT_TRUE(ParseAssignments({"memsw2=10000001"}, &assignments, &error));
    EXPECT_EQ(ChangesFor(assignments, current).memorySwitches,
              (std::map<uint8_t, uint8_t>{{2, 0b10000001}}));
}

TEST(SettingNames, ValuesAreShownFromWhatWasRead)
{
    PrinterValues values;
    values.customValues = {{5, 120}, {6, 7}, {200, 65535}};
    values.switches = {{4, 0b00000010}};
    EXPECT_EQ(ValueOf(*ParseSettingName("density"), values).toInt(), 120);
    EXPECT_EQ(ValueOf(*ParseSettingName("speed"), values).toInt(), 7);
    EXPECT_EQ(ValueOf(*ParseSettingName("custom200"), values).toInt(), 65535);
    EXPECT_EQ(ValueOf(*ParseSettingName("memsw4"), values).toString(), "01000000");
    EXPECT_EQ(ValueOf(*ParseSettingName("memsw4.bit2"), values).toInt(), 1);
    EXPECT_EQ(ValueOf(*ParseSettingName("memsw4.bit1"), values).toInt(), 0);
    EXPECT_TRUE(ValueOf(*ParseSettingName("memsw5"), values).isNull());
}

TEST(BackupFile, ReadsWhatTheLibraryWritesAndRefusesTheRest)
{
    qpu::settings::BackupContents contents;
    std::string error;
    ASSERT_TRUE(qpu::settings::ParseBackup("QPR60-BACKUP 1\nmodel=QP-R60\ncustom 0=0\ncustom "
                                           "5=100\ncustom 255=65535\n\nmemsw 1=10000000\n"
                                           "memsw 8=00000001\n",
                                           &contents, &error))
        << error;
    EXPECT_EQ(contents.model, "QP-R60");
    EXPECT_EQ(contents.customValues, (std::map<int, uint16_t>{{0, 0}, {5, 100}, {255, 65535}}));
    EXPECT_EQ(contents.memorySwitches, (std::map<int, uint8_t>{{1, 0x01}, {8, 0x80}}));
    for (const char* bad : {"", "QPR60-BACKUP 2\ncustom 5=1\n", "QPR60-BACKUP 1\nmodel=QP-R60\n",
                            "QPR60-BACKUP 1\ncustom 256=1\n", "QPR60-BACKUP 1\ncustom 5=65536\n",
                            "QPR60-BACKUP 1\ncustom 5=-1\n", "QPR60-BACKUP 1\ncustom x=1\n",
                            "QPR60-BACKUP 1\nmemsw 9=00000000\n", "QPR60-BACKUP 1\nmemsw 1=0101\n",
                            "QPR60-BACKUP 1\nmemsw 1=0000000a\n", "QPR60-BACKUP 1\nhello\n"}) {
        EXPECT_FALSE(qpu::settings::ParseBackup(bad, &contents, &error)) << bad;
        EXPECT_FALSE(error.empty());
    }
}

TEST(BackupFile, FilesAreNamedBySafeSerialNumbers)
{
    EXPECT_EQ(BackupFileName("QPR6000001"), "QPR6000001.bak");
    EXPECT_EQ(BackupFileName("A/B C"), "A_B_C.bak");
    EXPECT_EQ(BackupFileName(".."), "_..bak");
    EXPECT_EQ(BackupFileName("../etc"), "_._etc.bak");
    EXPECT_EQ(BackupFileName(""), "");
}

TEST(WorkerRequest, SurvivesTheTripToTheWorker)
{
    JobRequest request;
    request.command = Command::Set;
    request.printer = {PrinterSpec::Kind::Network, "127.0.0.1:9100"};
    request.assignments = {"density=110"};
    request.names = {"speed"};
    request.path = "/x/y";
    request.pathIsFolder = true;
    request.timeoutMs = 1234;
    JobRequest back;
    ASSERT_TRUE(JobRequest::FromJson(request.ToJson(), &back));
    EXPECT_EQ(back.ToJson(), request.ToJson());
    EXPECT_FALSE(JobRequest::FromJson({{"command", "format-disk"}}, &back));
    EXPECT_FALSE(JobRequest::FromJson({{"command", "info"}, {"kind", 7}}, &back));
}

} // namespace

// ---- Worker processes -------------------------------------------------------------------

#include "job_pool.h"

#include "emulator_process.h"

namespace {

// Workers started as programs (the way taken when qp60ctl runs more than one thread; the
// end-to-end tests take the fork) give the printer's result; a worker past its deadline is
// stopped and reported as a time-out.
TEST(JobPool, StartedWorkersAnswerAndDeadlinesHold)
{
    qpr60test::EmulatorProcess printer;
    ASSERT_TRUE(printer.start({"--tcp", "127.0.0.1:0"})) << printer.error();
    ::setenv("QP60UTIL_COMMON_APPDATA", printer.tempDir().c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", printer.tempDir().c_str(), 1);
    PoolJob job;
    job.request.command = Command::Info;
    job.request.printer = {PrinterSpec::Kind::Network,
                           QStringLiteral("127.0.0.1:%1").arg(printer.tcpPort())};
    job.request.timeoutMs = 1000;
    job.deadlineMs = 20000;
    QList<QJsonObject> results;
    // One at a time: a second worker on the same printer would find its port in use.
    JobPool pool(1, [&](int, const QJsonObject& result) { results.append(result); });
    pool.AllowFork(false);
    pool.SetWorkerProgram(QStringLiteral(QPU_APP_DIR "/qp60ctl"));
    pool.Run({job, job});
    ASSERT_EQ(results.size(), 2);
    EXPECT_TRUE(results[0].value("ok").toBool()) << qPrintable(QJsonDocument(results[0]).toJson());
    EXPECT_EQ(results[0].value("serial").toString(), "QPR6000001");
    EXPECT_EQ(results[0], results[1]);

    printer.control("slow 1500");
    job.deadlineMs = 300;
    results.clear();
    const auto start = std::chrono::steady_clock::now();
    pool.Run({job});
    ASSERT_EQ(results.size(), 1);
    EXPECT_EQ(results[0].value("error").toObject().value("code").toString(), "timeout");
    EXPECT_LT(qpr60test::millisecondsSince(start), 1400) << "stopped at its deadline";

    // A worker program that cannot start is reported with the system's own cause.
    pool.SetWorkerProgram(QString::fromStdString(printer.tempDir()) + "/no-such-program");
    results.clear();
    pool.Run({job});
    ASSERT_EQ(results.size(), 1);
    const QJsonObject error = results[0].value("error").toObject();
    EXPECT_EQ(error.value("code").toString(), "worker-failed");
    EXPECT_TRUE(
        error.value("text").toString().contains(QString::fromLocal8Bit(std::strerror(ENOENT))))
        << qPrintable(error.value("text").toString());
}

} // namespace
