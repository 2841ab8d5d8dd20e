#include "ports/tcpip/tcpip.h"
#include "common/resource.h"
#include "common/settings.h"
#include "common/ui.h"
#include "send/frame.h"
#include "terminal/log.h"
#include <stdlib.h>

const DWORD DRAIN_MS = 2000;       // how long a close waits for the printer to take the rest
const uint32_t SEND_CALL_MAX = 1u << 30;  // send() counts in an int

// The socket is made, replaced and closed on one thread but written on others: the lock
// keeps a write from landing on a socket closed or made since it was looked up.
static CRITICAL_SECTION socketLock;
static Word winsockStarted;

void TcpipInitLock() {
  static int made;
  if (!made) InitializeCriticalSection(&socketLock);
  made = 1;
}

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

// Whoever takes the socket closes it, once, and ends the Winsock use that came with it.
static SOCKET TakeSocket(int* started) {
  EnterCriticalSection(&socketLock);
  SOCKET s = TcpSocket;
  TcpSocket = INVALID_SOCKET;
  *started = winsockStarted;
  winsockStarted = 0;
  LeaveCriticalSection(&socketLock);
  if (s != INVALID_SOCKET) WSAAsyncSelect(s, hMainWnd, 0, 0);
  return s;
}

static void Release(SOCKET s, int started) {
  if (s != INVALID_SOCKET) closesocket(s);
  if (started) WSACleanup();
  DiscardQueuedSocketEvents();
}

void TcpipCloseSocket() {
  int started;
  SOCKET s = TakeSocket(&started);
  Release(s, started);
}

int TcpipReadable(SOCKET s, DWORD ms) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(s, &readable);
  timeval wait = {0, (long)ms * 1000};
  return select(0, &readable, NULL, NULL, &wait) > 0;
}

// Every byte sent reaches the printer: closing with an answer still unread would reset
// the connection and drop what the printer had not taken yet. So the sending side is
// shut (the printer reads to the end and closes) and its last answers are read until
// then, and handed on as every answer is.
static void Drain(SOCKET s) {
  if (s == INVALID_SOCKET) return;
  shutdown(s, SD_SEND);
  unsigned char rest[RECEIVE_CHUNK];
  for (DWORD start = GetTickCount(); GetTickCount() - start < DRAIN_MS;) {
    int got = recv(s, (char*)rest, sizeof rest, 0);
    if (got == 0 || (got < 0 && WSAGetLastError() != WSAEWOULDBLOCK)) return;
    if (got < 0) TcpipReadable(s, 20);
    else if (Ports[IF_TCPIP].receiveOn == 1) ReceivedDataSink(IF_TCPIP, rest, got);
  }
}

int TcpipSendNow(int serial, const unsigned char* bytes, uint32_t length, int* error) {
  EnterCriticalSection(&socketLock);
  int sent = -1;
  *error = WSAENOTSOCK;
  if (serial == TcpSerial && TcpSocket != INVALID_SOCKET) {
    sent = send(TcpSocket, (const char*)bytes, (int)(length < SEND_CALL_MAX ? length : SEND_CALL_MAX), 0);
    if (sent < 0) *error = WSAGetLastError();
    if (sent < 0 && *error == WSAEWOULDBLOCK) sent = 0;
  }
  LeaveCriticalSection(&socketLock);
  return sent;
}

void TcpipAwaitRoom(DWORD ms) {
  SOCKET s = TcpSocket;
  if (s == INVALID_SOCKET) return;
  fd_set writable;
  FD_ZERO(&writable);
  FD_SET(s, &writable);
  timeval wait = {0, (long)ms * 1000};
  select(0, NULL, &writable, NULL, &wait);
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

static void Adopt(SOCKET s) {
  EnterCriticalSection(&socketLock);
  TcpSocket = s;
  TcpSerial = TcpSerial + 1;
  LeaveCriticalSection(&socketLock);
}

// Makes the socket, asks for its events and issues the connect; the outcome arrives
// later as the connect event.
static int IssueConnect(int retryForm) {
  if (!StartWinsock()) return 0;
  Adopt(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
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
    if (TcpState == 2) TcpState = 0;
    return 0;
  }
  if (TcpState == 1 || Ports[IF_TCPIP].connected == 1) {
    LogMessage("TCP/IP:<ERROR>Already Connection Settled.");
    return 0;
  }
  TcpState = 1;
  TcpReconnectPending = retryForm;
  if (IssueConnect(retryForm)) return 1;
  TcpState = 0;
  TcpReconnectPending = 0;
  return 0;
}

void TcpipCloseConnection(int endJob) {
  EndPortUse(IF_TCPIP, endJob);
  int started;
  SOCKET s = TakeSocket(&started);
  Drain(s);
  Release(s, started);
  TcpState = Ports[IF_TCPIP].connected = 0;
  if (!SendThreadHandle) Ports[IF_TCPIP].sending = 0;  // a job that runs ends on its own and says so
  ConnectionLogMessage("TCP/IP:Connection Shutdown.");
}
