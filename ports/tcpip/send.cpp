#include "ports/tcpip/tcpip.h"
#include "app/app.h"
#include "send/engine.h"
#include "terminal/log.h"

void (*TcpipSendObserver)(int bytes);

// A direct write runs on the window's thread; a printer that takes nothing for this
// long must not freeze the window.
const DWORD DIRECT_WRITE_PATIENCE_MS = 30000;

// Sends what the socket takes now. When it has no room, waits up to 10 ms for some
// rather than spinning on WSAEWOULDBLOCK. Returns the count sent (0: no room yet),
// or -1 with *error set.
static int SendSome(const unsigned char* bytes, int length, int* error) {
  SOCKET s = TcpSocket;
  int sent = send(s, (const char*)bytes, length, 0);
  if (sent >= 0) return sent;
  *error = WSAGetLastError();
  if (*error != WSAEWOULDBLOCK) return -1;
  fd_set writable;
  FD_ZERO(&writable);
  FD_SET(s, &writable);
  timeval wait = {0, 10000};
  select(0, NULL, &writable, NULL, &wait);
  return 0;
}

static void Pause(ConnectionBlock* block) {
  if (block->delayTcpip) Sleep(block->delayTcpip);
}

static int Stopped() {
  Ports[IF_TCPIP].sending = 2;
  return 0;
}

// One block or remainder: every byte out, or 0 after a send error or a stop. Each byte
// is counted in bytes sent once, when the send that took it returns.
static int SendPiece(ConnectionBlock* block, const unsigned char* bytes, uint32_t length, int counter) {
  uint32_t done = 0;
  while (done < length) {
    NoRecvCounter = 0;
    int error = 0;
    int sent = SendSome(bytes + done, (int)(length - done), &error);
    if (sent < 0) {
      LogMessage(Messages[IF_TCPIP].blockWrite, counter, error);
      PostMessageA(hMainWnd, WM_COMMAND, 0, 0);
      Ports[IF_TCPIP].sending = 0;
      return 0;
    }
    done += sent;
    BytesSent = BytesSent + sent;
    if (done == length) break;
    if (sent) ShowSendProgress(block);
    if (StopRequest == 3) return Stopped();
  }
  if (TcpipSendObserver) TcpipSendObserver((int)length);
  return 1;
}

int TcpipBlockSender(ConnectionBlock* block, int counter) {
  const unsigned char* data = FileData;
  uint32_t size = BlockSizeBytes, total = block->bytesRead;
  ShowSendProgress(block);
  if (size == 0 || total < size) {
    if (!SendPiece(block, data, total, counter)) return 0;
    ShowSendProgress(block);
    if ((uint32_t)BytesSent < block->fileSize) Pause(block);
    return 1;
  }
  uint32_t blocks = total / size, rest = total % size;
  for (uint32_t i = 0; i < blocks; i++, data += size) {
    if (!SendPiece(block, data, size, counter)) return 0;
    int endOfFile = i == blocks - 1 && rest == 0 && (uint32_t)BytesSent >= block->fileSize;
    if (!endOfFile) Pause(block);
    ShowSendProgress(block);
    if (StopRequest == 3) return Stopped();
  }
  if (rest == 0) return 1;
  if (!SendPiece(block, data, rest, counter)) return 0;
  ShowSendProgress(block);
  return 1;
}

static int WriteAll(const unsigned char* bytes, int length, int* error) {
  DWORD lastProgress = GetTickCount();
  for (int done = 0; done < length;) {
    int sent = SendSome(bytes + done, length - done, error);
    if (sent < 0) return 0;
    if (sent > 0) lastProgress = GetTickCount();
    if (GetTickCount() - lastProgress > DIRECT_WRITE_PATIENCE_MS) {
      *error = WSAETIMEDOUT;
      return 0;
    }
    done += sent;
  }
  return 1;
}

int TcpipDirectWrite(const unsigned char* bytes, int length) {
  return DirectWriteFrame(IF_TCPIP, WriteAll, bytes, length);
}
