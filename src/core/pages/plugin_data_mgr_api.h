#pragma once

#include <qpu/data_mgr_api.h>

// The host side of the plug-ins' data-manager table: functions over the PluginDataMgr
// that AppState.dataMgr points to. The executable exports QPU_GetDataMgrApi (declared in
// qpu/data_mgr_api.h) so that plug-ins find the table with dlsym(RTLD_DEFAULT, ...);
// see plugin_data_mgr_api.list for the one symbol the executable exports.
namespace PluginDataMgrApi {

// The table; the same object for the whole run.
const QpuDataMgrApi& Table();

} // namespace PluginDataMgrApi

QPU_EXPORT const QpuDataMgrApi* QPU_GetDataMgrApi(void);
