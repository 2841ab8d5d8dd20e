#include "app/app.h"
#include "common/resource.h"
#include "common/settings.h"
#include "common/state.h"
#include "common/ui.h"
#include "send/driver.h"
#include "send/frame.h"
#include "terminal/capture.h"
#include <string.h>

static int FirstConnectedKind() {
  if (TcpState == 1 && Ports[IF_TCPIP].connected == 1) return IF_TCPIP;
  static const int order[] = {IF_USB, IF_IEEE1284, IF_IEEE1394, IF_RS232C};
  for (int kind : order)
    if (Ports[kind].connected == 1) return kind;
  // A job may hold its interface while it is between connections (TCP/IP's fresh connection
  // for every file): disconnecting then ends the job.
  for (int kind = 1; kind < IF_KINDS; kind++)
    if (Ports[kind].sending == 1) return kind;
  return IF_NONE;
}

void DisconnectionSequence() {
  int kind = FirstConnectedKind();
  if (kind != IF_NONE) DriverCommand(kind, hMainWnd, 0, 0, ACTION_DISCONNECT);
  EndPreservationMode();
  ResetConnectionState();
  StatusPart1Update(0, 0);
  ActiveInterface = '0';
  StatusPart0Update();
  EnableToolbarButton(TB_STOP, 0);
  EnableMenuCommand(IDM_STOP, 0);
}

const DWORD JOB_STOP_LIMIT_MS = 10000;

static BOOL CALLBACK CancelOtherThreadsDialog(HWND wnd, LPARAM) {
  DWORD pid;
  char cls[16] = "";
  GetClassNameA(wnd, cls, sizeof cls);
  if (GetWindowThreadProcessId(wnd, &pid) != GetCurrentThreadId() && pid == GetCurrentProcessId() &&
      strcmp(cls, "#32770") == 0)
    PostMessageA(wnd, WM_COMMAND, IDCANCEL, 0);
  return TRUE;
}

// The send job uses the connection block and the port mutex to its end, so it is asked to
// stop and waited for before they go. Its dialogs and message boxes are cancelled so that
// it reaches a stop check, and its calls into this window are served meanwhile. 1 when no
// job is left running.
static int StopSendJob() {
  HANDLE thread = InterlockedExchangePointer(&SendThreadHandle, NULL);
  if (!thread) return 1;
  DWORD start = GetTickCount(), waited = WAIT_TIMEOUT;
  while (waited != WAIT_OBJECT_0 && GetTickCount() - start < JOB_STOP_LIMIT_MS) {
    RequestJobEnd();
    EnumWindows(CancelOtherThreadsDialog, 0);
    waited = MsgWaitForMultipleObjects(1, &thread, FALSE, 100, QS_SENDMESSAGE);
    MSG msg;
    if (waited != WAIT_OBJECT_0) PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  CloseHandle(thread);
  return waited == WAIT_OBJECT_0;
}

void Shutdown(HWND wnd) {
  int jobEnded = StopSendJob();
  EndPreservationMode();
  SaveAllSettings();
  if (ConnectionBlockMemory) {
    ConnectionBlock* block = (ConnectionBlock*)GlobalLock(ConnectionBlockMemory);
    DriversExit(block);
    GlobalUnlock(ConnectionBlockMemory);
    // A job that would not stop still holds it; the process ends anyway.
    if (jobEnded) GlobalFree(ConnectionBlockMemory);
    ConnectionBlockMemory = NULL;
  }
  DestroyWindow(wnd);
}

static INT_PTR CALLBACK AboutProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
  if (msg == WM_INITDIALOG) return TRUE;
  if (msg == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(dlg, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

void AboutDialog(HWND owner) {
  DialogBoxParamA(hInst, MAKEINTRESOURCEA(IDD_ABOUT), owner, AboutProc, 0);
}
