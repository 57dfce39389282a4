#include "lang/lang_res_store.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

namespace {

const char* const kWindows[] = {"MAIN_WINDOW",          "MENU_ITEM",      "PRT_STATUS",
                                "PRT_SELECT_DLG",       "PORT_ADD_DLG",   "SELECT_LANG_DLG",
                                "PRINTER_SETTING_VIEW", "QP_UTILITY_APP", "PLUGIN_COMMON"};

// A language file shaped like a shipped one: common texts, then for every window some
// captions, combo items, list columns, messages and strings, a few of them references.
QByteArray RealisticFile(bool utf16)
{
    QString text = QStringLiteral("; language file\r\n[CMN_STR]\r\n");
    for (int i = 0; i < 20; ++i) {
        text += QStringLiteral("IDS_CMN_%1=Common string %1\\nsecond line\r\n").arg(i);
    }
    text += QStringLiteral("[CMN_MSG]\r\n");
    for (int i = 0; i < 20; ++i) {
        text += QStringLiteral("IDS_MSG_%1=Common message %1 with a %s placeholder\r\n").arg(i);
    }
    for (const char* window : kWindows) {
        const QString name = QString::fromLatin1(window);
        text += QStringLiteral("\r\n[%1_CAP]\r\n").arg(name);
        for (int i = 0; i < 12; ++i) {
            text += QStringLiteral("IDC_CTRL_%1=Caption %1||%2\r\n").arg(1000 + i).arg(i);
        }
        text += QStringLiteral("IDCANCEL_2=]CMN_STR_3\r\n");
        text += QStringLiteral("[%1_CMB]\r\n").arg(name);
        for (int i = 0; i < 6; ++i) {
            text +=
                QStringLiteral("IDC_COMBO_1000=Item %1||0x%2\r\n").arg(i).arg(0x0409 + i, 4, 16);
        }
        text += QStringLiteral("[%1_LSTCTRL]\r\n").arg(name);
        for (int i = 0; i < 4; ++i) {
            text += QStringLiteral("IDC_LIST_1020=Column %1||%1||120||%2\r\n").arg(i).arg(i % 3);
        }
        text += QStringLiteral("[%1_MSG]\r\n").arg(name);
        for (int i = 0; i < 10; ++i) {
            text +=
                QStringLiteral("IDS_MSG_%1=Message %1 of the window.\\nPlease check.\r\n").arg(i);
        }
        text += QStringLiteral("[%1_STR]\r\n").arg(name);
        for (int i = 0; i < 10; ++i) {
            text += QStringLiteral("IDS_STR_%1=String %1\\t of the window\r\n").arg(i);
        }
        text += QStringLiteral("IDS_REF_10=]CMN_MSG_4\r\n");
    }
    if (!utf16) {
        return text.toUtf8();
    }
    QByteArray bytes("\xFF\xFE", 2);
    bytes.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    return bytes;
}

void OpenAndLoad(benchmark::State& state)
{
    const bool utf16 = state.range(0) != 0;
    QTemporaryDir dir;
    const QByteArray bytes = RealisticFile(utf16);
    QFile file(dir.filePath(QStringLiteral("0409.DAT")));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        state.SkipWithError("cannot write the language file");
        return;
    }
    file.close();
    const int lines = static_cast<int>(bytes.count('\n'));

    for (auto _ : state) {
        CLangResStore store;
        if (store.Open(dir.path(), 0x0411, 0x0409) != CLangResStore::kOpenedFallback ||
            store.LoadSections(QStringLiteral("PRT_SELECT_DLG")) != CLangResStore::kOk) {
            state.SkipWithError("language file not read");
            return;
        }
        benchmark::DoNotOptimize(store.Captions().size());
    }
    state.counters["file_lines"] = lines;
    state.counters["file_bytes"] = static_cast<double>(bytes.size());
    state.SetLabel(utf16 ? "UTF-16LE" : "UTF-8");
}

} // namespace

BENCHMARK(OpenAndLoad)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
