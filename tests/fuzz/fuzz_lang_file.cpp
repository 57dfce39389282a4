// Language file entries: the input is the fallback language's file of a LANG folder.
#include "fuzz_util.h"
#include "lang/lang_res_store.h"

#include <QDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString folder = fuzz::WorkFolder() + QStringLiteral("/LANG");
    QDir().mkpath(folder);
    fuzz::WriteInput(QStringLiteral("LANG/0409.DAT"), data, size);

    CLangResStore store;
    if (store.Open(folder, 0x0411, CLangResStore::kFallbackLangId) < 0)
        return 0;
    static const char* const kWindows[] = {"COMMON", "MainFrame", "PrinterSettingView",
                                           "SelectLangDlg", "IDD_ABOUTBOX"};
    for (const char* window : kWindows) {
        store.LoadSections(QString::fromLatin1(window));
        QString text;
        for (int number : {0, 1, 2, 100, 1000, -1, 65535}) {
            store.GetString(number, text);
            store.GetMessage(number, text);
            store.GetCommonString(number, text);
            store.GetCommonMessage(number, text);
            store.GetComboTextByData(number);
        }
        for (const auto& caption : store.Captions())
            (void)caption;
    }
    return 0;
}
