// Figures of qp60ctl over a fleet of emulated printers on loopback, each on an address of
// its own (127.0.1.1 to 127.0.1.N): info, backup and set of all of them at once against
// one after another (--jobs 1), and the wall time of one info of one printer against the
// printer's own answers to the same requests. Not a test: it prints figures.
//   bench_fleet [PRINTERS]    (default 100)
#include "ctl_process.h"

#include "emulator_process.h"

#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double Ms(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// One run over every registered printer; the wall time in ms, or -1 when a printer failed.
double TimeRun(const QStringList& arguments, const QProcessEnvironment& env)
{
    const ctltest::CtlRun run = ctltest::RunCtl(arguments, env, 600000);
    if (run.status != 0) {
        std::fprintf(stderr, "qp60ctl %s: status %d\n%s", qPrintable(arguments.join(' ')),
                     run.status, qPrintable(run.err.left(2000)));
        return -1;
    }
    return double(run.elapsedMs);
}

void Compare(const char* what, double together, double alone, int printers)
{
    std::printf("%-34s %4d printers: %8.0f ms at once, %8.0f ms one after another (%.1fx faster)\n",
                what, printers, together, alone, together > 0 ? alone / together : 0.0);
}

// The printer's own answer time for what info asks: model, serial number, firmware,
// maker, character set and a status byte, over a fresh connection.
double RawInfoMs(const qpr60test::EmulatorProcess& printer)
{
    const auto start = Clock::now();
    auto stream = qpr60test::ByteStream::connectTcp(printer.tcpHost(), printer.tcpPort());
    for (const char* request : {"1D 49 43", "1D 49 44", "1D 49 41", "1D 49 42", "1D 49 45"}) {
        stream.write(request);
        qpr60test::Bytes answer;
        while (answer.empty() || answer.back() != 0x00) {
            const auto part = stream.read(1, 1000);
            if (part.empty())
                return -1;
            answer.insert(answer.end(), part.begin(), part.end());
        }
    }
    stream.write("10 04 01");
    stream.read(1, 1000);
    return Ms(start);
}

} // namespace

int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::clamp(std::atoi(argv[1]), 2, 250) : 100;
    QTemporaryDir dir;
    QProcessEnvironment env;
    env.insert("QP60UTIL_COMMON_APPDATA", dir.filePath("appdata"));
    env.insert("XDG_RUNTIME_DIR", dir.path());
    env.insert("QPCOMM_DISCOVERY_ADDR", "127.0.0.1");

    std::vector<std::unique_ptr<qpr60test::EmulatorProcess>> printers;
    for (int i = 1; i <= count; ++i) {
        auto printer = std::make_unique<qpr60test::EmulatorProcess>();
        const std::string address = "127.0.1." + std::to_string(i) + ":0";
        if (!printer->start({"--tcp", address})) {
            std::fprintf(stderr, "emulator %d: %s\n", i, printer->error().c_str());
            return 1;
        }
        // Backups of several printers are named by serial number.
        printer->control("serial QPR60" + std::to_string(100000 + i));
        const QString name = QStringLiteral("%1:%2")
                                 .arg(QString::fromStdString(printer->tcpHost()))
                                 .arg(printer->tcpPort());
        if (ctltest::RunCtl({"add-port", "net", name, "--force"}, env).status != 0)
            return 1;
        printers.push_back(std::move(printer));
    }
    std::printf("qp60ctl over %d emulated printers on loopback (restart time of each: 300 ms)\n",
                count);

    Compare("info --all", TimeRun({"info", "--all", "--json"}, env),
            TimeRun({"info", "--all", "--json", "--jobs", "1"}, env), count);
    Compare("backup --all DIR", TimeRun({"backup", "--all", dir.filePath("b1"), "--json"}, env),
            TimeRun({"backup", "--all", dir.filePath("b2"), "--json", "--jobs", "1"}, env), count);
    for (const int jobs : {32, 64}) {
        char what[64];
        std::snprintf(what, sizeof what, "backup --all DIR --jobs %d", jobs);
        std::printf("%-34s %4d printers: %8.0f ms\n", what, count,
                    TimeRun({"backup", "--all", dir.filePath(QString("j%1").arg(jobs)), "--json",
                             "--jobs", QString::number(jobs)},
                            env));
    }
    Compare("set --all density=...", TimeRun({"set", "--all", "density=110", "--json"}, env),
            TimeRun({"set", "--all", "density=120", "--json", "--jobs", "1"}, env), count);
    std::printf("%-34s %4d printers: %8.0f ms (nothing differs, nothing written)\n",
                "set --all again, same value", count,
                TimeRun({"set", "--all", "density=120", "--json"}, env));

    std::vector<double> whole;
    std::vector<double> raw;
    const QString one = QStringLiteral("net:%1:%2")
                            .arg(QString::fromStdString(printers[0]->tcpHost()))
                            .arg(printers[0]->tcpPort());
    for (int i = 0; i < 30; ++i) {
        const auto start = Clock::now();
        if (ctltest::RunCtl({"info", one}, env).status != 0)
            return 1;
        whole.push_back(Ms(start));
        raw.push_back(RawInfoMs(*printers[0]));
    }
    std::printf("info of one printer: whole process median %.1f ms; the printer's own answers "
                "%.2f ms; beyond them %.1f ms\n",
                Median(whole), Median(raw), Median(whole) - Median(raw));
    return 0;
}
