// Time to save and to load a settings file of 64 blocks of 4 KiB each.
#include "pages/plugin_data_mgr.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr int kBlocks = 64;
constexpr int kBlockBytes = 4096;

void Fill(PluginDataMgr& mgr)
{
    for (quint32 id = 1; id <= kBlocks; ++id) {
        mgr.AddBlock(id, 0x10000, kBlockBytes);
        QByteArray data(kBlockBytes, static_cast<char>(id));
        mgr.GetBlockData(id, data.data(), 32);
        mgr.SetBlockData(id, kBlockBytes, data.data());
    }
    mgr.SetSaveEnabled(1);
}

void BM_SaveSettingsFile(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("QP-R60_Setting.DAT"));
    PluginDataMgr mgr;
    Fill(mgr);
    for (auto _ : state)
        if (mgr.SaveSettingsFile(path, "QP-R60", 0x10000, 0x10000) != 1)
            state.SkipWithError("save failed");
}
BENCHMARK(BM_SaveSettingsFile)->Unit(benchmark::kMicrosecond);

void BM_LoadSettingsFile(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("QP-R60_Setting.DAT"));
    {
        PluginDataMgr mgr;
        Fill(mgr);
        mgr.SaveSettingsFile(path, "QP-R60", 0x10000, 0x10000);
    }
    PluginDataMgr mgr;
    for (auto _ : state) {
        if (mgr.LoadSettingsFile(path) != 0)
            state.SkipWithError("load failed");
        state.PauseTiming();
        mgr.RemoveAllBlocks();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadSettingsFile)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
