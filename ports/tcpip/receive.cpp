#include "ports/tcpip/tcpip.h"
#include "common/settings.h"
#include "common/ui.h"
#include "send/frame.h"

const DWORD POLL_MS = 100;

// The socket is non-blocking: what has arrived is taken at once, and only an empty socket
// waits. An error reads as no data: the connection's own events tell of a broken line.
static int ReadSocket(unsigned char* buffer, int size, DWORD ms) {
  SOCKET s = TcpSocket;
  if (s == INVALID_SOCKET) return 0;
  int got = recv(s, (char*)buffer, size, 0);
  if (got < 0 && WSAGetLastError() == WSAEWOULDBLOCK && TcpipReadable(s, ms)) got = recv(s, (char*)buffer, size, 0);
  if (got <= 0) return 0;
  NoRecvCounter = 0;
  return got;
}

// Each idle poll counts towards the no-receive limit.
static void IdlePoll(DWORD ms) {
  if (!ReceivePause(ms)) return;
  NoRecvCounter = NoRecvCounter + 1;
  if (NoRecvCounter <= NoRecvLimit) return;
  NoRecvCounter = 0;
  int event = TcpAutoReconnect ? FD_CLOSE : TCP_EVENT_CLOSE;
  PostMessageA(hMainWnd, WM_SOCKET_EVENT, (WPARAM)TcpSocket, WSAMAKESELECTREPLY(event, 0));
}

static const Receiver tcpipReceiver = {IF_TCPIP, ReadSocket, NULL, IdlePoll, POLL_MS, 0};

int TcpipStartReceiving() {
  NoRecvCounter = 0;
  return StartReceiving(&tcpipReceiver);
}
