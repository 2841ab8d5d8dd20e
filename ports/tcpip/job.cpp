// The TCP/IP side of a send job: the wait for a connection the job asked for, and the
// fresh connection between files with the wait option on.
#include "ports/tcpip/tcpip.h"
#include "common/ui.h"
#include "send/engine.h"
#include "send/frame.h"
#include "terminal/log.h"

const DWORD WINDOW_PATIENCE_MS = 30000;  // the window's thread may be busy with a re-connection's pauses

// 0 once connected; -160 when the attempt is given up or its socket is gone, -106 on Stop.
// Between two retries the TCP state passes through 0 while a re-connection is still pending.
int TcpipAwaitConnected() {
  while (!(TcpState == 1 && Ports[IF_TCPIP].connected == 1)) {
    if (!JobPause(1)) return -106;
    if (!TcpReconnectPending && (TcpState == 0 || TcpSocket == INVALID_SOCKET)) return -160;
  }
  return 0;
}

static int AskWindow(int event) {
  DWORD_PTR result = 0;
  LPARAM request = WSAMAKESELECTREPLY(event, 0);
  if (!SendMessageTimeoutA(hMainWnd, WM_SOCKET_EVENT, (WPARAM)TcpSocket, request, SMTO_NORMAL, WINDOW_PATIENCE_MS,
                           &result))
    return 0;
  return 1;
}

// With the wait option the printer sees a fresh connection for every file. The window's
// thread closes and connects, as it does for every other connection change, so a Ctrl+T or
// a close event meanwhile cannot leave the flags and the socket disagreeing.
int TcpipStepBetweenFiles(HWND, DWORD waitMs) {
  if (WaitOn != 1) return 0;
  AskWindow(TCP_EVENT_JOB_CLOSE);
  if (!JobPause(waitMs)) return -106;
  if (!AskWindow(TCP_EVENT_RECONNECT)) return -160;
  return TcpipAwaitConnected();
}
