#include "ports/tcpip/tcpip.h"
#include "app/app.h"
#include "common/settings.h"
#include "terminal/log.h"

static unsigned char receiveBuffer[4096];
// A thread outlives its connection by up to one poll; when a new connection starts
// receiving within that time, only the newest thread may go on.
static Word receiverGeneration;

static void TcpipReceivePoll() {
  memset(receiveBuffer, 0, sizeof receiveBuffer);
  int got = recv(TcpSocket, (char*)receiveBuffer, sizeof receiveBuffer, 0);
  if (got > 0) ReceivedDataSink(IF_TCPIP, receiveBuffer, got);
  if (got >= 0) {
    NoRecvCounter = 0;
    return;
  }
  NoRecvCounter = NoRecvCounter + 1;
  if (NoRecvCounter <= NoRecvLimit) return;
  if (TcpAutoReconnect)
    PostMessageA(hMainWnd, WM_SOCKET_EVENT, (WPARAM)TcpSocket, WSAMAKESELECTREPLY(FD_CLOSE, 0));
  else
    TcpipCloseConnection(hMainWnd);
  NoRecvCounter = 0;
}

static int StillReceiving(int generation) {
  return Ports[IF_TCPIP].receiveRun == 1 && receiverGeneration == generation;
}

static DWORD WINAPI ReceiveThreadProc(LPVOID param) {
  int generation = (int)(INT_PTR)param;
  while (StillReceiving(generation)) {
    Sleep(100);
    if (StillReceiving(generation)) TcpipReceivePoll();
  }
  return 0;
}

int TcpipStartReceiving() {
  NoRecvCounter = 0;
  Ports[IF_TCPIP].receiveRun = 1;
  receiverGeneration = receiverGeneration + 1;
  ReceiveThreadHandle = StartThread(ReceiveThreadProc, (void*)(INT_PTR)receiverGeneration);
  if (ReceiveThreadHandle) return 1;
  LogMessage("%s", Messages[IF_TCPIP].receiveThread);
  Ports[IF_TCPIP].receiveRun = 0;
  return 0;
}

void TcpipStopReceiving() {
  Ports[IF_TCPIP].receiveRun = 0;
  HANDLE thread = InterlockedExchangePointer(&ReceiveThreadHandle, NULL);
  if (thread) CloseHandle(thread);
}
