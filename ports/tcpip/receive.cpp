#include "ports/tcpip/tcpip.h"
#include "common/settings.h"
#include "common/ui.h"
#include "send/frame.h"

// Polls every 100 ms. A poll without data counts towards the no-receive limit; an error
// counts the same, the connection's own events tell of a broken line.
static int ReceivePoll(unsigned char* buffer, int size) {
  if (!ReceivePause(100)) return 0;
  int got = recv(TcpSocket, (char*)buffer, size, 0);
  if (got >= 0) {
    NoRecvCounter = 0;
    return got;
  }
  NoRecvCounter = NoRecvCounter + 1;
  if (NoRecvCounter <= NoRecvLimit) return 0;
  NoRecvCounter = 0;
  int event = TcpAutoReconnect ? FD_CLOSE : TCP_EVENT_CLOSE;
  PostMessageA(hMainWnd, WM_SOCKET_EVENT, (WPARAM)TcpSocket, WSAMAKESELECTREPLY(event, 0));
  return 0;
}

static const Receiver tcpipReceiver = {IF_TCPIP, ReceivePoll, NULL};

int TcpipStartReceiving() {
  NoRecvCounter = 0;
  return StartReceiving(&tcpipReceiver);
}
