#include "pages/saved_serial.h"

#include "pages/plugin_data_mgr.h"
#include "pages/printer_info_block.h"

#include <QFileInfo>

QString SavedSerialNumber(const PrinterRegistry* registry, const QString& deviceName,
                          const QString& portName)
{
    if (registry == nullptr)
        return {};
    const QString path = registry->SettingsPathOf(deviceName, portName);
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return {};
    PluginDataMgr copy;
    PrinterInfoBlock block{};
    if (copy.LoadSettingsFile(path) != PluginDataMgr::kOk || !ReadPrinterInfoBlock(copy, &block))
        return {};
    return Text(block, PrinterInfoText::SerialNumber).trimmed();
}
