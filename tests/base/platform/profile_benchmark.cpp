// Figures for the profile functions on a file the size of a language file: lookups from
// the parsed cache, lookups of a freshly changed file (parsed on every call), whole
// sections, and in-place writes.
#include "platform/profile.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

namespace {

constexpr int kSections = 20;
constexpr int kKeysPerSection = 200;

QString makeProfile(const QTemporaryDir& dir, const QString& name)
{
    QByteArray text;
    for (int s = 0; s < kSections; ++s) {
        text += "; section " + QByteArray::number(s) + "\r\n[SECTION_" + QByteArray::number(s) +
                "]\r\n";
        for (int k = 0; k < kKeysPerSection; ++k) {
            text += "IDS_TEXT_" + QByteArray::number(k) + "=Some text of entry " +
                    QByteArray::number(k) + "||12||34\r\n";
        }
    }
    const QString path = dir.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(text);
    return path;
}

// Files are served from the cache once their last change is a few seconds old.
const QString& settledProfile()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString p = makeProfile(dir, "settled.ini");
        std::this_thread::sleep_for(std::chrono::milliseconds(3200));
        return p;
    }();
    return path;
}

void BM_GetStringCached(benchmark::State& state)
{
    const QString& path = settledProfile();
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            platform::GetPrivateProfileString("section_17", "ids_text_150", "", path));
    }
}
BENCHMARK(BM_GetStringCached);

void BM_GetSectionCached(benchmark::State& state)
{
    const QString& path = settledProfile();
    for (auto _ : state)
        benchmark::DoNotOptimize(platform::GetPrivateProfileSection("SECTION_9", path));
}
BENCHMARK(BM_GetSectionCached);

void BM_GetStringFreshFile(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = makeProfile(dir, "fresh.ini");
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            platform::GetPrivateProfileString("section_17", "ids_text_150", "", path));
    }
    state.counters["file_bytes"] = static_cast<double>(QFile(path).size());
}
BENCHMARK(BM_GetStringFreshFile)->Unit(benchmark::kMicrosecond);

void BM_WriteString(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = makeProfile(dir, "write.ini");
    int n = 0;
    for (auto _ : state) {
        platform::WritePrivateProfileString("SECTION_10", "IDS_TEXT_100", QString::number(n++),
                                            path);
    }
}
BENCHMARK(BM_WriteString)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
