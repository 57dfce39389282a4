/* Window-message numbers that cross the plug-in boundary. They keep the numbers of the
 * original message protocol (WM_USER = 0x0400); see qpu/window_message.h for how they
 * travel between Qt widgets. */
#pragma once

#define QPU_WM_USER 0x0400

/* Pages to the main frame: create (wParam: ProgressRequest*) and run the progress dialog. */
#define QPU_WM_CREATE_PROGRESS (QPU_WM_USER + 100)
#define QPU_WM_RUN_PROGRESS (QPU_WM_USER + 101)
/* Handled by the progress dialog itself. */
#define QPU_WM_PROGRESS_102 (QPU_WM_USER + 102)
#define QPU_WM_PROGRESS_103 (QPU_WM_USER + 103)
/* Main frame to the status view (the frame forwards them from pages too). */
#define QPU_WM_STATUS_REFRESH (QPU_WM_USER + 200)
#define QPU_WM_STATUS_QUERY (QPU_WM_USER + 201)
#define QPU_WM_STATUS_FRESH_READ (QPU_WM_USER + 202)
#define QPU_WM_STATUS_END (QPU_WM_USER + 203)
/* Posted by the status callback of the communication library. */
#define QPU_WM_STATUS_CHANGED (QPU_WM_USER + 204)
