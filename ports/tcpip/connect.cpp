#include "ports/tcpip/tcpip.h"
#include "app/app.h"
#include "common/resource.h"
#include "common/settings.h"
#include "send/engine.h"
#include "terminal/log.h"
#include <stdlib.h>

static Word winsockStarted;

static int StartWinsock() {
  WSADATA data;
  if (WSAStartup(MAKEWORD(1, 1), &data) != 0) {
    LogMessage("TCP/IP:<ERROR>WinSock Initialize NG.");
    return 0;
  }
  if (data.wVersion != MAKEWORD(1, 1)) {
    LogMessage("TCP/IP:<ERROR>WINSOCK.DLL Version NG.");
    WSACleanup();
    return 0;
  }
  winsockStarted = 1;
  return 1;
}

// The next socket may get the same handle; events already queued for the closed one
// must not be taken for its. Only the window's thread can empty its own queue.
static void DiscardQueuedSocketEvents() {
  if (GetWindowThreadProcessId(hMainWnd, NULL) != GetCurrentThreadId()) return;
  MSG stale;
  while (PeekMessageA(&stale, hMainWnd, WM_SOCKET_EVENT, WM_SOCKET_EVENT, PM_REMOVE)) {
  }
}

void TcpipCloseSocket() {
  SOCKET s = TcpSocket;
  TcpSocket = INVALID_SOCKET;
  if (s != INVALID_SOCKET) {
    WSAAsyncSelect(s, hMainWnd, 0, 0);
    closesocket(s);
  }
  if (winsockStarted) WSACleanup();
  winsockStarted = 0;
  DiscardQueuedSocketEvents();
}

static void ReadConnectTexts(HWND dlg) {
  GetDlgItemTextA(dlg, IDC_TCP_HOST, TcpAddress, sizeof TcpAddress);
  GetDlgItemTextA(dlg, IDC_TCP_PORT, TcpPort, sizeof TcpPort);
}

static int Fail(const char* format, int error) {
  LogMessage(format, error);
  TcpipCloseSocket();
  return 0;
}

// Makes the socket, asks for its events and issues the connect; the outcome arrives
// later as the connect event.
static int IssueConnect(int retryForm) {
  if (!StartWinsock()) return 0;
  TcpSocket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (TcpSocket == INVALID_SOCKET) return Fail("TCP/IP:<ERROR>Socket Make NG.[ErrorNo=%d]", WSAGetLastError());
  if (WSAAsyncSelect(TcpSocket, hMainWnd, WM_SOCKET_EVENT, FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE) != 0)
    return Fail("TCP/IP:<ERROR>WSAAsyncSelect() Call NG.[ErrorNo=%d]", WSAGetLastError());
  hostent* host = gethostbyname(TcpAddress);
  if (!host || host->h_addrtype != AF_INET || !host->h_addr_list[0])
    return Fail("TCP/IP:<ERROR>gethostbyname() Call NG.[ErrorNo=%d]", WSAGetLastError());
  if (!retryForm) {
    ConnectionLogMessage("TCP/IP:HostName = %s", host->h_name);
    lstrcpynA(ResolvedHostName, host->h_name, sizeof ResolvedHostName);
  }
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons((u_short)strtoul(TcpPort, NULL, 10));
  memcpy(&address.sin_addr, host->h_addr_list[0], sizeof address.sin_addr);
  if (connect(TcpSocket, (sockaddr*)&address, sizeof address) != 0 && WSAGetLastError() != WSAEWOULDBLOCK)
    return Fail("TCP/IP:<ERROR>connect() Call NG.[ErrorNo=%d]", WSAGetLastError());
  if (!retryForm) ConnectionLogMessage("TCP/IP:PortNo = %s", TcpPort);
  return 1;
}

int TcpipConnect(HWND wnd, int retryForm) {
  if (retryForm) {
    ConnectionLogMessage("TCP/IP:Connection Retry Start.");
  } else {
    ConnectionLogMessage("TCP/IP:Connection Start.");
    ReadConnectTexts(wnd);
  }
  if (!TcpAddress[0] || !TcpPort[0]) {
    LogMessage("TCP/IP:<ERROR>Un-Inputting of HostName or PortNo.");
    return 0;
  }
  if (TcpState == 1 || Ports[IF_TCPIP].connected == 1) {
    LogMessage("TCP/IP:<ERROR>Already Connection Settled.");
    return 0;
  }
  if (!IssueConnect(retryForm)) return 0;
  TcpState = 1;
  return 1;
}

void TcpipCloseConnection(HWND) {
  ReleaseSendThreadHandle();
  TcpipStopReceiving();
  SOCKET s = TcpSocket;
  if (s != INVALID_SOCKET) {
    WSAAsyncSelect(s, hMainWnd, 0, 0);
    shutdown(s, SD_BOTH);
  }
  TcpipCloseSocket();
  TcpState = Ports[IF_TCPIP].connected = Ports[IF_TCPIP].sending = 0;
  ConnectionLogMessage("TCP/IP:Connection Shutdown.");
}
