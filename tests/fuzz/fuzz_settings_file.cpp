// The settings file loader, and a save/load round trip of whatever it accepted.
#include "fuzz_util.h"
#include "pages/plugin_data_mgr.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = fuzz::WriteInput(QStringLiteral("Setting.DAT"), data, size);
    PluginDataMgr loaded;
    if (loaded.LoadSettingsFile(path) != PluginDataMgr::kOk)
        return 0;

    loaded.SetSaveEnabled(1);
    const QString copyPath = fuzz::WorkFolder() + QStringLiteral("/copy/Setting.DAT");
    if (loaded.SaveSettingsFile(copyPath, QByteArrayLiteral("QP-R60"), 1, 2) != 1)
        return 0;
    PluginDataMgr reloaded;
    if (reloaded.LoadSettingsFile(copyPath) != PluginDataMgr::kOk ||
        reloaded.BlockCount() != loaded.BlockCount())
        __builtin_trap();
    return 0;
}
