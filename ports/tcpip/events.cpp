#include "ports/tcpip/tcpip.h"
#include "common/ui.h"
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

static void ConnectFailed(HWND wnd, int event, int error) {
  if (!TcpReconnectPending) {
    TcpipCloseSocket();
    TcpState = 0;
    LogMessage("TCP/IP:Not Connection.[EventCode=%d][ErrorNo=%d]", event, error);
    return;
  }
  TcpipCloseConnection(wnd);
  Sleep(1000);
  if (TcpRetryCount >= TCP_RETRY_LIMIT) {
    LogMessage("TCP/IP:Connection Retry Timeout.");
    TcpReconnectPending = 0;
    TcpState = 0;
    return;
  }
  TcpRetryCount = TcpRetryCount + 1;
  RetryConnect(wnd);
}

static void Closed(HWND wnd) {
  TcpRetryCount = 0;
  TcpipCloseConnection(wnd);
  Sleep(1000);
  RetryConnect(wnd);
}

// Between files of a job: a connection made meanwhile (Ctrl+T) serves the next file.
static void Reconnect(HWND wnd) {
  if (TcpState != 0 || Ports[IF_TCPIP].connected == 1) return;
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
      ConnectFailed(wnd, event, error);
      return 1;
    case FD_CLOSE: Closed(wnd); return 1;
    case TCP_EVENT_CLOSE: TcpipCloseConnection(wnd); return 1;
    case TCP_EVENT_RECONNECT: Reconnect(wnd); return 1;
  }
  LogMessage("TCP/IP:<ERROR>Network Error.[EventCode=%d]", event);
  return 1;
}
