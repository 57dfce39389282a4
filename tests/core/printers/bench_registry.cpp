// Time of Find in a registry of 1000 printers: the first, a middle and the last entry,
// and a pair that is not registered (a full scan).
#include "printers/printer_registry.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kPrinters = 1000;

PrinterRegistry MakeRegistry()
{
    PrinterRegistry registry;
    for (int i = 0; i < kPrinters; ++i)
        registry.Add(QStringLiteral("/var/lib/VORKA/QP60Utl"), QStringLiteral("QP-R60"),
                     QStringLiteral("192.168.%1.%2").arg(i / 250).arg(i % 250));
    return registry;
}

void BM_Find(benchmark::State& state)
{
    const PrinterRegistry registry = MakeRegistry();
    const int index = static_cast<int>(state.range(0));
    const QString device = QStringLiteral("QP-R60");
    const QString port = index < kPrinters
                             ? QStringLiteral("192.168.%1.%2").arg(index / 250).arg(index % 250)
                             : QStringLiteral("COM99");
    for (auto _ : state)
        benchmark::DoNotOptimize(registry.Find(device, port));
}
BENCHMARK(BM_Find)->Arg(0)->Arg(kPrinters / 2)->Arg(kPrinters - 1)->Arg(kPrinters);

} // namespace

BENCHMARK_MAIN();
