#include "ports/tcpip/tcpip.h"
#include "common/ui.h"
#include "send/frame.h"
#include "terminal/log.h"

static void RetryConnect(HWND wnd) {
  TcpState = 2;
  if (!TcpipConnect(wnd, 1)) LogMessage("TCP/IP:Connection Retry NG.");
}

static int Connected() {
  TcpReconnectPending = 0;  // the attempt it marked has been answered
  Ports[IF_TCPIP].connected = 1;
  ConnectionLogMessage("TCP/IP:Connected.");
  StatusPart0Update();
  if (Ports[IF_TCPIP].receiveOn == 1) return TcpipStartReceiving();
  return 1;
}

const UINT_PTR RETRY_TIMER = 0x7C01;
static Word retryAfterClose;  // the pause follows a close event, not a failed retry

// The pause before a retry runs as a timer, so the window (and Stop) go on meanwhile.
static void CALLBACK RetryAfterPause(HWND wnd, UINT, UINT_PTR id, DWORD) {
  KillTimer(wnd, id);
  if (TcpState != 0 || Ports[IF_TCPIP].connected == 1) return;  // connected meanwhile
  if (!retryAfterClose && TcpRetryCount >= TCP_RETRY_LIMIT) {
    LogMessage("TCP/IP:Connection Retry Timeout.");
    TcpReconnectPending = 0;
    return;
  }
  if (!retryAfterClose) TcpRetryCount = TcpRetryCount + 1;
  RetryConnect(wnd);
}

static void PauseThenRetry(int afterClose) {
  retryAfterClose = afterClose;
  SetTimer(hMainWnd, RETRY_TIMER, 1000, RetryAfterPause);
}

void TcpipDisconnect() {
  KillTimer(hMainWnd, RETRY_TIMER);
  TcpReconnectPending = 0;
  TcpipCloseConnection(1);
}

static void ConnectFailed(int event, int error) {
  if (!TcpReconnectPending) {
    TcpipCloseSocket();
    TcpState = 0;
    LogMessage("TCP/IP:Not Connection.[EventCode=%d][ErrorNo=%d]", event, error);
    return;
  }
  TcpipCloseConnection(0);
  PauseThenRetry(0);
}

static void Closed() {
  TcpRetryCount = 0;
  TcpipCloseConnection(0);
  PauseThenRetry(1);
}

// Between files of a job: a connection made meanwhile (Ctrl+T) serves the next file.
static void Reconnect(HWND wnd) {
  if (TcpState != 0 || Ports[IF_TCPIP].connected == 1 || JobAskedToEnd()) return;
  TcpRetryCount = 0;
  RetryConnect(wnd);
}

int TcpipSocketEvent(HWND wnd, WPARAM wParam, LPARAM lParam) {
  // Events still queued for a socket already closed would close the one made since.
  if ((SOCKET)wParam != TcpSocket) return 1;
  int event = WSAGETSELECTEVENT(lParam), error = WSAGETSELECTERROR(lParam);
  switch (event) {
    case FD_READ: case FD_WRITE: return 1;
    case FD_CONNECT:
      if (!error) return Connected();
      ConnectFailed(event, error);
      return 1;
    case FD_CLOSE: Closed(); return 1;
    case TCP_EVENT_CLOSE: TcpipCloseConnection(1); return 1;
    case TCP_EVENT_JOB_CLOSE: TcpipCloseConnection(0); return 1;
    case TCP_EVENT_RECONNECT: Reconnect(wnd); return 1;
  }
  LogMessage("TCP/IP:<ERROR>Network Error.[EventCode=%d]", event);
  return 1;
}
