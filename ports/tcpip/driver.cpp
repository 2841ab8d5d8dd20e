#include "ports/tcpip/tcpip.h"
#include "common/settings.h"
#include "send/engine.h"
#include "send/frame.h"

volatile SOCKET TcpSocket = INVALID_SOCKET;
Word TcpSerial, TcpReconnectPending, TcpAutoReconnect, TcpRetryCount, NoRecvCounter;
char ResolvedHostName[260];

static void ResetTcpip() {
  TcpState = 0;
  Ports[IF_TCPIP].connected = Ports[IF_TCPIP].sending = Ports[IF_TCPIP].receiveRun = 0;
  TcpRetryCount = TcpReconnectPending = NoRecvCounter = 0;
}

static int TcpipInit(ConnectionBlock*) {
  TcpipInitLock();
  ResetTcpip();
  NoRecvLimit = 600;
  TcpAutoReconnect = 0;
  return 1;
}

// The connection is closed here too: the process may go on after the window (tests run
// several windows in one process), and a socket left open would keep posting events.
static void TcpipExit(ConnectionBlock*) {
  if (TcpSocket != INVALID_SOCKET) TcpipDisconnect();
  ResetTcpip();
}

static int TcpipCommand(HWND wnd, WPARAM wParam, LPARAM lParam, int action) {
  switch (action) {
    case ACTION_SOCKET_EVENT: return TcpipSocketEvent(wnd, wParam, lParam);
    case ACTION_CONNECT: return TcpipDialog(wnd);
    case ACTION_DISCONNECT: TcpipDisconnect(); return 1;
    case ACTION_START_BLOCK: StartDriverSendThread(IF_TCPIP, wnd); return 0;
  }
  return 0;
}

static const char* TcpipDetail() { return ResolvedHostName; }

const Driver TcpipDriver = {IF_TCPIP,         TcpipInit,         TcpipExit,  TcpipCommand, TcpipBlockSender,
                            TcpipDirectWrite, TcpipDetail,       NULL,       NULL,         TcpipAwaitConnected,
                            TcpipStepBetweenFiles};
