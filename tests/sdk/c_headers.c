/* The contract headers must compile as plain C: plug-ins and libraries may be C. The
 * static_asserts in the headers check every size and offset at compile time. */
#include <qpu/app_state.h>
#include <qpu/comm_lib.h>
#include <qpu/data_block.h>
#include <qpu/messages.h>
#include <qpu/plugin.h>
#include <qpu/port_info.h>
#include <qpu/prtinf.h>
#include <qpu/qpu_types.h>
#include <qpu/status_texts.h>
#include <qpu/sync.h>

int qpu_c_headers_compile(void)
{
    return (int)sizeof(AppState);
}
